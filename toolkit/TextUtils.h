#pragma once
// Text helpers shared by the whole program: the one integer-text rule, the
// message formatter, trimming, and local date-time text.

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

// The integer-text rule used for every text the program turns into a number:
// leading blanks are skipped; then either an optional sign and decimal digits,
// or one of "$", "x", "X", "0x", "0X" and hexadecimal digits; nothing may
// follow. An empty text fails, and so does a decimal value outside the signed
// 32-bit range; hexadecimal digits give up to 32 bits, read as a signed value.
bool TryStrToInt(std::string_view Text, std::int32_t& Value);

// As TryStrToInt; a failure raises EConvertError
// "'<text>' is not a valid integer value".
std::int32_t StrToInt(const std::string& Text);

// As TryStrToInt, giving Default for a text that is no integer text.
std::int32_t StrToIntDef(std::string_view Text, std::int32_t Default);

// Replaces each "%s" of Pattern, in order, by the next argument; "%%" gives
// one "%". Arguments are inserted as they are and never scanned again.
std::string Format(std::string_view Pattern, std::initializer_list<std::string_view> Args);

// Removes from both ends every character whose code is 0x20 or lower.
std::string Trim(std::string_view Text);

// Changes A to Z into a to z and leaves every other byte as it is.
std::string LowerCaseAscii(std::string_view Text);

// The date in the user's short date format; then, unless the time is 00:00:00
// to the second, a blank and the time in the user's long time format.
std::string DateTimeText(const SYSTEMTIME& Time);

// DateTimeText of the current local time.
std::string NowText();

// Text in the system's ANSI code page and in UTF-16, both ways. A path goes
// to the file functions as UTF-16, since a folder name may hold characters
// the code page lacks; such characters come back as "?" in ANSI text.
std::wstring WideText(std::string_view Text);
std::string AnsiText(std::wstring_view Text);
// The same with another code page (CP_UTF8, say).
std::wstring WideText(std::string_view Text, UINT CodePage);
std::string NarrowText(std::wstring_view Text, UINT CodePage);
