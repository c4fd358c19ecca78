// SPDX-License-Identifier: MIT
// The settings-file text: finding values and editing one value without touching other bytes.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "kivoini/kivo_ini_document.h"
#include "kivoini/kivo_ini_values.h"

namespace kivocom {
namespace {

using namespace std::string_literals;

struct FindRow {
  const char* name;
  std::string text;
  const char* section;
  const char* key;
  std::optional<std::string> expected;
};
void PrintTo(const FindRow& row, std::ostream* os) { *os << '"' << row.name << '"'; }

class FindIniValueTest : public ::testing::TestWithParam<FindRow> {};

TEST_P(FindIniValueTest, FindsTheFirstEntryOfTheKeyInTheSection) {
  const FindRow& row = GetParam();
  const auto found = FindIniValue(row.text, row.section, row.key);
  ASSERT_EQ(found.has_value(), row.expected.has_value());
  if (found) {
    EXPECT_EQ(std::string(*found), *row.expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, FindIniValueTest,
    ::testing::Values(
        FindRow{"Plain", "[A]\nk=v\n", "A", "k", "v"},
        FindRow{"NamesIgnoreCase", "[CoMpOrT]\nPORT=3\n", "comport", "Port", "3"},
        FindRow{"BlanksAroundNamesAndValuesIgnored", "  [ A ]\t\n \tk  =  v w \t\n", " A", "k ", "v w"},
        FindRow{"CrLfLineEnds", "[A]\r\nk=v\r\n", "A", "k", "v"},
        FindRow{"KeyOfAnotherSection", "[A]\nx=1\n[B]\nk=2\n", "A", "k", std::nullopt},
        FindRow{"KeyBeforeAnyHeader", "k=1\n[A]\n", "A", "k", std::nullopt},
        FindRow{"CommentLinesAreNotEntries", "[A]\n;k=1\n  #k=2\nk=3", "A", "k", "3"},
        FindRow{"FirstEntryWins", "[A]\nk=1\nk=2\n", "A", "k", "1"},
        FindRow{"RepeatedSectionIsSearchedToo", "[A]\nk=1\n[B]\n[a]\nk=2\nj=5\n", "A", "j", "5"},
        FindRow{"HeaderWithoutBracketIsNoHeader", "[A]\n[B\nk=1\n", "A", "k", "1"},
        FindRow{"TextAfterHeaderIgnored", "[A] ; the port\nk=1\n", "A", "k", "1"},
        FindRow{"ValueHoldingEquals", "[A]\nk=a=b\n", "A", "k", "a=b"},
        FindRow{"NoInlineComments", "[A]\nk=3 ; COM3\n", "A", "k", "3 ; COM3"},
        FindRow{"ByteOrderMarkSkipped", "\xEF\xBB\xBF[A]\nk=1\n", "A", "k", "1"},
        FindRow{"BinaryLinesAroundAreHarmless", "\xff\xfe\0\0garbage\n[A]\n\0=\0\nk=1\n"s, "A", "k", "1"},
        FindRow{"EmptyText", "", "A", "k", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

struct SetRow {
  const char* name;
  std::string before;
  const char* section;
  const char* key;
  const char* value;
  std::string after;
};
void PrintTo(const SetRow& row, std::ostream* os) { *os << '"' << row.name << '"'; }

class SetIniValueTest : public ::testing::TestWithParam<SetRow> {};

TEST_P(SetIniValueTest, ChangesOnlyTheOneValue) {
  const SetRow& row = GetParam();
  const std::string after = SetIniValue(row.before, row.section, row.key, row.value);
  EXPECT_EQ(after, row.after);
  EXPECT_EQ(FindIniValue(after, row.section, row.key), TrimIniBlanks(row.value));
}

INSTANTIATE_TEST_SUITE_P(
    Table, SetIniValueTest,
    ::testing::Values(
        SetRow{"ReplacesValueKeepingSpacingAndCrLf", "; mine\r\n[A]\r\nk = old value \t\r\n\r\n[B]\r\nk=1\r\n",
               "A", "k", "5", "; mine\r\n[A]\r\nk = 5 \t\r\n\r\n[B]\r\nk=1\r\n"},
        SetRow{"KeepsTheFilesSpellingOfNames", "[COMPORT]\nPORT=1\n", "ComPort", "Port", "2",
               "[COMPORT]\nPORT=2\n"},
        SetRow{"NewKeyAfterLastEntryBeforeBlankAndComment", "[A]\nx=1\n\n; about B\n[B]\ny=2\n", "A", "k", "5",
               "[A]\nx=1\nk=5\n\n; about B\n[B]\ny=2\n"},
        SetRow{"NewKeyTakesCrLf", "[A]\r\nx=1\r\n[B]\r\n", "A", "k", "5", "[A]\r\nx=1\r\nk=5\r\n[B]\r\n"},
        SetRow{"NewKeyAfterLastLineWithoutLineEnd", "[A]\nx=1", "A", "k", "5", "[A]\nx=1\nk=5"},
        SetRow{"NewKeyUnderBareHeader", "[A]\n", "A", "k", "5", "[A]\nk=5\n"},
        SetRow{"NewKeyGoesToTheFirstOfRepeatedSections", "[A]\nx=1\n[B]\n[A]\ny=2\n", "A", "k", "5",
               "[A]\nx=1\nk=5\n[B]\n[A]\ny=2\n"},
        SetRow{"ExistingKeyInRepeatedSectionChangedThere", "[A]\nx=1\n[A]\nk=2\n", "A", "k", "5",
               "[A]\nx=1\n[A]\nk=5\n"},
        SetRow{"NewSectionAtTheEnd", "[A]\nx=1\n", "B", "k", "5", "[A]\nx=1\n\n[B]\nk=5\n"},
        SetRow{"NewSectionAfterBlankLine", "[A]\nx=1\n\n", "B", "k", "5", "[A]\nx=1\n\n[B]\nk=5\n"},
        SetRow{"NewSectionFinishesLastLine", "[A]\r\nx=1", "B", "k", "5", "[A]\r\nx=1\r\n\r\n[B]\r\nk=5\r\n"},
        SetRow{"NewSectionInEmptyText", "", "COMPort - SmartSwitch", "k", "5", "[COMPort - SmartSwitch]\nk=5\n"},
        SetRow{"ByteOrderMarkKept", "\xEF\xBB\xBF[A]\n", "A", "k", "5", "\xEF\xBB\xBF[A]\nk=5\n"},
        SetRow{"ValueTrimmed", "", "A", "k", "  v w  ", "[A]\nk=v w\n"},
        SetRow{"EmptyValueFilled", "[A]\nk=\nj=2\n", "A", "k", "5", "[A]\nk=5\nj=2\n"},
        SetRow{"GarbageLinesKept", "[A]\n\xff\xfe garbage\nx=1\n", "A", "k", "5",
               "[A]\n\xff\xfe garbage\nx=1\nk=5\n"}),
    [](const auto& info) { return std::string(info.param.name); });

struct NameRow {
  const char* name;
  std::string text;
  bool usable;
};
void PrintTo(const NameRow& row, std::ostream* os) { *os << '"' << row.name << '"'; }

class SectionNameTest : public ::testing::TestWithParam<NameRow> {};
TEST_P(SectionNameTest, Checked) { EXPECT_EQ(IniSectionProblem(GetParam().text).empty(), GetParam().usable); }
INSTANTIATE_TEST_SUITE_P(Table, SectionNameTest,
                         ::testing::Values(NameRow{"Plain", "COMPort - SmartSwitch", true},
                                           NameRow{"Empty", "", false}, NameRow{"Blanks", " \t", false},
                                           NameRow{"ClosingBracket", "a]b", false},
                                           NameRow{"LineBreak", "a\nb", false}, NameRow{"Nul", "a\0b"s, false}),
                         [](const auto& info) { return std::string(info.param.name); });

class KeyNameTest : public ::testing::TestWithParam<NameRow> {};
TEST_P(KeyNameTest, Checked) { EXPECT_EQ(IniKeyProblem(GetParam().text).empty(), GetParam().usable); }
INSTANTIATE_TEST_SUITE_P(Table, KeyNameTest,
                         ::testing::Values(NameRow{"Plain", "UsesSmartSwitch", true}, NameRow{"Empty", "", false},
                                           NameRow{"Equals", "a=b", false}, NameRow{"Semicolon", " ;a", false},
                                           NameRow{"Hash", "#a", false}, NameRow{"Bracket", "[a", false},
                                           NameRow{"CarriageReturn", "a\rb", false},
                                           NameRow{"Nul", "a\0"s, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(IniValueProblemTest, OnlyLineBreaksAndNulAreRefused) {
  EXPECT_TRUE(IniValueProblem("a=b ; [c] #d").empty());
  EXPECT_FALSE(IniValueProblem("a\nb").empty());
  EXPECT_FALSE(IniValueProblem("a\r").empty());
  EXPECT_FALSE(IniValueProblem("\0"s).empty());
}

}  // namespace
}  // namespace kivocom
