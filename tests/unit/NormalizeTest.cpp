#include "monitor/INet.h"
#include "toolkit/Application.h"

#include <gtest/gtest.h>

namespace {

TEST(NormalizeURL, TrimsAndLowerCasesTheWholeAddress) {
  EXPECT_EQ(NormalizeURL("  \tHTTP://Example.COM/Path/Index.HTML \r\n"), "http://example.com/path/index.html");
}

TEST(NormalizeURL, PutsHttpInFrontOfAnAddressWithoutScheme) {
  EXPECT_EQ(NormalizeURL("Example.com"), "http://example.com");
  EXPECT_EQ(NormalizeURL("127.0.0.1:8080/x"), "http://127.0.0.1:8080/x");
}

TEST(NormalizeURL, OtherSchemesAreProbedOverPlainHttp) {
  EXPECT_EQ(NormalizeURL("https://secure.example/"), "http://secure.example/");
  EXPECT_EQ(NormalizeURL("FTP://files.example/pub"), "http://files.example/pub");
  // Only the first "://" counts.
  EXPECT_EQ(NormalizeURL("a://b://c"), "http://b://c");
}

TEST(NormalizeURL, HttpAnywhereInTheTextKeepsItAsItIs) {
  EXPECT_EQ(NormalizeURL(" Go to HTTP://x.example "), "go to http://x.example");
}

TEST(NormalizeURL, ATextEndingInSchemeSeparatorGivesHttpAlone) { EXPECT_EQ(NormalizeURL("gopher://"), "http://"); }

TEST(NormalizeURL, KeepsAtMost255CharactersAfterTheScheme) {
  std::string Host(300, 'a');
  std::string Result = NormalizeURL("https://" + Host);
  EXPECT_EQ(Result, "http://" + std::string(255, 'a'));
  // Without any "://" nothing is cut.
  EXPECT_EQ(NormalizeURL(Host), "http://" + Host);
}

TEST(NormalizeURL, EmptyOrBlankTextGivesTheDefaultAddress) {
  EXPECT_EQ(NormalizeURL(""), DefaultProbeURL);
  EXPECT_EQ(NormalizeURL(" \t\x01\x1f "), DefaultProbeURL);
}

TEST(NormalizeURL, BytesAboveAsciiKeepTheirCase) {
  EXPECT_EQ(NormalizeURL("http://\xC4\xD6.example/A"), "http://\xC4\xD6.example/a");
}

TEST(NormalizeAgent, TrimsButKeepsCaseAndDefaultsWhenEmpty) {
  EXPECT_EQ(NormalizeAgent("  My Agent\t"), "My Agent");
  EXPECT_EQ(NormalizeAgent(" \r\n"), "TKVRINetNotify");
}

TEST(DefaultTitle, TakesTheFileNameUpToTheFirstPeriodCapitalisedAsFound) {
  EXPECT_EQ(DefaultTitleFromPath("C:\\Tools\\PROBE.EXE"), "Probe");
  EXPECT_EQ(DefaultTitleFromPath("c:\\tools\\net.probe.exe"), "net");
  EXPECT_EQ(DefaultTitleFromPath("Z:\\build\\bin\\Vintrel.exe"), "Vintrel");
  EXPECT_EQ(DefaultTitleFromPath("C:\\a.b\\NoExtension"), "Noextension");
}

}  // namespace
