#pragma once
// A profile (INI) file read and written in the text encoding it came in.
//
// Windows' profile functions know one mark only, UTF-16's: a file that
// Notepad saved as "UTF-8 with BOM" has its first line "\xEF\xBB\xBF[config]",
// which names no section, so that section is never found and a write appends
// a second one; UTF-8 without the mark is read through the code page, letters
// garbled. And they take no path longer than MAX_PATH (under Wine a write to
// one even reports success and writes nothing). So the file is read whole,
// kept as its lines, and each write puts the file back in its own encoding:
// the lines no write touched keep their bytes, line ends included, and a
// file in the code page stays in it.

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

// How a text file is encoded: by its byte-order mark; without one, UTF-8 when
// the bytes are UTF-8 and some of them are not ASCII (as Notepad guesses),
// else the system's ANSI code page. A new file is in the code page.
enum class TTextEncoding { Ansi, Utf8, Utf8Bom, Utf16Le };

// A path the file functions take however long it is: Windows stops at
// MAX_PATH unless the path carries the "\\?\" prefix (or the user enabled long
// paths for the whole system); a shorter or relative path is left as it is.
std::wstring LongPathForApi(const std::wstring& Path);

struct TFileHandleCloser {
  void operator()(HANDLE Handle) const { CloseHandle(Handle); }
};
// An open file, closed when it goes.
using TFileHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, TFileHandleCloser>;
// Opens a file with CreateFileW at any length of path; no handle when it
// cannot (GetLastError says why).
TFileHandle OpenFileAnyPath(const std::wstring& Path, DWORD Access, DWORD Share, DWORD Disposition);

class TIniFile {
 public:
  // Reads the file now. A missing file is an empty one; a file that is there
  // but cannot be read is empty too, and refuses every write.
  explicit TIniFile(std::wstring Path);

  // The value of the first key of that name in a section of that name (both
  // without regard to case), blanks around it and one pair of quotes around
  // it taken off; Default when there is none.
  std::wstring ReadString(std::wstring_view Section, std::wstring_view Key, std::wstring_view Default) const;
  // Sets the key's value, adding the key at the end of its section and the
  // section at the end of the file when they are missing, and writes the
  // file at once. False when the file cannot be written (it then holds what
  // it held).
  bool WriteString(std::wstring_view Section, std::wstring_view Key, std::wstring_view Value);

 private:
  struct TLine {
    std::wstring Text;  // without its line end
    std::string Bytes;  // as in the file, without its line end
    std::string End;    // the line end's bytes, empty on a last line without one
  };
  std::string Encode(std::wstring_view Text) const;
  void Parse(const std::string& Bytes);
  bool Save() const;
  // The index of the line that opens the first section of that name, or of
  // the key's line in it; npos when there is none.
  size_t FindSection(std::wstring_view Section) const;
  size_t FindKey(std::wstring_view Section, std::wstring_view Key) const;
  void SetLine(size_t Index, std::wstring Text);
  void InsertLine(size_t Index, std::wstring Text);

  std::wstring FPath;
  TTextEncoding FEncoding = TTextEncoding::Ansi;
  std::string FMark;  // the byte-order mark's bytes, if the file has one
  bool FReadable = true;
  std::vector<TLine> FLines;
};
