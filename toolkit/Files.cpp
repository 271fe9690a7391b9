#include "toolkit/Files.h"

#include "toolkit/Platform.h"
#include "toolkit/TextUtils.h"

#include <algorithm>

namespace {

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::wstring Decimal(DWORD Value) {
  std::wstring Digits;
  do {
    Digits.insert(Digits.begin(), static_cast<wchar_t>(L'0' + Value % 10));
    Value /= 10;
  } while (Value != 0);
  return Digits;
}

// "<path>.<process id><suffix>": a name beside the file, this process's own.
std::wstring BesideName(const std::wstring& Path, const wchar_t* Suffix) {
  return Path + L"." + Decimal(GetCurrentProcessId()) + Suffix;
}

bool SetSize(HANDLE File, LONGLONG Size) {
  LARGE_INTEGER At;
  At.QuadPart = Size;
  return SetFilePointerEx(File, At, nullptr, FILE_BEGIN) && SetEndOfFile(File);
}

// Whether the process of that id has ended (or never ran): what it left
// beside a file is nobody's any more. One that cannot be looked at (another
// user's) is taken to run.
bool ProcessGone(DWORD Id) {
  HANDLE Process = OpenProcess(SYNCHRONIZE, FALSE, Id);
  if (!Process) return GetLastError() == ERROR_INVALID_PARAMETER;
  const bool Ended = WaitForSingleObject(Process, 0) == WAIT_OBJECT_0;
  CloseHandle(Process);
  return Ended;
}

}  // namespace

std::wstring LongPathForApi(const std::wstring& Path) {
  if (Path.size() < MAX_PATH || Path.rfind(L"\\\\?\\", 0) == 0 || Path.rfind(L"\\\\.\\", 0) == 0) return Path;
  const DWORD Length = GetFullPathNameW(Path.c_str(), 0, nullptr, nullptr);
  if (Length == 0) return Path;
  std::wstring Full(Length, L'\0');
  const DWORD Written = GetFullPathNameW(Path.c_str(), Length, Full.data(), nullptr);
  if (Written == 0 || Written >= Length) return Path;
  Full.resize(Written);
  if (Full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + Full.substr(2);
  return L"\\\\?\\" + Full;
}

TFileHandle OpenFileAnyPath(const std::wstring& Path, DWORD Access, DWORD Share, DWORD Disposition) {
  HANDLE Handle =
      CreateFileW(LongPathForApi(Path).c_str(), Access, Share, nullptr, Disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  return TFileHandle(Handle == INVALID_HANDLE_VALUE ? nullptr : Handle);
}

DWORD FileAttributesAnyPath(const std::wstring& Path) { return GetFileAttributesW(LongPathForApi(Path).c_str()); }

bool DeleteFileAnyPath(const std::wstring& Path) { return DeleteFileW(LongPathForApi(Path).c_str()) != FALSE; }

bool MoveFileAnyPath(const std::wstring& From, const std::wstring& To, DWORD Flags) {
  return MoveFileExW(LongPathForApi(From).c_str(), LongPathForApi(To).c_str(), Flags) != FALSE;
}

bool FileMissing(const std::wstring& Path) {
  if (FileAttributesAnyPath(Path) != INVALID_FILE_ATTRIBUTES) return false;
  const DWORD Error = GetLastError();
  return Error == ERROR_FILE_NOT_FOUND || Error == ERROR_PATH_NOT_FOUND;
}

bool WriteAll(HANDLE File, std::string_view Text) {
  while (!Text.empty()) {
    // WriteFile takes at most 4 GB at a time.
    const DWORD Chunk = static_cast<DWORD>(std::min<size_t>(Text.size(), 1u << 30));
    DWORD Done = 0;
    SetLastError(ERROR_SUCCESS);
    const BOOL Written = Platform().WriteFile(File, Text.data(), Chunk, &Done, nullptr);
    if (!Written || Done != Chunk) {
      if (Written || GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_DISK_FULL);
      return false;
    }
    Text.remove_prefix(Chunk);
  }
  return true;
}

std::string SystemErrorText(DWORD Error) {
  char* Buffer = nullptr;
  const DWORD Length =
      FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, Error, 0, reinterpret_cast<char*>(&Buffer), 0, nullptr);
  std::string Text = Buffer ? std::string(Buffer, Length) : std::string();
  if (Buffer) LocalFree(Buffer);
  while (!Text.empty() && (Text.back() == '\r' || Text.back() == '\n' || Text.back() == ' ' || Text.back() == '.'))
    Text.pop_back();
  if (Text.empty()) Text = Format("Error %s", {std::to_string(Error)});
  return Text;
}

bool AppendWhole(const std::wstring& Path, std::string_view Text, DWORD& Error) {
  Error = ERROR_SUCCESS;
  if (Text.empty()) return true;
  // Write access, not append-only: a short write must be cut back.
  TFileHandle File = OpenFileAnyPath(Path, GENERIC_READ | GENERIC_WRITE, ShareAll, OPEN_ALWAYS);
  if (!File) {
    Error = GetLastError();
    return false;
  }
  const bool Made = GetLastError() != ERROR_ALREADY_EXISTS;
  // A file this append made goes again when nothing could be put in it.
  auto Fail = [&] {
    Error = GetLastError();
    if (Made) {
      File.reset();
      DeleteFileAnyPath(Path);
    }
    return false;
  };
  LARGE_INTEGER Size = {};
  char Last = '\n';
  DWORD Read = 0;
  LARGE_INTEGER LastByte;
  LastByte.QuadPart = 0;
  bool Looked = GetFileSizeEx(File.get(), &Size);
  if (Looked && Size.QuadPart > 0) {
    LastByte.QuadPart = Size.QuadPart - 1;
    Looked = SetFilePointerEx(File.get(), LastByte, nullptr, FILE_BEGIN) &&
             ReadFile(File.get(), &Last, 1, &Read, nullptr) && Read == 1;
  }
  if (!Looked) return Fail();
  // The file's last line may have no line end (written by hand, or cut by a
  // power loss): what is appended must not join it.
  std::string Whole;
  if (Last != '\n' && Last != '\r') Whole = "\r\n";
  Whole.append(Text);
  LARGE_INTEGER End = {};
  // On the disk, not in a cache, before it counts as written.
  if (SetFilePointerEx(File.get(), End, nullptr, FILE_END) && WriteAll(File.get(), Whole) &&
      FlushFileBuffers(File.get()))
    return true;
  const DWORD Why = GetLastError();
  // What a full disk let through goes again: the file ends where it ended.
  if (SetSize(File.get(), Size.QuadPart)) FlushFileBuffers(File.get());
  SetLastError(Why);
  return Fail();
}

TFileReplacement::TFileReplacement(const std::wstring& Path)
    : FPath(Path), FNew(BesideName(Path, L".tmp")), FOld(BesideName(Path, L".old")) {
  FFile = OpenFileAnyPath(FNew, GENERIC_WRITE, 0, CREATE_ALWAYS);
  FError = FFile ? ERROR_SUCCESS : GetLastError();
  FPending = FFile != nullptr;
}

TFileReplacement::~TFileReplacement() {
  FFile.reset();
  if (FPending) DeleteFileAnyPath(FNew);
}

bool TFileReplacement::Write(std::string_view Text) {
  if (FFile) return WriteAll(FFile.get(), Text);
  SetLastError(FError);
  return false;
}

bool TFileReplacement::Commit() {
  if (!FFile) {
    SetLastError(FError);
    return false;
  }
  if (!FlushFileBuffers(FFile.get())) return false;
  FFile.reset();
  if (!Swap()) {
    const DWORD Error = GetLastError();
    if (FPending) DeleteFileAnyPath(FNew);
    FPending = false;
    SetLastError(Error);
    return false;
  }
  FPending = false;
  return true;
}

bool TFileReplacement::Swap() {
  const DWORD Attributes = FileAttributesAnyPath(FPath);
  if (Attributes == INVALID_FILE_ATTRIBUTES) {
    if (!FileMissing(FPath)) return false;
    // No file yet: the new one simply goes there.
    return MoveFileAnyPath(FNew, FPath, MOVEFILE_WRITE_THROUGH);
  }
  // The old file is put aside under a name of ours, never under a name the
  // system makes up (Wine's ReplaceFileW, given none, leaves it behind), and
  // removed once the new one is in place.
  if (Platform().ReplaceFileW(LongPathForApi(FPath).c_str(), LongPathForApi(FNew).c_str(), LongPathForApi(FOld).c_str(),
                              REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
    DeleteFileAnyPath(FOld);
    // Hidden and system files stay so, also where the replace does not carry
    // the attributes over (Wine's moves the new file in).
    constexpr DWORD Kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    const DWORD Now = FileAttributesAnyPath(FPath);
    if (Now != INVALID_FILE_ATTRIBUTES && (Now & Kept) != (Attributes & Kept))
      SetFileAttributesW(LongPathForApi(FPath).c_str(), (Now & ~Kept) | (Attributes & Kept));
    return true;
  }
  const DWORD Error = GetLastError();
  if (!FileMissing(FPath)) {
    SetLastError(Error);
    return false;  // the old file is where it was
  }
  // No file there any more: deleted meanwhile, or put aside by a replace
  // that then could not move the new one in. The new file holds all of it:
  // it takes the place; failing that, the old one goes back.
  if (MoveFileAnyPath(FNew, FPath, MOVEFILE_WRITE_THROUGH)) {
    DeleteFileAnyPath(FOld);
    return true;
  }
  MoveFileAnyPath(FOld, FPath, 0);
  SetLastError(Error);
  return false;
}

void RemoveLeftReplacements(const std::wstring& Path) {
  const size_t Slash = Path.find_last_of(L"\\/");
  const std::wstring Folder = Slash == std::wstring::npos ? std::wstring() : Path.substr(0, Slash + 1);
  const std::wstring Name = Path.substr(Folder.size());
  WIN32_FIND_DATAW Found;
  HANDLE Find = FindFirstFileW(LongPathForApi(Path + L".*").c_str(), &Found);
  if (Find == INVALID_HANDLE_VALUE) return;
  // The names, each ended by a line feed (no file name holds one), looked
  // at once the search is over.
  std::wstring Left;
  do {
    Left += Found.cFileName;
    Left += L'\n';
  } while (FindNextFileW(Find, &Found));
  FindClose(Find);
  for (size_t Start = 0, End; (End = Left.find(L'\n', Start)) != std::wstring::npos; Start = End + 1) {
    const std::wstring File = Left.substr(Start, End - Start);
    // "<name>.<digits>.tmp" or "<name>.<digits>.old", of another process.
    if (File.size() < Name.size() + 6 || File.compare(0, Name.size() + 1, Name + L".") != 0) continue;
    const std::wstring Rest = File.substr(Name.size() + 1);
    const size_t Dot = Rest.find(L'.');
    const std::wstring Suffix = Dot == std::wstring::npos ? std::wstring() : Rest.substr(Dot);
    if (Dot == 0 || Dot > 10 || (Suffix != L".tmp" && Suffix != L".old")) continue;
    DWORD Id = 0;
    bool Digits = true;
    for (size_t I = 0; I < Dot; ++I) {
      Digits = Digits && Rest[I] >= L'0' && Rest[I] <= L'9';
      Id = Id * 10 + static_cast<DWORD>(Rest[I] - L'0');
    }
    if (!Digits || Id == GetCurrentProcessId() || !ProcessGone(Id)) continue;
    const std::wstring Beside = Folder + File;
    // An old file put aside with nothing in its place is the file itself.
    if (Suffix == L".old" && FileMissing(Path) && MoveFileAnyPath(Beside, Path, 0)) continue;
    DeleteFileAnyPath(Beside);
  }
}
