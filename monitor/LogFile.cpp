#include "monitor/LogFile.h"

#include "toolkit/Exceptions.h"
#include "toolkit/TextUtils.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <type_traits>

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

std::string ReadLogFile(const std::wstring& Path) {
  bool Missing = false;
  TFileHandle File = OpenForReading(Path, Missing);
  // A log that is not there (deleted by hand, say) is an empty log.
  if (Missing) return std::string();
  if (!File) throw EFOpenError(Format("Cannot open file %s", {AnsiText(Path)}));
  // Read and made CR LF piece by piece into one string sized for the file
  // (and a few added CRs): a log of years is held once, not twice.
  std::string Text;
  LARGE_INTEGER Size;
  if (GetFileSizeEx(File.get(), &Size) && Size.QuadPart > 0 && Size.QuadPart < (1LL << 40))
    Text.reserve(static_cast<size_t>(Size.QuadPart + Size.QuadPart / 32));
  char Buffer[65536];
  DWORD Read = 0;
  bool AfterCR = false;
  for (;;) {
    if (!ReadFile(File.get(), Buffer, sizeof Buffer, &Read, nullptr))
      throw EFOpenError(Format("Cannot open file %s", {AnsiText(Path)}));
    if (Read == 0) break;
    AppendLogText(Text, std::string_view(Buffer, Read), AfterCR);
  }
  return Text;
}

bool UnreadableFile(const std::wstring& Path) {
  bool Missing = false;
  return !OpenForReading(Path, Missing) && !Missing;
}

std::string SplitLogTail(std::string& Log, size_t Lines) {
  // The line end that closes the text starts no line of its own; each line
  // starts after the line end before it, or at the beginning.
  size_t Start = Log.size();
  size_t Pos = Log.size() >= 2 && Log.compare(Log.size() - 2, 2, "\r\n") == 0 ? Log.size() - 2 : Log.size();
  for (size_t Found = 0; Found < Lines && !Log.empty(); ++Found) {
    size_t Break = Pos >= 2 ? Log.rfind("\r\n", Pos - 2) : std::string::npos;
    if (Break == std::string::npos) {
      Start = 0;
      break;
    }
    Start = Break + 2;
    Pos = Break;
  }
  std::string Tail = Log.substr(Start);
  Log.resize(Start);
  return Tail;
}

void WriteLogFile(const std::wstring& Path, std::initializer_list<std::string_view> Pieces) {
  // The new log goes to a file of its own beside the old one, and only a
  // complete, flushed file replaces it: a crash or a full disk midway leaves
  // the old log whole.
  const std::string Error = Format("Cannot create file %s", {AnsiText(Path)});
  const std::wstring Folder = Path.substr(0, Path.find_last_of(L'\\') + 1);
  wchar_t Temporary[MAX_PATH];
  if (!GetTempFileNameW(Folder.c_str(), L"vtl", 0, Temporary)) throw EFCreateError(Error);
  bool Written = false;
  {
    TFileHandle File = OpenFile(Temporary, GENERIC_WRITE, 0, CREATE_ALWAYS);
    Written = File != nullptr;
    for (std::string_view Piece : Pieces) {
      // WriteFile takes at most 4 GB at a time.
      while (Written && !Piece.empty()) {
        DWORD Chunk = static_cast<DWORD>(std::min<size_t>(Piece.size(), 1u << 30)), Done = 0;
        Written = WriteFile(File.get(), Piece.data(), Chunk, &Done, nullptr) && Done == Chunk;
        Piece.remove_prefix(Chunk);
      }
    }
    Written = Written && FlushFileBuffers(File.get());
  }
  // One rename puts the new log in the old one's place.
  if (Written) Written = MoveFileExW(Temporary, Path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!Written) {
    DeleteFileW(Temporary);
    throw EFCreateError(Error);
  }
}
