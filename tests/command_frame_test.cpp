// SPDX-License-Identifier: MIT
// Command framing per controller style, as it goes on the line.
#include <gtest/gtest.h>

#include "comport/command_frame.h"

namespace kivocom {
namespace {

struct FrameCase {
  const char* name;
  EControllerStyle style;
  std::string cmd, address, setStr;
  std::string line;  // bytes on the line, before the final CR
};

// Shows a row by its name in test listings.
void PrintTo(const FrameCase& row, std::ostream* os) { *os << row.name; }

class CommandFrameTest : public ::testing::TestWithParam<FrameCase> {};

TEST_P(CommandFrameTest, FramesTheCommand) {
  const FrameCase& c = GetParam();
  EXPECT_EQ(LineText(FrameCommand(c.style, c.cmd, c.address, c.setStr)), c.line);
}

INSTANTIATE_TEST_SUITE_P(
    Styles, CommandFrameTest,
    ::testing::Values(
        FrameCase{"KivoUnchanged", CS_KIVO, "PV", "01", "9", "PV"},
        FrameCase{"KivoTrimmed", CS_KIVO, " PV ", "", "", "PV"},
        FrameCase{"AzonixUnchanged", CS_AZONIX, "RD1", "", "", "RD1"},
        FrameCase{"XsysUnchanged", CS_XSYS, "M?", "", "", "M?"},
        FrameCase{"OmegaPoll", CS_OMEGA, "PV", "01", "", "\x04" "0011PV\x05"},
        FrameCase{"OmegaSet", CS_OMEGA, "SL", "01", "100.0", "\x04" "0011\x02SL100.0\x03\x33"},
        FrameCase{"OmegaOneCharAddress", CS_OMEGA, "PV", "5", "", "\x04" "55PV\x05"},
        FrameCase{"OmegaLongAddress", CS_OMEGA, "PV", "123", "", "\x04" "1122PV\x05"},
        FrameCase{"OmegaNoAddressPoll", CS_OMEGA, "PV", "", "", "\x04PV\x05"},
        FrameCase{"OmegaNoAddressSet", CS_OMEGA, "S", "", "1", std::string("\x04\x02S1\x03", 5) + char(0x53 ^ 0x31 ^ 0x03)},
        // 'A' ^ 'b' ^ ETX is 0x20: the block check is a blank and must stay on the line.
        FrameCase{"OmegaBlankBlockCheckKept", CS_OMEGA, "A", "01", "b", "\x04" "0011\x02" "Ab\x03 "},
        FrameCase{"UnknownStyleEmpty", static_cast<EControllerStyle>(9), "PV", "", "", ""}),
    [](const auto& info) { return info.param.name; });

TEST(CommandFrame, TracedTextIsUntrimmed) {
  EXPECT_EQ(FrameCommand(CS_KIVO, " PV ", "", "").text, " PV ");
}

}  // namespace
}  // namespace kivocom
