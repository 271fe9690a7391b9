#include "monitor/LogFile.h"

#include "toolkit/Exceptions.h"
#include "toolkit/TextUtils.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <type_traits>
#include <vector>

namespace {

struct THandleCloser {
  void operator()(HANDLE Handle) const { CloseHandle(Handle); }
};
using TFileHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, THandleCloser>;

TFileHandle OpenFile(const std::wstring& Path, DWORD Access, DWORD Share, DWORD Disposition) {
  HANDLE Handle = CreateFileW(Path.c_str(), Access, Share, nullptr, Disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  return TFileHandle(Handle == INVALID_HANDLE_VALUE ? nullptr : Handle);
}

// Opens a file for reading, shared for reading and writing as the profile
// functions open theirs. A file or folder that is not there gives no handle,
// and Missing says so: there is nothing to read, which is no failure.
TFileHandle OpenForReading(const std::wstring& Path, bool& Missing) {
  TFileHandle File = OpenFile(Path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
  const DWORD Error = File ? ERROR_SUCCESS : GetLastError();
  Missing = Error == ERROR_FILE_NOT_FOUND || Error == ERROR_PATH_NOT_FOUND;
  return File;
}

EFOpenError OpenError(const std::wstring& Path) { return EFOpenError(Format("Cannot open file %s", {AnsiText(Path)})); }

// Reads Count bytes at Offset, all of them or fails.
bool ReadAt(HANDLE File, LONGLONG Offset, char* Buffer, DWORD Count) {
  LARGE_INTEGER At;
  At.QuadPart = Offset;
  if (!SetFilePointerEx(File, At, nullptr, FILE_BEGIN)) return false;
  while (Count > 0) {
    DWORD Read = 0;
    if (!ReadFile(File, Buffer, Count, &Read, nullptr) || Read == 0) return false;
    Buffer += Read;
    Count -= Read;
  }
  return true;
}

// Where the newest Lines lines of a file of Size bytes start. A line ends at
// each LF, and at each CR that no LF follows (a CR LF ends at its LF); the
// line end that closes the file starts no line of its own. Read backwards in
// pieces, each knowing the byte after it from the piece read before.
LONGLONG TailStart(HANDLE File, LONGLONG Size, size_t Lines, std::vector<char>& Buffer) {
  if (Lines == 0) return Size;
  int After = -1;  // the byte after the one looked at; none after the last
  size_t Found = 0;
  for (LONGLONG Piece = Size; Piece > 0;) {
    const DWORD Count = static_cast<DWORD>(std::min<LONGLONG>(Piece, static_cast<LONGLONG>(Buffer.size())));
    Piece -= Count;
    if (!ReadAt(File, Piece, Buffer.data(), Count)) return -1;
    for (DWORD I = Count; I-- > 0;) {
      const char C = Buffer[I];
      const bool LineEnd = C == '\n' || (C == '\r' && After != '\n');
      const LONGLONG End = Piece + I + 1;
      if (LineEnd && End != Size && ++Found == Lines) return End;
      After = C;
    }
  }
  return 0;  // fewer lines than asked for: all of them
}

// A name GetTempFileNameW made, and with it an empty file: removed again
// unless it is kept.
struct TTemporaryName {
  wchar_t Name[MAX_PATH] = L"";
  bool Made = false;
  TTemporaryName() = default;
  TTemporaryName(const TTemporaryName&) = delete;
  TTemporaryName& operator=(const TTemporaryName&) = delete;
  ~TTemporaryName() {
    if (Made) DeleteFileW(Name);
  }
};

// A new file beside the log that takes its place once complete and flushed,
// and is removed if it never does: a crash or a full disk midway leaves the
// old log whole.
class TNewLogFile {
 public:
  explicit TNewLogFile(const std::wstring& Path)
      : FPath(Path), FError(Format("Cannot create file %s", {AnsiText(Path)})) {
    const std::wstring Folder = Path.substr(0, Path.find_last_of(L'\\') + 1);
    FTemporary.Made = GetTempFileNameW(Folder.c_str(), L"vtl", 0, FTemporary.Name) != 0;
    if (FTemporary.Made) FFile = OpenFile(FTemporary.Name, GENERIC_WRITE, 0, CREATE_ALWAYS);
    if (!FFile) throw EFCreateError(FError);
  }

  void Write(std::string_view Text) {
    // WriteFile takes at most 4 GB at a time.
    while (!Text.empty()) {
      const DWORD Chunk = static_cast<DWORD>(std::min<size_t>(Text.size(), 1u << 30));
      DWORD Done = 0;
      if (!WriteFile(FFile.get(), Text.data(), Chunk, &Done, nullptr) || Done != Chunk) throw EFCreateError(FError);
      Text.remove_prefix(Chunk);
    }
  }

  // One rename puts the new log in the old one's place.
  void Replace() {
    if (!FlushFileBuffers(FFile.get())) throw EFCreateError(FError);
    FFile.reset();
    if (!MoveFileExW(FTemporary.Name, FPath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      throw EFCreateError(FError);
    FTemporary.Made = false;
  }

 private:
  const std::wstring FPath;
  const std::string FError;
  TTemporaryName FTemporary;  // closed before it is removed: declared before the handle
  TFileHandle FFile;
};

}  // namespace

void AppendLogText(std::string& Log, std::string_view Piece, bool& AfterCR) {
  // Runs of ordinary characters go in whole; only line ends and zero bytes
  // are looked at one by one.
  auto Ordinary = [](char C) { return C != '\r' && C != '\n' && C != '\0'; };
  size_t At = 0;
  while (At < Piece.size()) {
    size_t Next = At;
    while (Next < Piece.size() && Ordinary(Piece[Next])) ++Next;
    if (Next > At) {
      Log.append(Piece.data() + At, Next - At);
      AfterCR = false;
      At = Next;
      continue;
    }
    const char C = Piece[At++];
    if (C == '\n' && AfterCR) {
      AfterCR = false;  // the LF of a CR LF already written
      continue;
    }
    AfterCR = C == '\r';
    if (C == '\0') {
      // A power loss leaves zero-filled stretches in a file. The log view's
      // text would end at the first of them, and everything after it would
      // be lost when the log is written back: each becomes a blank.
      Log += ' ';
    } else {
      Log += "\r\n";
    }
  }
}

bool UnreadableFile(const std::wstring& Path) {
  bool Missing = false;
  return !OpenForReading(Path, Missing) && !Missing;
}

std::string ReadLogTail(const std::wstring& Path, size_t Lines, size_t ChunkSize) {
  bool Missing = false;
  TFileHandle File = OpenForReading(Path, Missing);
  // A log that is not there (deleted by hand, say) is an empty log.
  if (Missing) return std::string();
  if (!File) throw OpenError(Path);
  LARGE_INTEGER Size;
  std::vector<char> Buffer(ChunkSize);
  const LONGLONG Start = GetFileSizeEx(File.get(), &Size) ? TailStart(File.get(), Size.QuadPart, Lines, Buffer) : -1;
  if (Start < 0) throw OpenError(Path);
  // A line starts after a whole line end, so the text from there on is made
  // as it would be in the whole file's.
  std::string Tail;
  bool AfterCR = false;
  for (LONGLONG At = Start; At < Size.QuadPart;) {
    const DWORD Count = static_cast<DWORD>(std::min<LONGLONG>(Size.QuadPart - At, static_cast<LONGLONG>(ChunkSize)));
    if (!ReadAt(File.get(), At, Buffer.data(), Count)) throw OpenError(Path);
    AppendLogText(Tail, std::string_view(Buffer.data(), Count), AfterCR);
    At += Count;
  }
  return Tail;
}

void WriteLogFile(const std::wstring& Path, std::string_view Added, size_t ChunkSize) {
  // The log as it is now comes first: if it cannot be read, nothing replaces
  // it.
  bool Missing = false;
  TFileHandle Old = OpenForReading(Path, Missing);
  if (!Old && !Missing) throw OpenError(Path);
  TNewLogFile New(Path);
  bool Ended = true;  // an empty log needs no line end
  if (Old) {
    std::vector<char> Buffer(ChunkSize);
    std::string Text;
    bool AfterCR = false;
    for (;;) {
      DWORD Read = 0;
      if (!ReadFile(Old.get(), Buffer.data(), static_cast<DWORD>(ChunkSize), &Read, nullptr)) throw OpenError(Path);
      if (Read == 0) break;
      Text.clear();
      AppendLogText(Text, std::string_view(Buffer.data(), Read), AfterCR);
      New.Write(Text);
      // Made text ends a line only with CR LF; the LF of a CR LF split
      // between two pieces adds nothing.
      if (!Text.empty()) Ended = Text.back() == '\n';
    }
    // A file open without shared deletion cannot be replaced: the old log is
    // closed first.
    Old.reset();
  }
  if (!Ended) New.Write("\r\n");
  New.Write(Added);
  New.Replace();
}
