// SPDX-License-Identifier: MIT
// The echo of a command, told from the answer by its bytes, whichever way the line cuts them.
#include <gtest/gtest.h>

#include "comport/echo_filter.h"

namespace kivocom {
namespace {

struct EchoCase {
  const char* name;
  std::string line;                 // the command as sent, final CR included
  std::vector<std::string> pieces;  // what the line brings back, in arrival order
  std::string passed;               // what is left once the pieces are in and the rest released
};

class EchoFilterTest : public ::testing::TestWithParam<EchoCase> {};

TEST_P(EchoFilterTest, PassesOnlyWhatIsNotTheEcho) {
  const EchoCase& c = GetParam();
  EchoFilter filter(c.line);
  std::string passed;
  for (const std::string& piece : c.pieces) passed += filter.Pass(piece);
  passed += filter.Release();
  EXPECT_EQ(passed, c.passed);
}

INSTANTIATE_TEST_SUITE_P(
    Table, EchoFilterTest,
    ::testing::Values(EchoCase{"NoEcho", "PV\r", {"+1.5\r\n"}, "+1.5\r\n"},
                      EchoCase{"WholeEchoThenAnswer", "PV\r", {"PV\r+1.5\r\n"}, "+1.5\r\n"},
                      EchoCase{"LoneCrEchoToo", "PV\r", {"\rPV\r+1.5\r\n"}, "+1.5\r\n"},
                      EchoCase{"EchoCutAnywhere", "PV\r", {"\r", "P", "V\r+", "1.5\r\n"}, "+1.5\r\n"},
                      EchoCase{"AnswerSharingTheEchosStart", "PV\r", {"P", "1\r\n"}, "P1\r\n"},
                      EchoCase{"HalfAnEchoThenSilence", "PV\r", {"PV"}, "PV"},
                      EchoCase{"EmptyCommand", "\r", {"\r\r5\r\n"}, "5\r\n"},
                      EchoCase{"EmptyCommandWithoutTheLoneCrsEcho", "\r", {"\r5\r\n"}, "5\r\n"},
                      EchoCase{"NothingSentNothingHeld", "", {"\r5"}, "\r5"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kivocom
