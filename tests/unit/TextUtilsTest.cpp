#include "toolkit/Exceptions.h"
#include "toolkit/TextUtils.h"

#include <gtest/gtest.h>

namespace {

std::int32_t Parse(const char* Text) {
  std::int32_t Value = -12345;
  EXPECT_TRUE(TryStrToInt(Text, Value)) << Text;
  return Value;
}

bool Rejects(const char* Text) {
  std::int32_t Value = 0;
  return !TryStrToInt(Text, Value);
}

TEST(IntegerText, DecimalWithSignAndLeadingBlanks) {
  EXPECT_EQ(Parse("30"), 30);
  EXPECT_EQ(Parse("  45"), 45);
  EXPECT_EQ(Parse("+7"), 7);
  EXPECT_EQ(Parse("-600"), -600);
  EXPECT_EQ(Parse("007"), 7);
  EXPECT_EQ(Parse("2147483647"), 2147483647);
  EXPECT_EQ(Parse("-2147483648"), INT32_MIN);
}

TEST(IntegerText, HexadecimalPrefixesGiveUpTo32BitsReadSigned) {
  EXPECT_EQ(Parse("$1E"), 30);
  EXPECT_EQ(Parse("x1e"), 30);
  EXPECT_EQ(Parse("X1E"), 30);
  EXPECT_EQ(Parse("0x3C"), 60);
  EXPECT_EQ(Parse("0X3c"), 60);
  EXPECT_EQ(Parse(" $FFFFFFFF"), -1);
  EXPECT_EQ(Parse("$80000000"), INT32_MIN);
  EXPECT_EQ(Parse("$000000010"), 16);
}

TEST(IntegerText, RejectsWhatIsNoIntegerText) {
  for (const char* Text :
       {"",  " ",   "3x",   "45 ", "\t45",       "1.5",         "-",           "+",          "$",   "0x",
        "x", "--1", "-$10", "$1G", "2147483648", "-2147483649", "99999999999", "$100000000", "1e3", "abc"})
    EXPECT_TRUE(Rejects(Text)) << "'" << Text << "'";
}

TEST(IntegerText, StrToIntRaisesTheConversionMessage) {
  try {
    StrToInt("3x");
    FAIL() << "no error";
  } catch (const EConvertError& E) {
    EXPECT_EQ(E.Message(), "'3x' is not a valid integer value");
  }
  EXPECT_EQ(StrToIntDef("letters", 120), 120);
  EXPECT_EQ(StrToIntDef("0x3C", 120), 60);
}

TEST(Format, ReplacesEachPlaceholderOnceAndNeverRescans) {
  EXPECT_EQ(Format("Connected to %s", {"HTTP://Example.COM"}), "Connected to HTTP://Example.COM");
  EXPECT_EQ(Format("Connected to %s", {"http://a/%s%%"}), "Connected to http://a/%s%%");
  EXPECT_EQ(Format("%s and %s, 100%%", {"a", "b"}), "a and b, 100%");
  EXPECT_EQ(Format("none %s", {}), "none %s");
}

TEST(DateTimeText, MidnightShowsTheDateAlone) {
  SYSTEMTIME Midnight = {};
  Midnight.wYear = 2026;
  Midnight.wMonth = 12;
  Midnight.wDay = 8;
  SYSTEMTIME Later = Midnight;
  Later.wHour = 14;
  Later.wMinute = 5;
  Later.wSecond = 9;

  char Date[64], Time[64];
  ASSERT_GT(GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &Midnight, nullptr, Date, sizeof Date), 0);
  ASSERT_GT(GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &Later, nullptr, Time, sizeof Time), 0);
  EXPECT_EQ(DateTimeText(Midnight), Date);
  EXPECT_EQ(DateTimeText(Later), std::string(Date) + " " + Time);
  Midnight.wMilliseconds = 500;  // still 00:00:00 to the second
  EXPECT_EQ(DateTimeText(Midnight), Date);
}

}  // namespace
