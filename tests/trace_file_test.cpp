// SPDX-License-Identifier: MIT
// The trace file: line layout, creation, lost lines, and concurrent writers.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>

#include "kivocom/kivocom.h"
#include "support/environment.h"
#include "support/memory_line.h"
#include "support/test_child.h"
#include "support/trace_capture.h"

namespace kivocom {
namespace {

namespace fs = std::filesystem;

class TraceFileTest : public MemoryLineTest {
 protected:
  TraceCapture trace;
  CCOMPort port;
};

TEST_F(TraceFileTest, LineIsStampTabTextCrLf) {
  port.UpdateDebugFile("hello");
  port.UpdateDebugFile();
  const std::string raw = trace.Raw();
  EXPECT_TRUE(std::regex_match(raw, std::regex("[^\t\r\n]+ [^\t\r\n]+\thello\r\n[^\t\r\n]+ [^\t\r\n]+\t\r\n")))
      << raw;
}

TEST_F(TraceFileTest, ClientLinesAreWrittenWhateverDebuggingSays) {
  port.port(2);
  port.OpenPort();
  port.ClosePort();
  EXPECT_FALSE(fs::exists(trace.Path())) << "no library line with Debugging off";
  port.UpdateDebugFile("client remark");
  EXPECT_EQ(trace.Texts(), std::vector<std::string>{"client remark"});
}

TEST_F(TraceFileTest, ControlCharactersAreWrittenAsTheyAre) {
  port.UpdateDebugFile("a\rb\nc\x1b\x02");
  EXPECT_EQ(trace.Texts(), std::vector<std::string>{"a\rb\nc\x1b\x02"});
  EXPECT_EQ(trace.Raw().substr(trace.Raw().size() - 7), "b\nc\x1b\x02\r\n");
}

TEST_F(TraceFileTest, DeletedFileIsRecreatedByTheNextLine) {
  port.UpdateDebugFile("one");
  fs::remove(trace.Path());
  port.UpdateDebugFile("two");
  EXPECT_EQ(trace.Texts(), std::vector<std::string>{"two"});
}

TEST_F(TraceFileTest, UnwritableFolderLosesTheLineSilently) {
  SetEnvironment("KIVOCOM_TRACE_DIR", trace.Folder() + "/missing/folder");
  port.Debugging(true);
  port.port(2);
  EXPECT_NO_THROW(port.UpdateDebugFile("lost"));
  EXPECT_TRUE(port.OpenPort()) << "tracing never fails an operation";
}

TEST_F(TraceFileTest, LinesFromTwoProcessesNeverInterleave) {
  const std::string line(300, 'x');
  const auto writeLines = [&](const std::string& who) {
    for (int i = 0; i < 300; ++i) port.UpdateDebugFile(who + " " + line);
  };
  if (!ChildRole().empty()) {  // the second program: writes into the parent's folder
    SetEnvironment("KIVOCOM_TRACE_DIR", ChildRole());
    WriteFileBytes(ChildRole() + "/started", "");
    writeLines("child");
    return;
  }
  TestChild child(trace.Folder());
  const bool started =
      WaitUntil([&] { return std::filesystem::exists(trace.Folder() + "/started"); }, std::chrono::seconds(30));
  writeLines("parent");
  const ToolResult& ended = child.Finish();
  ASSERT_TRUE(started);
  ASSERT_EQ(ended.exitCode, 0) << ended.out << ended.err;
  const auto texts = trace.Texts();
  ASSERT_EQ(texts.size(), 600u);
  for (const auto& text : texts) EXPECT_TRUE(text == "child " + line || text == "parent " + line);
}

TEST(TraceTimeStamp, DateAloneAtMidnightAndDateTimeOtherwise) {
  std::tm midnight{};
  midnight.tm_year = 126;
  midnight.tm_mon = 11;
  midnight.tm_mday = 8;
  std::tm morning = midnight;
  morning.tm_hour = 8;
  morning.tm_min = 24;
  morning.tm_sec = 14;
  const std::string date = TraceTimeStamp(midnight);
  EXPECT_EQ(date.find(' '), std::string::npos) << date;
  const std::string stamp = TraceTimeStamp(morning);
  EXPECT_EQ(stamp.rfind(date + " ", 0), 0u) << stamp;
  EXPECT_NE(stamp.find("24"), std::string::npos) << stamp;
}

TEST(TraceFolder, EnvironmentWinsElseTheLibrarysOwnFolder) {
  UnsetEnvironment("KIVOCOM_TRACE_DIR");
  const std::string own = TraceFolder();
  EXPECT_TRUE(fs::is_directory(own)) << own;
  SetEnvironment("KIVOCOM_TRACE_DIR", "/tmp/");
  EXPECT_EQ(TraceFilePath(), "/tmp/dbgkcom.txt") << "one separator only";
  UnsetEnvironment("KIVOCOM_TRACE_DIR");
}

}  // namespace
}  // namespace kivocom
