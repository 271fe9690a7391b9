// The kept log's text rules: line ends made CR LF across read pieces, zero
// bytes made blanks, and the newest lines split off for the log view.

#include "monitor/LogFile.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

std::string Adjusted(std::initializer_list<std::string_view> Pieces) {
  std::string Log;
  bool AfterCR = false;
  for (std::string_view Piece : Pieces) AppendLogText(Log, Piece, AfterCR);
  return Log;
}

TEST(LogText, EveryLineEndBecomesCrLfAlsoWhereAReadSplitsIt) {
  EXPECT_EQ(Adjusted({"a\nb\rc\r\nd"}), "a\r\nb\r\nc\r\nd");
  EXPECT_EQ(Adjusted({"a\r", "\nb"}), "a\r\nb");      // one CR LF over two pieces
  EXPECT_EQ(Adjusted({"a\r", "\rb"}), "a\r\n\r\nb");  // two lone CRs: two line ends
  EXPECT_EQ(Adjusted({"a\n", "\r\nb"}), "a\r\n\r\nb");
  EXPECT_EQ(Adjusted({"\r\n\r\n"}), "\r\n\r\n");
  EXPECT_EQ(Adjusted({"x\0\0y\0"s}), "x  y ");
}

TEST(LogText, TheNewestLinesAreSplitOffWithTheirLineEnds) {
  std::string Log = "a\r\nb\r\nc\r\n";
  EXPECT_EQ(SplitLogTail(Log, 2), "b\r\nc\r\n");
  EXPECT_EQ(Log, "a\r\n");

  Log = "a\r\nb";  // the last line without its line end
  EXPECT_EQ(SplitLogTail(Log, 1), "b");
  EXPECT_EQ(Log, "a\r\n");

  Log = "a\r\n\r\nc\r\n";  // an empty line is a line
  EXPECT_EQ(SplitLogTail(Log, 2), "\r\nc\r\n");
  EXPECT_EQ(Log, "a\r\n");
}

TEST(LogText, FewerLinesThanAskedForAreAllShownAndNoneIsLost) {
  for (std::string Whole : {""s, "\r\n"s, "only"s, "a\r\nb\r\n"s}) {
    std::string Log = Whole;
    EXPECT_EQ(SplitLogTail(Log, 5), Whole);
    EXPECT_EQ(Log, "");
    Log = Whole;
    EXPECT_EQ(SplitLogTail(Log, 0), "");
    EXPECT_EQ(Log, Whole);
  }
}

}  // namespace
