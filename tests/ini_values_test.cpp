// SPDX-License-Identifier: MIT
// The text form of Booleans and integers: written one way, read tolerantly, never misread.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <ostream>

#include "kivoini/kivo_ini_values.h"

namespace kivocom {
namespace {

struct BooleanRow {
  const char* text;
  std::optional<bool> expected;
};
void PrintTo(const BooleanRow& row, std::ostream* os) { *os << '"' << row.text << '"'; }

class ParseIniBooleanTest : public ::testing::TestWithParam<BooleanRow> {};

TEST_P(ParseIniBooleanTest, ReadsTolerantlyButNeverGuesses) {
  EXPECT_EQ(ParseIniBoolean(GetParam().text), GetParam().expected) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(Table, ParseIniBooleanTest,
                         ::testing::Values(BooleanRow{"True", true}, BooleanRow{"TRUE", true},
                                           BooleanRow{"tRuE", true}, BooleanRow{"-1", true},
                                           BooleanRow{"1", true}, BooleanRow{"+1", true},
                                           BooleanRow{"False", false}, BooleanRow{"false", false},
                                           BooleanRow{"0", false}, BooleanRow{"-0", false},
                                           BooleanRow{"2", std::nullopt}, BooleanRow{"-2", std::nullopt},
                                           BooleanRow{"yes", std::nullopt}, BooleanRow{"", std::nullopt},
                                           BooleanRow{"Truex", std::nullopt}, BooleanRow{"1.0", std::nullopt}));

struct IntegerRow {
  const char* text;
  std::optional<int64_t> expected;  // as a 16-bit integer
};
void PrintTo(const IntegerRow& row, std::ostream* os) { *os << '"' << row.text << '"'; }

class ParseIniIntegerTest : public ::testing::TestWithParam<IntegerRow> {};

TEST_P(ParseIniIntegerTest, DecimalInRangeOrNothing) {
  EXPECT_EQ(ParseIniInteger(GetParam().text, INT16_MIN, INT16_MAX), GetParam().expected)
      << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(Table, ParseIniIntegerTest,
                         ::testing::Values(IntegerRow{"0", 0}, IntegerRow{"-1", -1}, IntegerRow{"+5", 5},
                                           IntegerRow{"007", 7}, IntegerRow{"32767", 32767},
                                           IntegerRow{"-32768", -32768}, IntegerRow{"32768", std::nullopt},
                                           IntegerRow{"-32769", std::nullopt},
                                           IntegerRow{"99999999999999999999999", std::nullopt},
                                           IntegerRow{"", std::nullopt}, IntegerRow{"-", std::nullopt},
                                           IntegerRow{"+", std::nullopt}, IntegerRow{"+-5", std::nullopt},
                                           IntegerRow{"--5", std::nullopt}, IntegerRow{"5 ", std::nullopt},
                                           IntegerRow{"0x10", std::nullopt}, IntegerRow{"1e3", std::nullopt},
                                           IntegerRow{"3000 ms", std::nullopt}));

TEST(FormatIniBooleanTest, WritesTrueAndFalse) {
  EXPECT_EQ(FormatIniBoolean(true), "True");
  EXPECT_EQ(FormatIniBoolean(false), "False");
}

}  // namespace
}  // namespace kivocom
