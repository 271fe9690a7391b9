#include "monitor/LogFile.h"

#include "toolkit/Exceptions.h"
#include "toolkit/IniFiles.h"
#include "toolkit/TextUtils.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <type_traits>
#include <vector>

namespace {

// Everything another program may be doing with the file meanwhile: reading
// it, writing it, renaming or deleting it.
constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens a file for reading, sharing all a program that holds it open may
// have asked for (one that shares deletion is no reason not to read it). A
// file or folder that is not there gives no handle, and Missing says so:
// there is nothing to read, which is no failure.
TFileHandle OpenForReading(const std::wstring& Path, bool& Missing) {
  TFileHandle File = OpenFileAnyPath(Path, GENERIC_READ, ShareAll, OPEN_EXISTING);
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

// Where the newest Lines lines of a file of Size bytes start, at most
// MaxTailBytes from its end. A line ends at each LF, and at each CR that no LF
// follows (a CR LF ends at its LF); the line end that closes the file starts
// no line of its own. Read backwards in pieces, each knowing the byte after
// it from the piece read before.
LONGLONG TailStart(HANDLE File, LONGLONG Size, size_t Lines, std::vector<char>& Buffer) {
  if (Lines == 0) return Size;
  const LONGLONG Floor = std::max<LONGLONG>(0, Size - static_cast<LONGLONG>(MaxTailBytes));
  int After = -1;  // the byte after the one looked at; none after the last
  size_t Found = 0;
  for (LONGLONG Piece = Size; Piece > Floor;) {
    const DWORD Count = static_cast<DWORD>(std::min<LONGLONG>(Piece - Floor, static_cast<LONGLONG>(Buffer.size())));
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
  return Floor;  // fewer lines than asked for: all of them, as far as the bound
}

// A new file beside the log, named after it and this process (two copies
// ending at the same moment never share one), at any length of path. It
// takes the log's place once complete and flushed, and is removed if it
// never does: a crash or a full disk midway leaves the old log whole.
class TNewLogFile {
 public:
  explicit TNewLogFile(const std::wstring& Path)
      : FPath(LongPathForApi(Path)),
        FTemporary(FPath + L"." + WideText(std::to_string(GetCurrentProcessId())) + L".tmp"),
        FError(Format("Cannot create file %s", {AnsiText(Path)})) {
    FFile = OpenFileAnyPath(FTemporary, GENERIC_WRITE, 0, CREATE_ALWAYS);
    if (!FFile) throw EFCreateError(FError);
    FMade = true;
  }
  TNewLogFile(const TNewLogFile&) = delete;
  TNewLogFile& operator=(const TNewLogFile&) = delete;
  ~TNewLogFile() {
    FFile.reset();
    if (FMade) DeleteFileW(FTemporary.c_str());
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

  // ReplaceFileW gives the new file the old one's attributes and
  // permissions, where a rename would give it those of a new file. It is
  // refused while another program holds the log open without sharing its
  // deletion; the old log then stays as it was.
  void Replace() {
    if (!FlushFileBuffers(FFile.get())) throw EFCreateError(FError);
    FFile.reset();
    // Asked first, so that a replace bound to fail is not begun: Wine's
    // leaves an empty file of its own behind in the folder.
    if (!OpenFileAnyPath(FPath, DELETE, ShareAll, OPEN_EXISTING) && GetLastError() == ERROR_SHARING_VIOLATION)
      throw EFCreateError(FError);
    if (ReplaceFileW(FPath.c_str(), FTemporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
      FMade = false;
      return;
    }
    // The old log is still there: it stays, and the new file goes.
    if (GetFileAttributesW(FPath.c_str()) != INVALID_FILE_ATTRIBUTES) throw EFCreateError(FError);
    // No log there: none yet, deleted meanwhile, or removed by a replace
    // that then could not move the new file in (ReplaceFileW may leave it
    // so). The new file holds all of it: it becomes the log, or else stays
    // beside it under its own name.
    FMade = false;
    if (!MoveFileExW(FTemporary.c_str(), FPath.c_str(), MOVEFILE_WRITE_THROUGH)) throw EFCreateError(FError);
  }

 private:
  const std::wstring FPath;
  const std::wstring FTemporary;
  const std::string FError;
  TFileHandle FFile;
  bool FMade = false;  // the temporary file is there, ours to remove
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

size_t AppendLogLines(const std::wstring& Path, std::string_view Lines) {
  if (Lines.empty()) return 0;
  // Appending data only: every write goes to the end of the file, wherever
  // another writer has left it meanwhile.
  TFileHandle File = OpenFileAnyPath(Path, GENERIC_READ | FILE_APPEND_DATA, ShareAll, OPEN_ALWAYS);
  if (!File) return 0;
  // The file's last line may have no line end (written by hand, or cut by a
  // power loss): the first line appended must not join it.
  LARGE_INTEGER Size;
  char Last = '\n';
  if (!GetFileSizeEx(File.get(), &Size) || (Size.QuadPart > 0 && !ReadAt(File.get(), Size.QuadPart - 1, &Last, 1)))
    return 0;
  std::string Text;
  if (Last != '\n' && Last != '\r') Text = "\r\n";
  Text.append(Lines);
  LARGE_INTEGER End = {};
  DWORD Done = 0;
  if (!SetFilePointerEx(File.get(), End, nullptr, FILE_END)) return 0;
  WriteFile(File.get(), Text.data(), static_cast<DWORD>(Text.size()), &Done, nullptr);
  // On the disk, not in a cache, before the line counts as kept.
  FlushFileBuffers(File.get());
  // What a full disk let through is in the file: it is not written twice.
  const size_t Ending = Text.size() - Lines.size();
  return Done > Ending ? Done - Ending : 0;
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
