// SPDX-License-Identifier: MIT
// The switch's model and port count in a settings section: the keys written, what reading
// assigns (also for missing keys), the messages, and who keeps the component.
#include <gtest/gtest.h>

#include <ostream>

#include "kivocom/kivocom.h"
#include "kivocom/kivo_ini_file.h"
#include "support/settings_fixture.h"

namespace kivocom {
namespace {

class SwitchSettingsTest : public SettingsFileTest {
 protected:
  CSmartSwitch sw;
};

TEST_F(SwitchSettingsTest, NewSwitchWritesItsModelAndPortCount) {
  sw.WriteToFile(none, path);
  EXPECT_EQ(ReadFileBytes(path), "[SmartSwitch]\nVersion=1.0\nNumPorts=8\nStyle=1\n");
  EXPECT_EQ(none, nullptr) << "the component made for the call is released";
  EXPECT_TRUE(messages->boxes.empty());
}

struct ReadRow {
  const char* name;
  const char* keys;
  int16_t numPorts;
  int32_t style;
  bool result;
};
void PrintTo(const ReadRow& row, std::ostream* os) { *os << '"' << row.name << '"'; }

class SwitchReadTest : public SwitchSettingsTest, public ::testing::WithParamInterface<ReadRow> {};

TEST_P(SwitchReadTest, AssignsNumPortsThenStyleThroughItsSetter) {
  const ReadRow& row = GetParam();
  WriteFileBytes(path, std::string("[SmartSwitch]\n") + row.keys);
  EXPECT_EQ(sw.ReadFromFile(none, path), row.result);
  EXPECT_EQ(sw.NumPorts(), row.numPorts);
  EXPECT_EQ(sw.Style(), row.style);
  EXPECT_EQ(messages->boxes.size(), row.result ? 0u : 1u);
  if (!row.result) {
    EXPECT_EQ(Prompt(), kMissingKeysPrompt);
    EXPECT_EQ(messages->boxes[0].flags, 0x40);
    EXPECT_EQ(messages->boxes[0].title, "Kivometrix");
  }
  EXPECT_EQ(none, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SwitchReadTest,
    ::testing::Values(ReadRow{"FourPortModelFixesTheCount", "NumPorts=6\nStyle=0\n", 4, SSS_BB4PORT, true},
                      ReadRow{"EightPortModelFixesTheCount", "NumPorts=6\nStyle=2\n", 8, SSS_BT528AP, true},
                      ReadRow{"UnknownModelKeepsTheStoredCount", "NumPorts=6\nStyle=5\n", 6, 5, true},
                      ReadRow{"MissingStyleGetsTheCountsValue", "NumPorts=6\n", 6, 6, false},
                      ReadRow{"MissingCountGetsZero", "Style=5\n", 0, 5, false},
                      ReadRow{"MissingSectionGivesTheFourPortModel", "", 4, SSS_BB4PORT, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SwitchSettingsTest, CallersComponentIsUsedAndKeptAndItsFileNameWins) {
  auto own = Component(path);
  std::shared_ptr<IniFile> ini = own;
  sw.Style(SSS_BB4PORT);
  sw.WriteToFile(ini, scratch.Path("ignored.ini"), "Probe");
  EXPECT_EQ(ini, own);
  EXPECT_EQ(own->Section(), "Probe");
  EXPECT_EQ(ReadFileBytes(path), "[Probe]\nVersion=1.0\nNumPorts=4\nStyle=0\n");
  CSmartSwitch other;
  EXPECT_TRUE(other.ReadFromFile(ini, scratch.Path("ignored.ini"), "probe"));
  EXPECT_EQ(other.Style(), SSS_BB4PORT);
  EXPECT_EQ(FolderListing(scratch.Folder()), "client.ini ");
}

TEST_F(SwitchSettingsTest, FailuresShowTheErrorBoxWithTheComponentsError) {
  sw.WriteToFile(none);  // no file name
  ASSERT_EQ(messages->boxes.size(), 1u);
  EXPECT_EQ(Prompt(0),
            "An error occurred while attempting to write settings.\r\rError: 52 - No settings file name was "
            "given.\r(KivoINIFile - FileName)");
  EXPECT_EQ(messages->boxes[0].flags, 0x10);
  EXPECT_EQ(none, nullptr);

  EXPECT_FALSE(sw.ReadFromFile(none, path, "no ] section"));
  EXPECT_EQ(Prompt(1),
            "An error occurred while attempting to read settings.\r\rError: 5 - Cannot use this in a settings "
            "file: the section name holds \"]\".\r(KivoINIFile - Section)");
  EXPECT_EQ(none, nullptr);
}

}  // namespace
}  // namespace kivocom
