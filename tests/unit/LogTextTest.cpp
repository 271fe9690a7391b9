// The kept log's text rules: line ends made CR LF across read pieces, zero
// bytes made blanks; the newest lines read from the end of the file for the
// log view, and the file copied into a new one, in pieces of any size. And
// the file calls under them: paths of any length, a replace or an append
// that a full disk or a vanished file cannot leave half done.

#include "monitor/LogFile.h"
#include "tests/support/Seams.h"
#include "tests/support/TempDir.h"
#include "toolkit/Files.h"

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
    DWORD Error = ERROR_SUCCESS;
    EXPECT_TRUE(RewriteLogFile(Path(), Added, Error, GetParam())) << Error;
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

TEST_P(LogFile, IsRewrittenWithItsOwnBytesThenTheAddedLinesAndNothingLeftBeside) {
  // Line ends and zero bytes as they were: only a last line without its line
  // end gets one, so the added lines stand on their own.
  EXPECT_EQ(WrittenBack("one\ntwo\rthree\r\n\nfive", "new\r\n"), "one\ntwo\rthree\r\n\nfive\r\nnew\r\n");
  EXPECT_EQ(WrittenBack("a\r\r\nb\n\r", "new\r\n"), "a\r\r\nb\n\rnew\r\n");
  EXPECT_EQ(WrittenBack("x\0\ny\0"s, "new\r\n"), "x\0\ny\0\r\nnew\r\n"s);
  EXPECT_EQ(WrittenBack("", "new\r\n"), "new\r\n");
  EXPECT_EQ(WrittenBack("kept\r\n", ""), "kept\r\n");

  DeleteFileW(Path().c_str());
  DWORD Error = ERROR_SUCCESS;
  EXPECT_TRUE(RewriteLogFile(Path(), "new\r\n", Error, GetParam()));
  EXPECT_EQ(Dir.Read("Vintrel.log"), "new\r\n");
  EXPECT_EQ(Dir.Names(), std::vector<std::string>{"Vintrel.log"});
}

INSTANTIATE_TEST_SUITE_P(PieceSizes, LogFile, ::testing::Values(1, 2, 3, LogChunkSize));

TEST(LongPaths, TakeTheExtendedFormFromMaxPathOnAndAShareItsUncForm) {
  const std::wstring Folder = L"C:\\" + std::wstring(240, L'f') + L"\\";
  EXPECT_EQ(LongPathForApi(Folder + L"Vintrel.log"), Folder + L"Vintrel.log");  // 255 characters: as it is
  EXPECT_EQ(LongPathForApi(Folder + L"Vintrel.log.1234.tmp"), L"\\\\?\\" + Folder + L"Vintrel.log.1234.tmp");
  EXPECT_EQ(LongPathForApi(Folder + L"x\\..\\Vintrel.log.1234.tmp"), L"\\\\?\\" + Folder + L"Vintrel.log.1234.tmp");
  const std::wstring Share = L"\\\\server\\share\\" + std::wstring(260, L's') + L"\\Vintrel.ini";
  EXPECT_EQ(LongPathForApi(Share), L"\\\\?\\UNC\\server\\share\\" + std::wstring(260, L's') + L"\\Vintrel.ini");
  const std::wstring Prefixed = L"\\\\?\\" + Folder + std::wstring(20, L'g');
  EXPECT_EQ(LongPathForApi(Prefixed), Prefixed);
}

// A new file swapped in for an old one, and a line appended, on a disk that
// fills up or under a replace that goes wrong.
class FileChanges : public ::testing::Test {
 protected:
  std::wstring Path(const std::string& Name = "Vintrel.log") const { return vtest::Utf16(Dir.File(Name)); }
  bool Replace(const std::string& Text) {
    TFileReplacement New(Path());
    return New.Write(Text) && New.Commit();
  }
  // A replace that puts the old file aside and then cannot move the new one
  // in: the old file is gone from its place.
  static BOOL WINAPI ReplaceLosingTheOld(LPCWSTR Replaced, LPCWSTR, LPCWSTR Backup, DWORD, LPVOID, LPVOID) {
    MoveFileExW(Replaced, Backup, MOVEFILE_REPLACE_EXISTING);
    SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT_2);
    return FALSE;
  }

  vtest::ScopedPlatform Seam;
  vtest::TempDir Dir;
};

TEST_F(FileChanges, AReplaceIsWholeOrNothingAndLeavesNothingBeside) {
  Dir.Write("Vintrel.log", "old\r\n");
  SetFileAttributesW(Path().c_str(), FILE_ATTRIBUTE_HIDDEN);
  ASSERT_TRUE(Replace("new\r\n"));
  EXPECT_EQ(Dir.Read("Vintrel.log"), "new\r\n");
  EXPECT_EQ(GetFileAttributesW(Path().c_str()) & FILE_ATTRIBUTE_HIDDEN, static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(Dir.Names(), std::vector<std::string>{"Vintrel.log"});

  // The disk fills up midway: the old file stays as it was.
  vtest::FullDisk::Install(3);
  EXPECT_FALSE(Replace("newer\r\n"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
  EXPECT_EQ(Dir.Read("Vintrel.log"), "new\r\n");
  EXPECT_EQ(Dir.Names(), std::vector<std::string>{"Vintrel.log"});

  // The replace loses the old file on the way: the new one, which holds all
  // of it, takes the place.
  vtest::FullDisk::Install(-1);
  Platform().ReplaceFileW = ReplaceLosingTheOld;
  ASSERT_TRUE(Replace("newest\r\n"));
  EXPECT_EQ(Dir.Read("Vintrel.log"), "newest\r\n");
  EXPECT_EQ(Dir.Names(), std::vector<std::string>{"Vintrel.log"});
}

TEST_F(FileChanges, AnAppendIsWholeOrCutBackAndWhatACrashLeftIsRemoved) {
  Dir.Write("Vintrel.log", "old");
  vtest::FullDisk::Install(6);  // room for the line end and a piece of the line
  DWORD Error = ERROR_SUCCESS;
  EXPECT_FALSE(AppendWhole(Path(), "Connected to http://example.org\r\n", Error));
  EXPECT_EQ(Error, static_cast<DWORD>(ERROR_DISK_FULL));
  EXPECT_EQ(Dir.Read("Vintrel.log"), "old");
  // The system's own words, without their full stop and line end.
  const std::string Words = SystemErrorText(ERROR_DISK_FULL);
  EXPECT_TRUE(!Words.empty() && Words.back() != '.' && Words.find('\n') == std::string::npos) << Words;
  vtest::FullDisk::Install(-1);
  EXPECT_TRUE(AppendWhole(Path(), "Connected to http://example.org\r\n", Error));
  EXPECT_EQ(Dir.Read("Vintrel.log"), "old\r\nConnected to http://example.org\r\n");

  // A crashed process's new and put-aside files go; this process's stay, and
  // an old file put aside with nothing in its place is put back.
  const std::string Mine = "Vintrel.log." + std::to_string(GetCurrentProcessId()) + ".tmp";
  for (const char* Left : {"Vintrel.log.4294967280.tmp", "Vintrel.log.4294967280.old", "Vintrel.log.x.tmp"})
    Dir.Write(Left, "left");
  Dir.Write(Mine, "mine");
  RemoveLeftReplacements(Path());
  EXPECT_EQ(Dir.Names(), (std::vector<std::string>{"Vintrel.log", Mine, "Vintrel.log.x.tmp"}));
  DeleteFileW(Path().c_str());
  Dir.Write("Vintrel.log.4294967280.old", "put aside");
  RemoveLeftReplacements(Path());
  EXPECT_EQ(Dir.Read("Vintrel.log"), "put aside");
}

}  // namespace
