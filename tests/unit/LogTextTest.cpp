// The kept log's text rules: line ends made CR LF across read pieces, zero
// bytes made blanks; the newest lines read from the end of the file for the
// log view, and the file copied into a new one, in pieces of any size.

#include "monitor/LogFile.h"
#include "tests/support/TempDir.h"

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

// The log file read in pieces of the parameter's size: from one byte, where
// every CR LF is split between two pieces, to the program's own.
class LogFile : public ::testing::TestWithParam<size_t> {
 protected:
  std::wstring Path() const { return vtest::Utf16(Dir.File("Vintrel.log")); }
  std::string Tail(const std::string& Raw, size_t Lines) {
    Dir.Write("Vintrel.log", Raw);
    return ReadLogTail(Path(), Lines, GetParam());
  }
  std::string WrittenBack(const std::string& Raw, std::string_view Added) {
    Dir.Write("Vintrel.log", Raw);
    WriteLogFile(Path(), Added, GetParam());
    return Dir.Read("Vintrel.log");
  }

  vtest::TempDir Dir;
};

TEST_P(LogFile, TheNewestLinesAreReadWithTheirLineEnds) {
  EXPECT_EQ(Tail("a\r\nb\r\nc\r\n", 2), "b\r\nc\r\n");
  EXPECT_EQ(Tail("a\r\nb", 1), "b");                  // the last line without its line end
  EXPECT_EQ(Tail("a\r\n\r\nc\r\n", 2), "\r\nc\r\n");  // an empty line is a line
  EXPECT_EQ(Tail("one\ntwo\rthree\r\n\nfive", 4), "two\r\nthree\r\n\r\nfive");
  // A CR then CR LF, LF, and a CR that ends the file: four lines.
  EXPECT_EQ(Tail("a\r\r\nb\n\r", 2), "b\r\n\r\n");
  EXPECT_EQ(Tail("a\r\r\nb\n\r", 3), "\r\nb\r\n\r\n");
  EXPECT_EQ(Tail("x\0\ny\0"s, 1), "y ");
  EXPECT_EQ(Tail("x\0\ny\0"s, 2), "x \r\ny ");
  // A power loss's long run of zero bytes without a line end: the view gets
  // no more than its last stretch.
  if (GetParam() == LogChunkSize) {
    EXPECT_EQ(Tail("a\r\n" + std::string(MaxTailBytes + 9, '\0'), 2), std::string(MaxTailBytes, ' '));
  }
}

TEST_P(LogFile, FewerLinesThanAskedForAreAllShownAndNoneIsLost) {
  for (std::string Whole : {""s, "\r\n"s, "only"s, "a\r\nb\r\n"s}) {
    EXPECT_EQ(Tail(Whole, 5), Whole);
    EXPECT_EQ(Tail(Whole, 0), "");
  }
  DeleteFileW(Path().c_str());
  EXPECT_EQ(ReadLogTail(Path(), 5, GetParam()), "");  // a missing log is an empty one
}

TEST_P(LogFile, IsWrittenBackWholeWithEveryLineEndedThenTheAddedLines) {
  EXPECT_EQ(WrittenBack("one\ntwo\rthree\r\n\nfive", "new\r\n"), "one\r\ntwo\r\nthree\r\n\r\nfive\r\nnew\r\n");
  EXPECT_EQ(WrittenBack("a\r\r\nb\n\r", "new\r\n"), "a\r\n\r\nb\r\n\r\nnew\r\n");
  EXPECT_EQ(WrittenBack("x\0\ny\0"s, "new\r\n"), "x \r\ny \r\nnew\r\n");
  EXPECT_EQ(WrittenBack("", "new\r\n"), "new\r\n");
  EXPECT_EQ(WrittenBack("kept\r\n", ""), "kept\r\n");

  DeleteFileW(Path().c_str());
  WriteLogFile(Path(), "new\r\n", GetParam());
  EXPECT_EQ(Dir.Read("Vintrel.log"), "new\r\n");
}

INSTANTIATE_TEST_SUITE_P(PieceSizes, LogFile, ::testing::Values(1, 2, 3, LogChunkSize));

}  // namespace
