// The keep list and its remembered text: what a stored text parses to, and
// what a list serialises to.
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
    bool remembered, all;
    Entries entries;
  };
  const Case cases[] = {
      {"", false, false, {}},
      {"ALL,", true, true, {"ALL"}},
      {"ALL", true, true, {"ALL"}},                  // the comma is supplied first
      {"all,", true, false, {}},                     // case matters; a 3-letter piece is dropped
      {"ALL,ALL,", true, false, {}},
      {"gAMA,sRGB", true, false, {"gAMA", "sRGB"}},
      {"gAMA,,sRGB,", true, false, {"gAMA", "sRGB"}},
      {"gAMAx,sRGB,", true, false, {"sRGB"}},
      {"gAMA ,sRGB", true, false, {"sRGB"}},
      {",,,", true, false, {}},
      {"tEXt,tEXt,a bc,", true, false, {"tEXt", "tEXt", "a bc"}},  // duplicates and spaces stay
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    KeepList list = ListOf({"stale"});
    EXPECT_EQ(list.Parse(c.text), c.remembered);
    EXPECT_EQ(list.IsAll(), c.all);
    EXPECT_EQ(list.Entries(), c.entries);
  }
}

TEST(KeepList, SerialisesAndRoundTrips) {
  EXPECT_EQ(KeepList().Serialize(), "");
  KeepList all = ListOf({"gAMA"});
  all.SetAll();
  EXPECT_EQ(all.Entries(), Entries{"ALL"});
  EXPECT_EQ(all.Serialize(), "ALL,");
  KeepList read = ListOf({"gAMA"});
  ASSERT_TRUE(read.Parse(all.Serialize()));
  EXPECT_EQ(read, all);

  const KeepList written = ListOf({"iCCP", "gAMA", "vpAg,gIFx"});  // the private-chunk text is one entry
  EXPECT_EQ(written.Serialize(), "iCCP,gAMA,vpAg,gIFx,");
  ASSERT_TRUE(read.Parse(written.Serialize()));
  EXPECT_EQ(read.Entries(), (Entries{"iCCP", "gAMA", "vpAg", "gIFx"}));

  KeepList mixed = ListOf({"ALL", "gAMA"});
  EXPECT_FALSE(mixed.IsAll()) << "keep-all is exactly one entry";
  EXPECT_EQ(mixed.First(), "ALL");
  mixed.Clear();
  EXPECT_TRUE(mixed.IsEmpty());
  EXPECT_EQ(mixed.First(), "");
}

}  // namespace
