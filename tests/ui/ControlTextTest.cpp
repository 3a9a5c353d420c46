// Reading numbers out of control texts: the dialog manager's integer rule,
// the range statuses and the "?" decimal rule.
#include <gtest/gtest.h>

#include "ui/ControlText.h"

namespace {

using namespace ui;

TEST(ControlText, IntegerInRangeStatuses) {
  struct Case { const char* text; RangedInteger expected; };
  const Case cases[] = {
      {"5", {RangeStatus::InRange, 5}},         {" 255 ", {RangeStatus::InRange, 255}},
      {"1", {RangeStatus::InRange, 1}},         {"256", {RangeStatus::OutOfRange, 256}},
      {"0", {RangeStatus::OutOfRange, 0}},      {"-3", {RangeStatus::OutOfRange, -3}},
      {"", {RangeStatus::NotANumber, 0}},       {"abc", {RangeStatus::NotANumber, 0}},
      {"12x", {RangeStatus::NotANumber, 0}},    {"-", {RangeStatus::NotANumber, 0}},
      {"99999999999", {RangeStatus::NotANumber, 0}},
      {"2147483647", {RangeStatus::OutOfRange, 2147483647}},
      {"-2147483648", {RangeStatus::OutOfRange, -2147483647 - 1}},
      {"2147483648", {RangeStatus::NotANumber, 0}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseIntegerInRange(c.text, 1, 255), c.expected) << '"' << c.text << '"';
}

TEST(ControlText, DecimalReadsTheLeadingNumberAndQuestionMarkIsZero) {
  struct Case { const char* text; double expected; };
  const Case cases[] = {
      {"256.000000", 256.0}, {"?256", 0.0},    {"?", 0.0},       {" 96", 96.0},     {"+1.5e2", 150.0},
      {"-0.25", -0.25},      {"12abc", 12.0},  {".5", 0.5},      {"5.", 5.0},       {"", 0.0},
      {"abc", 0.0},          {"inf", 0.0},     {"nan", 0.0},     {"0x10", 0.0},     {"1e", 1.0},
      {"1e999", 0.0},        {" ?5", 0.0},
  };
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(ParseDialogDecimal(c.text), c.expected) << '"' << c.text << '"';
}

}  // namespace
