#pragma once
// A profile (INI) file read and written in the text encoding it came in.
//
// Windows' profile functions know one mark only, UTF-16's: a file that
// Notepad saved as "UTF-8 with BOM" has its first line "\xEF\xBB\xBF[config]",
// which names no section, so that section is never found and a write appends
// a second one; UTF-8 without the mark is read through the code page, letters
// garbled. And they take no path longer than MAX_PATH (under Wine a write to
// one even reports success and writes nothing). So the file is read whole,
// kept as its lines, and written back whole in its own encoding:
// the lines no write touched keep their bytes, line ends included, and a
// file in the code page stays in it. The writes change the lines in memory;
// UpdateFile then puts the file back at once, or leaves it exactly as it was
// (toolkit/Files).

#include "toolkit/Files.h"

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

// How a text file is encoded: by its byte-order mark (UTF-8, UTF-16 LE or
// BE); without one, UTF-16 when zero bytes stand where UTF-16 puts them for
// ASCII text, UTF-8 when the bytes are UTF-8 and some of them are not ASCII
// (as Notepad guesses), else the system's ANSI code page. A new file is in
// the code page. Zero bytes anywhere else make no text at all.
enum class TTextEncoding { Ansi, Utf8, Utf8Bom, Utf16Le, Utf16Be };

class TIniFile {
 public:
  // Reads the file now. A missing file is an empty one; a file that is there
  // but cannot be read, or is no text, is empty too, and is never written.
  explicit TIniFile(std::wstring Path);

  // False for a file that is there but could not be read as text.
  bool Readable() const { return FReadable; }
  TTextEncoding Encoding() const { return FEncoding; }

  // The value of the first key of that name in a section of that name (both
  // without regard to case), blanks around it and one pair of quotes around
  // it taken off; Default when there is none.
  std::wstring ReadString(std::wstring_view Section, std::wstring_view Key, std::wstring_view Default) const;
  // Whether the section holds the key.
  bool HasKey(std::wstring_view Section, std::wstring_view Key) const;
  // Sets the key's value, adding the key at the end of its section and the
  // section at the end of the file when they are missing; the file itself is
  // written by UpdateFile.
  void WriteString(std::wstring_view Section, std::wstring_view Key, std::wstring_view Value);
  // Puts the file in place with every write made, as one new file swapped
  // in; nothing is written when no write changed a line. False (with
  // GetLastError saying why) when the file could not be replaced, or was
  // never read: it then holds exactly what it held.
  bool UpdateFile();

 private:
  struct TLine {
    std::wstring Text;  // without its line end
    std::string Bytes;  // as in the file, without its line end
    std::string End;    // the line end's bytes, empty on a last line without one
  };
  std::string Encode(std::wstring_view Text) const;
  void Parse(const std::string& Bytes);
  void ParseUtf16(const std::string& Body);
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
  bool FChanged = false;  // a write changed the lines since they were read
  std::vector<TLine> FLines;
};
