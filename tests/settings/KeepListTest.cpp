#include "common/VELKORPSUI/KeepList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/settings/SettingsTestSupport.h"

namespace {

using namespace settings_test;

using Entries = std::vector<std::string>;

TEST(KeepList, ParsesRememberedText) {
  struct Case {
    const char* text;
    bool remembered;
    bool all;
    Entries entries;
  };
  const Case cases[] = {
      {"", false, false, {}},
      {"ALL,", true, true, {"ALL"}},
      {"ALL", true, true, {"ALL"}},                  // the comma is supplied first
      {"all,", true, false, {}},                     // case matters; a 3-letter piece is dropped
      {"All", true, false, {}},
      {"ALL,ALL,", true, false, {}},
      {"ALL,,", true, false, {}},
      {"gAMA,sRGB", true, false, {"gAMA", "sRGB"}},
      {"gAMA,,sRGB,", true, false, {"gAMA", "sRGB"}},
      {"gAMAx,sRGB,", true, false, {"sRGB"}},
      {",", true, false, {}},
      {",,,", true, false, {}},
      {"gAM,", true, false, {}},
      {"gAMA ,sRGB", true, false, {"sRGB"}},
      {"iCCP,gAMA,vpAg,gIFx,", true, false, {"iCCP", "gAMA", "vpAg", "gIFx"}},
      {"tEXt,tEXt,", true, false, {"tEXt", "tEXt"}},  // duplicates stay
      {"ALLx,", true, false, {"ALLx"}},
      {"a b,", true, false, {}},
      {"a bc,", true, false, {"a bc"}},
  };
  for (const auto& c : cases) {
    KeepList list = ListOf({"stale"});
    EXPECT_EQ(list.Parse(c.text), c.remembered) << '"' << c.text << '"';
    EXPECT_EQ(list.IsAll(), c.all) << '"' << c.text << '"';
    EXPECT_EQ(list.Entries(), c.entries) << '"' << c.text << '"';
  }
}

TEST(KeepList, SerialisesEachEntryWithAComma) {
  EXPECT_EQ(KeepList().Serialize(), "");
  KeepList all;
  all.SetAll();
  EXPECT_EQ(all.Serialize(), "ALL,");
  EXPECT_EQ(ListOf({"iCCP", "gAMA", "vpAg,gIFx"}).Serialize(), "iCCP,gAMA,vpAg,gIFx,");
  EXPECT_EQ(ListOf({"gAMA", "vpAg"}).Serialize(), "gAMA,vpAg,");
}

TEST(KeepList, PrivateStringComesBackAsSeparateTypes) {
  const KeepList written = ListOf({"iCCP", "gAMA", "vpAg,gIFx"});
  KeepList read;
  ASSERT_TRUE(read.Parse(written.Serialize()));
  EXPECT_EQ(read.Entries(), (Entries{"iCCP", "gAMA", "vpAg", "gIFx"}));
  EXPECT_EQ(read.Serialize(), written.Serialize());
}

TEST(KeepList, KeepAllRoundTrips) {
  KeepList all;
  all.SetAll();
  KeepList read = ListOf({"gAMA"});
  ASSERT_TRUE(read.Parse(all.Serialize()));
  EXPECT_TRUE(read.IsAll());
  EXPECT_EQ(read, all);
}

TEST(KeepList, Operations) {
  KeepList list;
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_EQ(list.Count(), 0u);
  EXPECT_EQ(list.First(), "");
  EXPECT_FALSE(list.IsAll());

  list.Append("ALL");
  EXPECT_TRUE(list.IsAll());
  list.Append("gAMA");
  EXPECT_FALSE(list.IsAll()) << "keep-all is exactly one entry";
  EXPECT_EQ(list.Count(), 2u);
  EXPECT_EQ(list.First(), "ALL");

  list.SetAll();
  EXPECT_EQ(list.Entries(), (Entries{"ALL"}));

  list.Clear();
  EXPECT_TRUE(list.IsEmpty());
  list.Append("sRGB");
  list.Append("gAMA");
  list.Append("sRGB");
  EXPECT_EQ(list.Entries(), (Entries{"sRGB", "gAMA", "sRGB"}));
  EXPECT_EQ(list.First(), "sRGB");
}

}  // namespace
