#include "tests/support/TempDir.h"

#include "toolkit/Platform.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace vtest {

namespace {

std::string& PretendedExePath() {
  static std::string Path;
  return Path;
}

std::wstring ReportPretendedExePath() { return Utf16(PretendedExePath()); }

void RemoveTree(const std::wstring& Folder) {
  WIN32_FIND_DATAW Found;
  HANDLE Find = FindFirstFileW((Folder + L"*").c_str(), &Found);
  if (Find != INVALID_HANDLE_VALUE) {
    do {
      std::wstring Name = Found.cFileName;
      if (Name == L"." || Name == L"..") continue;
      std::wstring Full = Folder + Name;
      SetFileAttributesW(Full.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (Found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(Full + L"\\");
      else
        DeleteFileW(Full.c_str());
    } while (FindNextFileW(Find, &Found));
    FindClose(Find);
  }
  SetFileAttributesW(Folder.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryW(Folder.c_str());
}

}  // namespace

std::wstring Utf16(const std::string& Utf8) {
  std::wstring Wide(Utf8.size(), L'\0');
  Wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, Utf8.data(), static_cast<int>(Utf8.size()),
                                                      Wide.data(), static_cast<int>(Wide.size()))));
  return Wide;
}

TempDir::TempDir() {
  static std::atomic<int> Counter{0};
  char Base[MAX_PATH];
  GetTempPathA(sizeof Base, Base);
  for (int Attempt = 0; Attempt < 100; ++Attempt) {
    std::string Candidate = std::string(Base) + "vintrel-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                            std::to_string(Counter++) + "-" + std::to_string(GetTickCount64() % 100000);
    if (CreateDirectoryA(Candidate.c_str(), nullptr)) {
      FPath = Candidate + "\\";
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() { RemoveTree(Utf16(FPath)); }

void TempDir::RemoveAll(const std::string& Folder) { RemoveTree(Utf16(Folder)); }

std::vector<std::string> TempDir::Lines(const std::string& Text) {
  std::vector<std::string> Result;
  std::string::size_type Start = 0;
  while (Start < Text.size()) {
    std::string::size_type End = Text.find("\r\n", Start);
    if (End == std::string::npos) End = Text.size();
    Result.push_back(Text.substr(Start, End - Start));
    Start = End + 2;
  }
  return Result;
}

void TempDir::Write(const std::string& Name, const std::string& Content) const { WriteAt(File(Name), Content); }

std::string TempDir::Read(const std::string& Name) const { return ReadAt(File(Name)); }

void TempDir::WriteAt(const std::string& Path, const std::string& Content) {
  std::ofstream Out(std::filesystem::path(Utf16(Path)), std::ios::binary);
  Out << Content;
}

std::string TempDir::ReadAt(const std::string& Path) {
  std::ifstream In(std::filesystem::path(Utf16(Path)), std::ios::binary);
  std::ostringstream Text;
  Text << In.rdbuf();
  return Text.str();
}

bool TempDir::Exists(const std::string& Name) const {
  return GetFileAttributesW(Utf16(File(Name)).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> TempDir::Names() const {
  std::vector<std::string> Found;
  WIN32_FIND_DATAA Entry;
  HANDLE Find = FindFirstFileA(File("*").c_str(), &Entry);
  if (Find == INVALID_HANDLE_VALUE) return Found;
  do {
    const std::string Name = Entry.cFileName;
    if (Name != "." && Name != "..") Found.push_back(Name);
  } while (FindNextFileA(Find, &Entry));
  FindClose(Find);
  std::sort(Found.begin(), Found.end());
  return Found;
}

std::string TempDir::MakeFolder(const std::string& Name) const {
  if (!CreateDirectoryW(Utf16(File(Name)).c_str(), nullptr)) throw std::runtime_error("cannot create " + File(Name));
  return File(Name);
}

std::string TempDir::MakeDeepFolder(size_t Length) const {
  std::string Deep;
  while (FPath.size() + Deep.size() < Length + 1) {
    const size_t Left = Length + 1 - FPath.size() - Deep.size();
    size_t Name = std::min<size_t>(40, Left - 1);
    if (Left - Name == 2) --Name;  // no folder name of nothing next
    Deep = MakeFolder(Deep + std::string(Name, 'd') + "\\").substr(FPath.size());
  }
  return Deep;
}

void TempDir::PretendExecutableHere(const std::string& Inside) const {
  PretendedExePath() = FPath + Inside + "Vintrel.exe";
  Platform().ExePath = ReportPretendedExePath;
}

HeldFile::HeldFile(const std::string& Path)
    : FHandle(CreateFileW(Utf16(Path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}

void HeldFile::Release() {
  if (Held()) CloseHandle(FHandle);
  FHandle = INVALID_HANDLE_VALUE;
}

}  // namespace vtest
