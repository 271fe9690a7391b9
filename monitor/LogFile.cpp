#include "monitor/LogFile.h"

#include "toolkit/Exceptions.h"
#include "toolkit/Files.h"
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

std::string ReadAsideLines(const std::wstring& Path) {
  bool Missing = false;
  TFileHandle File = OpenForReading(Path, Missing);
  std::string Lines;
  if (!File) return Lines;
  std::vector<char> Buffer(LogChunkSize);
  for (;;) {
    DWORD Read = 0;
    // Half of them would be joined, and the file then removed: all or none.
    if (!ReadFile(File.get(), Buffer.data(), static_cast<DWORD>(Buffer.size()), &Read, nullptr)) return std::string();
    if (Read == 0) break;
    Lines.append(Buffer.data(), Read);
  }
  if (!Lines.empty() && Lines.back() != '\n') Lines += "\r\n";
  return Lines;
}

bool RewriteLogFile(const std::wstring& Path, std::string_view Added, DWORD& Error, size_t ChunkSize) {
  // The log as it is now comes first: if it cannot be read, nothing replaces
  // it.
  bool Missing = false;
  TFileHandle Old = OpenForReading(Path, Missing);
  if (!Old && !Missing) {
    Error = GetLastError();
    return false;
  }
  TFileReplacement New(Path);
  char Last = '\n';                              // an empty log needs no line end
  bool Written = New.Write(std::string_view());  // false, with the reason, when it could not be made
  if (Old) {
    std::vector<char> Buffer(ChunkSize);
    for (;;) {
      DWORD Read = 0;
      if (!ReadFile(Old.get(), Buffer.data(), static_cast<DWORD>(ChunkSize), &Read, nullptr)) {
        Error = GetLastError();
        return false;
      }
      if (Read == 0) break;
      Written = Written && New.Write(std::string_view(Buffer.data(), Read));
      if (!Written) break;
      Last = Buffer[Read - 1];
    }
    // A file open without shared deletion cannot be replaced: the old log is
    // closed first.
    Old.reset();
  }
  if (Written && Last != '\n' && Last != '\r') Written = New.Write("\r\n");
  if (Written && New.Write(Added) && New.Commit()) return true;
  Error = GetLastError();
  return false;
}
