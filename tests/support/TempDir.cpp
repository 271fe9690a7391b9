#include "tests/support/TempDir.h"

#include "toolkit/Platform.h"

#include <windows.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace vtest {

namespace {

std::string& PretendedExePath() {
  static std::string Path;
  return Path;
}

std::string ReportPretendedExePath() { return PretendedExePath(); }

void RemoveTree(const std::string& Folder) {
  WIN32_FIND_DATAA Found;
  HANDLE Find = FindFirstFileA((Folder + "*").c_str(), &Found);
  if (Find != INVALID_HANDLE_VALUE) {
    do {
      std::string Name = Found.cFileName;
      if (Name == "." || Name == "..") continue;
      std::string Full = Folder + Name;
      SetFileAttributesA(Full.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (Found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(Full + "\\");
      else
        DeleteFileA(Full.c_str());
    } while (FindNextFileA(Find, &Found));
    FindClose(Find);
  }
  SetFileAttributesA(Folder.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryA(Folder.c_str());
}

}  // namespace

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

TempDir::~TempDir() { RemoveTree(FPath); }

void TempDir::RemoveAll(const std::string& Folder) { RemoveTree(Folder); }

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

void TempDir::Write(const std::string& Name, const std::string& Content) const {
  std::ofstream Out(File(Name), std::ios::binary);
  Out << Content;
}

std::string TempDir::Read(const std::string& Name) const {
  std::ifstream In(File(Name), std::ios::binary);
  std::ostringstream Text;
  Text << In.rdbuf();
  return Text.str();
}

bool TempDir::Exists(const std::string& Name) const {
  return GetFileAttributesA(File(Name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void TempDir::PretendExecutableHere() const {
  PretendedExePath() = FPath + "Vintrel.exe";
  Platform().ExePath = ReportPretendedExePath;
}

HeldFile::HeldFile(const std::string& Path)
    : FHandle(CreateFileA(Path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}

void HeldFile::Release() {
  if (Held()) CloseHandle(FHandle);
  FHandle = INVALID_HANDLE_VALUE;
}

}  // namespace vtest
