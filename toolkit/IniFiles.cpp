#include "toolkit/IniFiles.h"

#include "toolkit/TextUtils.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <type_traits>
#include <utility>

namespace {

const std::string Utf8Mark = "\xEF\xBB\xBF";
const std::string Utf16LeMark = "\xFF\xFE";
const std::string Utf16BeMark = "\xFE\xFF";

// Without a mark, Notepad takes bytes that are valid UTF-8, some of them not
// ASCII, for UTF-8; ASCII alone reads the same either way.
bool LooksLikeUtf8(const std::string& Bytes) {
  bool Wide = false;
  for (char C : Bytes) Wide = Wide || (static_cast<unsigned char>(C) & 0x80) != 0;
  return Wide && MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, Bytes.data(), static_cast<int>(Bytes.size()),
                                     nullptr, 0) > 0;
}

// A file without a mark is UTF-16 where its zero bytes stand where UTF-16
// puts them for ASCII text, in the high byte of a unit (at odd offsets for
// little-endian, at even ones for big-endian): at least one unit in two has
// one, and few stand in the low byte (a character such as U+5F00 puts one
// there). An 8-bit text has none.
bool ZeroBytesSay(const std::string& Bytes, TTextEncoding& Encoding) {
  size_t Even = 0, Odd = 0;
  for (size_t I = 0; I < Bytes.size(); ++I)
    if (Bytes[I] == '\0') ++(I % 2 == 0 ? Even : Odd);
  const size_t High = std::max(Even, Odd), Low = std::min(Even, Odd);
  if (High == 0 || Bytes.size() % 2 != 0 || 2 * High < Bytes.size() / 2 || 8 * Low > High) return false;
  Encoding = Odd > Even ? TTextEncoding::Utf16Le : TTextEncoding::Utf16Be;
  return true;
}

std::string ToBytes(std::wstring_view Units, bool BigEndian) {
  std::string Bytes;
  Bytes.reserve(Units.size() * 2);
  for (wchar_t U : Units) {
    const char Low = static_cast<char>(U & 0xFF), High = static_cast<char>((U >> 8) & 0xFF);
    Bytes += BigEndian ? High : Low;
    Bytes += BigEndian ? Low : High;
  }
  return Bytes;
}

// Whether text of that encoding leaves a zero byte as it is: only UTF-16
// puts them in text.
bool HoldsText(const std::string& Body, TTextEncoding Encoding) {
  if (Encoding == TTextEncoding::Utf16Le || Encoding == TTextEncoding::Utf16Be) return true;
  return Body.find('\0') == std::string::npos;
}

bool Blank(wchar_t C) { return C == L' ' || C == L'\t'; }

std::wstring_view Trimmed(std::wstring_view Text) {
  while (!Text.empty() && Blank(Text.front())) Text.remove_prefix(1);
  while (!Text.empty() && Blank(Text.back())) Text.remove_suffix(1);
  return Text;
}

bool SameName(std::wstring_view A, std::wstring_view B) {
  return CompareStringOrdinal(A.data(), static_cast<int>(A.size()), B.data(), static_cast<int>(B.size()), TRUE) ==
         CSTR_EQUAL;
}

// A line "[name]" opens the section "name"; a missing "]" ends it at the line's end.
bool SectionLine(std::wstring_view Line, std::wstring_view& Name) {
  Line = Trimmed(Line);
  if (Line.empty() || Line.front() != L'[') return false;
  Line.remove_prefix(1);
  Name = Trimmed(Line.substr(0, Line.find(L']')));
  return true;
}

// A line "key=value" in a section; a comment line (";") is none.
bool KeyLine(std::wstring_view Line, std::wstring_view& Key, std::wstring_view& Value) {
  const size_t Equals = Line.find(L'=');
  if (Equals == std::wstring_view::npos) return false;
  Key = Trimmed(Line.substr(0, Equals));
  Value = Trimmed(Line.substr(Equals + 1));
  return !Key.empty() && Key.front() != L';';
}

}  // namespace

TIniFile::TIniFile(std::wstring Path) : FPath(std::move(Path)) {
  TFileHandle File =
      OpenFileAnyPath(FPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING);
  if (!File) {
    const DWORD Error = GetLastError();
    FReadable = Error == ERROR_FILE_NOT_FOUND || Error == ERROR_PATH_NOT_FOUND;
    return;
  }
  std::string Bytes;
  std::vector<char> Buffer(65536);
  for (;;) {
    DWORD Read = 0;
    if (!ReadFile(File.get(), Buffer.data(), static_cast<DWORD>(Buffer.size()), &Read, nullptr)) {
      FReadable = false;
      return;
    }
    if (Read == 0) break;
    Bytes.append(Buffer.data(), Read);
  }
  Parse(Bytes);
}

void TIniFile::Parse(const std::string& Bytes) {
  if (Bytes.rfind(Utf16LeMark, 0) == 0) {
    FEncoding = TTextEncoding::Utf16Le;
    FMark = Utf16LeMark;
  } else if (Bytes.rfind(Utf16BeMark, 0) == 0) {
    FEncoding = TTextEncoding::Utf16Be;
    FMark = Utf16BeMark;
  } else if (Bytes.rfind(Utf8Mark, 0) == 0) {
    FEncoding = TTextEncoding::Utf8Bom;
    FMark = Utf8Mark;
  } else if (!ZeroBytesSay(Bytes, FEncoding)) {
    FEncoding = LooksLikeUtf8(Bytes) ? TTextEncoding::Utf8 : TTextEncoding::Ansi;
  }
  const std::string Body = Bytes.substr(FMark.size());
  // Zero bytes in 8-bit text are no text: what the file holds is unknown,
  // and it is never written over.
  if (!HoldsText(Body, FEncoding)) {
    FReadable = false;
    return;
  }
  if (FEncoding == TTextEncoding::Utf16Le || FEncoding == TTextEncoding::Utf16Be) {
    ParseUtf16(Body);
    return;
  }
  // An 8-bit file's lines end at LF bytes: no byte of a multibyte character
  // in UTF-8 or in any code page is an LF.
  const UINT CodePage = FEncoding == TTextEncoding::Ansi ? CP_ACP : CP_UTF8;
  for (size_t Start = 0; Start < Body.size();) {
    size_t Feed = Body.find('\n', Start);
    const size_t Stop = Feed == std::string::npos ? Body.size() : Feed;
    const size_t TextEnd = Stop > Start && Body[Stop - 1] == '\r' ? Stop - 1 : Stop;
    const size_t Next = Feed == std::string::npos ? Body.size() : Feed + 1;
    std::string Line = Body.substr(Start, TextEnd - Start);
    std::wstring Text = WideText(Line, CodePage);
    FLines.push_back({std::move(Text), std::move(Line), Body.substr(TextEnd, Next - TextEnd)});
    Start = Next;
  }
}

void TIniFile::ParseUtf16(const std::string& Body) {
  const bool BigEndian = FEncoding == TTextEncoding::Utf16Be;
  std::wstring Units(Body.size() / 2, L'\0');
  for (size_t I = 0; I < Units.size(); ++I) {
    const unsigned First = static_cast<unsigned char>(Body[2 * I]),
                   Second = static_cast<unsigned char>(Body[2 * I + 1]);
    Units[I] = static_cast<wchar_t>(BigEndian ? First << 8 | Second : Second << 8 | First);
  }
  for (size_t Start = 0; Start < Units.size();) {
    size_t Feed = Units.find(L'\n', Start);
    const size_t Stop = Feed == std::wstring::npos ? Units.size() : Feed;
    const size_t TextEnd = Stop > Start && Units[Stop - 1] == L'\r' ? Stop - 1 : Stop;
    const std::wstring_view Line(Units.data() + Start, TextEnd - Start);
    const size_t Next = Feed == std::wstring::npos ? Units.size() : Feed + 1;
    FLines.push_back({std::wstring(Line), ToBytes(Line, BigEndian),
                      ToBytes(std::wstring_view(Units.data() + TextEnd, Next - TextEnd), BigEndian)});
    Start = Next;
  }
  // An odd last byte is no character; it stays where it was.
  if (Body.size() % 2 != 0) {
    if (FLines.empty()) FLines.push_back({});
    FLines.back().End += Body.back();
  }
}

std::string TIniFile::Encode(std::wstring_view Text) const {
  if (FEncoding == TTextEncoding::Utf16Le || FEncoding == TTextEncoding::Utf16Be)
    return ToBytes(Text, FEncoding == TTextEncoding::Utf16Be);
  return NarrowText(Text, FEncoding == TTextEncoding::Ansi ? CP_ACP : CP_UTF8);
}

size_t TIniFile::FindSection(std::wstring_view Section) const {
  std::wstring_view Name;
  for (size_t I = 0; I < FLines.size(); ++I)
    if (SectionLine(FLines[I].Text, Name) && SameName(Name, Section)) return I;
  return std::wstring::npos;
}

size_t TIniFile::FindKey(std::wstring_view Section, std::wstring_view Key) const {
  bool Inside = false;
  std::wstring_view Name, Value;
  for (size_t I = 0; I < FLines.size(); ++I) {
    if (SectionLine(FLines[I].Text, Name))
      Inside = SameName(Name, Section);
    else if (Inside && KeyLine(FLines[I].Text, Name, Value) && SameName(Name, Key))
      return I;
  }
  return std::wstring::npos;
}

std::wstring TIniFile::ReadString(std::wstring_view Section, std::wstring_view Key, std::wstring_view Default) const {
  const size_t Index = FindKey(Section, Key);
  std::wstring_view Name, Value;
  if (Index == std::wstring::npos || !KeyLine(FLines[Index].Text, Name, Value)) return std::wstring(Default);
  if (Value.size() >= 2 && (Value.front() == L'"' || Value.front() == L'\'') && Value.back() == Value.front())
    Value = Value.substr(1, Value.size() - 2);
  return std::wstring(Value);
}

void TIniFile::SetLine(size_t Index, std::wstring Text) {
  FLines[Index].Bytes = Encode(Text);
  FLines[Index].Text = std::move(Text);
}

void TIniFile::InsertLine(size_t Index, std::wstring Text) {
  // Every line the file's writers add ends with CR LF, and so does the line
  // before it.
  const std::string End = Encode(L"\r\n");
  if (Index > 0 && FLines[Index - 1].End.empty()) FLines[Index - 1].End = End;
  FLines.insert(FLines.begin() + static_cast<std::ptrdiff_t>(Index), TLine{std::wstring(), std::string(), End});
  SetLine(Index, std::move(Text));
}

bool TIniFile::HasKey(std::wstring_view Section, std::wstring_view Key) const {
  return FindKey(Section, Key) != std::wstring::npos;
}

void TIniFile::WriteString(std::wstring_view Section, std::wstring_view Key, std::wstring_view Value) {
  const std::wstring Line = std::wstring(Key) + L"=" + std::wstring(Value);
  std::wstring_view Name, Old;
  if (size_t At = FindKey(Section, Key); At != std::wstring::npos) {
    // The key keeps its spelling; the blanks around it go.
    KeyLine(FLines[At].Text, Name, Old);
    SetLine(At, std::wstring(Name) + L"=" + std::wstring(Value));
  } else if (size_t Start = FindSection(Section); Start != std::wstring::npos) {
    // After the section's last line that is not blank.
    size_t Last = Start;
    for (size_t I = Start + 1; I < FLines.size() && !SectionLine(FLines[I].Text, Name); ++I)
      if (!Trimmed(FLines[I].Text).empty()) Last = I;
    InsertLine(Last + 1, Line);
  } else {
    InsertLine(FLines.size(), L"[" + std::wstring(Section) + L"]");
    InsertLine(FLines.size(), Line);
  }
  FChanged = true;
}

bool TIniFile::UpdateFile() {
  if (!FReadable) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;  // what it holds was never read: it is not replaced
  }
  if (!FChanged) return true;
  std::string Bytes = FMark;
  for (const TLine& Line : FLines) Bytes += Line.Bytes + Line.End;
  TFileReplacement File(FPath);
  if (!File.Write(Bytes) || !File.Commit()) return false;
  FChanged = false;
  return true;
}
