#pragma once
// The file calls of the settings and the log, made at any length of path,
// and the two ways they change a file without ever leaving it half written:
// a whole new file written beside the old one and swapped in (a rewrite),
// and an append that goes on whole or is cut back to where the file ended.
//
// Windows stops at MAX_PATH (260 characters) unless a path carries the
// "\\?\" form or the user enabled long paths for the whole system. A folder
// of 250 characters is fine for "Vintrel.log", but not for a temporary file
// named after it: every call here takes any path and gives it that form
// where it needs it.

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

// A path the file functions take however long it is: a path of MAX_PATH
// characters or more gets the "\\?\" prefix ("\\?\UNC\" for a share), after
// being made whole (the prefix turns off the name's normalising); a shorter
// or relative path is left as it is.
std::wstring LongPathForApi(const std::wstring& Path);

struct TFileHandleCloser {
  void operator()(HANDLE Handle) const { CloseHandle(Handle); }
};
// An open file, closed when it goes.
using TFileHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, TFileHandleCloser>;

// CreateFileW at any length of path; no handle when it cannot (GetLastError
// says why).
TFileHandle OpenFileAnyPath(const std::wstring& Path, DWORD Access, DWORD Share, DWORD Disposition);
// GetFileAttributesW, DeleteFileW and MoveFileExW at any length of path.
DWORD FileAttributesAnyPath(const std::wstring& Path);
bool DeleteFileAnyPath(const std::wstring& Path);
bool MoveFileAnyPath(const std::wstring& From, const std::wstring& To, DWORD Flags);
// Whether a path names nothing at all (as opposed to a file or folder that
// is there, or one that cannot be looked at).
bool FileMissing(const std::wstring& Path);

// Writes all of Text at the file's pointer. A write that stops short (a full
// disk lets part of it through) fails with ERROR_DISK_FULL when the system
// gave no reason.
bool WriteAll(HANDLE File, std::string_view Text);

// The system's own words for an error code, in the code page, without the
// full stop and line end it ends with: "There is not enough space on the
// disk".
std::string SystemErrorText(DWORD Error);

// Appends Text to a file (made when missing) and writes it through to the
// disk, whole or not at all: a write that stops part-way, or a flush that
// fails, is cut back to where the file ended before it. A CR LF goes first
// when the file's last line has no line end, so Text never joins it. Shares
// reading, writing and deletion with whoever holds the file. On failure the
// file is as it was and Error holds why.
bool AppendWhole(const std::wstring& Path, std::string_view Text, DWORD& Error);

// A new file that takes the place of Path whole, or not at all. It is
// written beside Path under a name of its own ("<name>.<process>.tmp", so two
// copies ending at once never share one), flushed, and swapped in with
// ReplaceFileW, which keeps the old file's attributes and permissions; where
// there was no file it is simply moved there. Whatever fails leaves the old
// file exactly as it was, and the new one is removed: nothing is left behind.
class TFileReplacement {
 public:
  // Makes the new file; Made() says whether that worked.
  explicit TFileReplacement(const std::wstring& Path);
  TFileReplacement(const TFileReplacement&) = delete;
  TFileReplacement& operator=(const TFileReplacement&) = delete;
  ~TFileReplacement();

  bool Made() const { return FFile != nullptr; }
  bool Write(std::string_view Text);
  // Flushes the new file and swaps it in; false, with GetLastError saying
  // why, when the old file stays.
  bool Commit();

 private:
  bool Swap();

  const std::wstring FPath;
  const std::wstring FNew;
  const std::wstring FOld;  // where ReplaceFileW puts the old file, removed after
  TFileHandle FFile;
  DWORD FError = ERROR_SUCCESS;  // why the new file could not be made
  bool FPending = false;         // the new file is there and ours to remove
};

// Removes what a crash left of TFileReplacement beside Path: new files of
// processes that no longer run, and an old file put aside but never removed
// (put back where no file took its place).
void RemoveLeftReplacements(const std::wstring& Path);
