#include "toolkit/TextUtils.h"

#include "toolkit/Exceptions.h"

namespace {

int HexDigit(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return -1;
}

bool ParseHex(std::string_view Digits, std::int32_t& Value) {
  if (Digits.empty()) return false;
  std::uint64_t V = 0;
  for (char C : Digits) {
    int D = HexDigit(C);
    if (D < 0) return false;
    V = V * 16 + static_cast<unsigned>(D);
    if (V > 0xFFFFFFFFull) return false;
  }
  Value = static_cast<std::int32_t>(static_cast<std::uint32_t>(V));
  return true;
}

bool ParseDecimal(std::string_view Text, std::int32_t& Value) {
  bool Negative = false;
  if (!Text.empty() && (Text[0] == '+' || Text[0] == '-')) {
    Negative = Text[0] == '-';
    Text.remove_prefix(1);
  }
  if (Text.empty()) return false;
  std::int64_t V = 0;
  for (char C : Text) {
    if (C < '0' || C > '9') return false;
    V = V * 10 + (C - '0');
    if (V > 2147483648LL) return false;
  }
  if (Negative) V = -V;
  if (V > 2147483647LL) return false;
  Value = static_cast<std::int32_t>(V);
  return true;
}

}  // namespace

bool TryStrToInt(std::string_view Text, std::int32_t& Value) {
  std::string_view::size_type First = Text.find_first_not_of(' ');
  if (First == std::string_view::npos) return false;
  Text.remove_prefix(First);
  if (Text[0] == '$' || Text[0] == 'x' || Text[0] == 'X') return ParseHex(Text.substr(1), Value);
  if (Text.size() >= 2 && Text[0] == '0' && (Text[1] == 'x' || Text[1] == 'X')) return ParseHex(Text.substr(2), Value);
  return ParseDecimal(Text, Value);
}

std::int32_t StrToInt(const std::string& Text) {
  std::int32_t Value = 0;
  if (!TryStrToInt(Text, Value)) throw EConvertError(Format("'%s' is not a valid integer value", {Text}));
  return Value;
}

std::int32_t StrToIntDef(std::string_view Text, std::int32_t Default) {
  std::int32_t Value = 0;
  return TryStrToInt(Text, Value) ? Value : Default;
}

std::string Format(std::string_view Pattern, std::initializer_list<std::string_view> Args) {
  std::string Result;
  auto Next = Args.begin();
  for (std::string_view::size_type I = 0; I < Pattern.size(); ++I) {
    if (Pattern[I] == '%' && I + 1 < Pattern.size()) {
      if (Pattern[I + 1] == '%') {
        Result += '%';
        ++I;
        continue;
      }
      if (Pattern[I + 1] == 's' && Next != Args.end()) {
        Result += *Next++;
        ++I;
        continue;
      }
    }
    Result += Pattern[I];
  }
  return Result;
}

std::string Trim(std::string_view Text) {
  auto Blank = [](char C) { return static_cast<unsigned char>(C) <= 0x20; };
  while (!Text.empty() && Blank(Text.front())) Text.remove_prefix(1);
  while (!Text.empty() && Blank(Text.back())) Text.remove_suffix(1);
  return std::string(Text);
}

std::string LowerCaseAscii(std::string_view Text) {
  std::string Result(Text);
  for (char& C : Result)
    if (C >= 'A' && C <= 'Z') C = static_cast<char>(C - 'A' + 'a');
  return Result;
}

std::string DateTimeText(const SYSTEMTIME& Time) {
  char Buffer[256];
  std::string Result;
  if (GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &Time, nullptr, Buffer, sizeof Buffer) > 0) Result = Buffer;
  if (Time.wHour != 0 || Time.wMinute != 0 || Time.wSecond != 0) {
    // With no format of its own, GetTimeFormatA uses the user's long time format.
    if (GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &Time, nullptr, Buffer, sizeof Buffer) > 0) {
      Result += ' ';
      Result += Buffer;
    }
  }
  return Result;
}

std::string NowText() {
  SYSTEMTIME Now;
  GetLocalTime(&Now);
  return DateTimeText(Now);
}

std::wstring WideText(std::string_view Text, UINT CodePage) {
  if (Text.empty()) return std::wstring();
  const int Length = MultiByteToWideChar(CodePage, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0);
  std::wstring Wide(static_cast<size_t>(Length), L'\0');
  MultiByteToWideChar(CodePage, 0, Text.data(), static_cast<int>(Text.size()), Wide.data(), Length);
  return Wide;
}

std::string NarrowText(std::wstring_view Text, UINT CodePage) {
  if (Text.empty()) return std::string();
  const int Length =
      WideCharToMultiByte(CodePage, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0, nullptr, nullptr);
  std::string Narrow(static_cast<size_t>(Length), '\0');
  WideCharToMultiByte(CodePage, 0, Text.data(), static_cast<int>(Text.size()), Narrow.data(), Length, nullptr, nullptr);
  return Narrow;
}

std::wstring WideText(std::string_view Text) { return WideText(Text, CP_ACP); }

std::string AnsiText(std::wstring_view Text) { return NarrowText(Text, CP_ACP); }
