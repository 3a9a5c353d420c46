#include <gtest/gtest.h>

#include "chunks/ChunkBytesForTests.h"
#include "common/VELKORPSUI/KeepChunksRules.h"
#include "common/VELKORPSUI/OptionsRules.h"
#include "common/VELKORPSUI/RunOptionsDialog.h"
#include "common/pngchunks/ChunkBytes.h"
#include "dialogs/DialogFixture.h"
#include "platform/MessageBox.h"

using namespace dialogtest;
using chunktest::Bytes;
using chunktest::RawChunk;
using chunktest::TypeOf;

namespace {

struct Source {
  const char* type;
  Bytes data;
  int group;
};

// A save whose job carries the given source chunks, as the write path hands
// it to the options step (the chunk array allocated like the write path's).
struct KeepRun : Fixture {
  std::vector<uint32_t> pixels = std::vector<uint32_t>(16, 0xFF336699);
  std::vector<uint32_t> palette = std::vector<uint32_t>(256, 0);
  std::vector<Bytes> blocks;
  EncodeJob job = JobFor(pixels, 4, 4);
  int maxPasses = 0;
  uint8_t colorType = 2, bitDepth = 8;
  platform::RecordedMessageBoxes boxes;
  platform::ScopedMessageBoxSink sink{boxes};

  explicit KeepRun(std::vector<Source> chunks) {
    for (const Source& s : chunks) blocks.push_back(RawChunk(s.type, s.data));
    job.chunks = chunks::AllocateChunkArray(blocks.size() + 1);
    int counts[3] = {0, 0, 0};
    for (int g = 0; g < 3; ++g) {
      for (size_t i = 0; i < chunks.size(); ++i) {
        if (chunks[i].group != g) continue;
        job.chunks[job.chunkcount++] = blocks[i].data();
        ++counts[g];
      }
    }
    job.chunkmid = counts[0];
    job.chunkpost = counts[0] + counts[1];
    job.pal = palette.data();
  }
  ~KeepRun() {
    // Blocks a dialog flattened belong to the save; the test's own blocks
    // are vectors.
    if (job.chunks != nullptr && job.chunkcount > 0 && !IsSourceBlock(job.chunks[0])) {
      chunks::FreeChunkBytes(job.chunks[0]);
    }
    chunks::FreeChunkArray(job.chunks);
  }
  bool IsSourceBlock(const uint8_t* p) const {
    for (const Bytes& b : blocks) {
      if (b.data() == p) return true;
    }
    return false;
  }

  bool Run(std::vector<Action> actions) {
    return Drive(std::move(actions), [&] { return RunOptionsDialog(services, job, colorType, bitDepth, &maxPasses); });
  }
  std::vector<std::string> KeptTypes() const {
    std::vector<std::string> types;
    for (int i = 0; i < job.chunkcount; ++i) types.push_back(TypeOf(job.chunks[i]));
    return types;
  }
};

const std::vector<Source> kTextAndPrivate = {{"pHYs", {0, 0, 11, 19, 0, 0, 11, 19, 1}, 0},
                                             {"tEXt", chunktest::Text("Title\0Sunset"), 2},
                                             {"zTXt", chunktest::Text("Note\0\0x"), 2},
                                             {"vpAg", {0, 0, 0, 4, 0, 0, 0, 4, 0}, 2}};

// Row ticks of the list, "type+" ticked or "type-".
std::vector<std::string> Rows(HeadlessWindow& w) {
  std::vector<std::string> rows;
  for (const ui::headless::ListRow& row : w.Find(kIdChunkRows)->rows) {
    rows.push_back(row.cells.at(0) + (row.checked ? "+" : "-"));
  }
  return rows;
}

Action ExpectRows(std::vector<std::string> rows) {
  return [rows](HeadlessToolkit&, HeadlessWindow& w) { EXPECT_EQ(Rows(w), rows); };
}
Action ExpectOpen(int resource) {
  return [resource](HeadlessToolkit&, HeadlessWindow& w) { EXPECT_EQ(w.source->id, resource); };
}

}  // namespace

TEST(KeepChunksDialog, ShowsOneRowPerChunkNothingKeptAtFirst) {
  KeepRun run(kTextAndPrivate);
  EXPECT_TRUE(run.Run({Click(kIdKeepChunks), ExpectOpen(kKeepChunksDialogTemplate),
                       ExpectRows({"pHYs-", "tEXt-", "zTXt-", "vpAg-"}),
                       [](HeadlessToolkit& t, HeadlessWindow& w) {
                         const auto* list = w.Find(kIdChunkRows);
                         EXPECT_EQ(list->columns, (std::vector<std::string>{"Chunk", "Length", "Contents"}));
                         EXPECT_EQ(list->columnRight, (std::vector<bool>{false, true, false}));
                         EXPECT_EQ(list->rows[0].cells, (std::vector<std::string>{
                                                            "pHYs", "9", "2835x2835 pixels per meter (72.0x72.0 dpi)"}));
                         EXPECT_EQ(list->rows[1].cells[2], "Title=Sunset");
                         EXPECT_EQ(list->rows[3].cells[2], "ImageMagick: virtual page width/height");
                         EXPECT_EQ(w.Find(kIdKeepNone)->check, ui::ButtonState::Checked);
                         for (const ChunkTypeBox& box : kChunkTypeBoxes) EXPECT_FALSE(w.Find(box.id)->enabled);
                         EXPECT_FALSE(w.Find(kIdSwatch)->enabled);
                         EXPECT_EQ(t.TooltipText(&w, kIdPrivateText), "Example:  vpAg,gIFx");
                         EXPECT_EQ(t.TooltipText(&w, kIdKeepNone),
                                   "This option will remove all ancillary chunks from the output file.");
                       },
                       Click(ui::kIdOk), Click(ui::kIdOk)}));
  EXPECT_EQ(run.KeptTypes(), std::vector<std::string>{}) << "no pHYs unless kept";
}

TEST(KeepChunksDialog, KeepAllThenCustomByTypeAndPrivateTypes) {
  KeepRun run(kTextAndPrivate);
  EXPECT_TRUE(run.Run({Click(kIdKeepChunks), Click(kIdKeepAll), ExpectRows({"pHYs+", "tEXt+", "zTXt+", "vpAg+"}),
                       [](HeadlessToolkit&, HeadlessWindow& w) {
                         for (const ChunkTypeBox& box : kChunkTypeBoxes) {
                           EXPECT_EQ(w.Find(box.id)->check, ui::ButtonState::Checked) << box.id;
                         }
                         EXPECT_EQ(w.Find(kIdPrivate)->check, ui::ButtonState::Checked);
                       },
                       Click(kIdKeepNone), Click(kIdKeepCustom), ExpectRows({"pHYs-", "tEXt-", "zTXt-", "vpAg-"}),
                       Click(1089), ExpectRows({"pHYs-", "tEXt+", "zTXt-", "vpAg-"}), Type(kIdPrivateText, "vpAg,gIFx"),
                       Click(kIdPrivate), ExpectRows({"pHYs-", "tEXt+", "zTXt-", "vpAg+"}), Click(ui::kIdOk),
                       Click(ui::kIdOk)}));
  EXPECT_EQ(run.KeptTypes(), (std::vector<std::string>{"tEXt", "vpAg"}));
  EXPECT_EQ((std::vector<int>{run.job.chunkpre, run.job.chunkmid, run.job.chunkpost, run.job.chunkcount}),
            (std::vector<int>{0, 0, 0, 2}));
}

TEST(KeepChunksDialog, AMalformedPrivateTextBlocksOkAndRemember) {
  KeepRun run(kTextAndPrivate);
  const auto expectError = [&](HeadlessToolkit&, HeadlessWindow& w) {
    ASSERT_TRUE(run.boxes.Last().has_value());
    EXPECT_EQ(run.boxes.Last()->text, "Error in Chunk String.\nFormat is cHNK,cHNK.");
    EXPECT_EQ(run.boxes.Last()->title, "Error in Chunk String");
    EXPECT_EQ(w.focusedId, kIdPrivateText);
    run.boxes.Clear();
  };
  EXPECT_FALSE(run.Run({Click(kIdKeepChunks), Click(kIdKeepCustom), Type(kIdPrivateText, "vpAgX"), Click(kIdPrivate),
                        expectError, ExpectRows({"pHYs-", "tEXt-", "zTXt-", "vpAg-"}), Click(ui::kIdOk), expectError,
                        ExpectOpen(kKeepChunksDialogTemplate), Click(kIdRemember), expectError,
                        Click(ui::kIdCancel), ExpectOpen(kSimpleDialogTemplate), Click(kIdCancelOrReset)}));
  KeepList stored;
  EXPECT_FALSE(run.store.ReadKeepList(stored));
}

TEST(KeepChunksDialog, RememberAndResetCustomTypes) {
  KeepRun run({{"gAMA", {0, 0, 0xB1, 0x8F}, 0}, {"vpAg", {0, 0, 0, 4, 0, 0, 0, 4, 0}, 2}, {"tEXt", {'a', 0}, 2}});
  EXPECT_FALSE(run.Run({Click(kIdKeepChunks), Click(kIdKeepCustom), Click(1082), Type(kIdPrivateText, "vpAg"),
                       Click(kIdPrivate), Click(kIdRemember), Click(kIdKeepNone), Click(kIdReset),
                       ExpectRows({"gAMA+", "vpAg+", "tEXt-"}),
                       [](HeadlessToolkit&, HeadlessWindow& w) {
                         EXPECT_EQ(w.Find(kIdKeepCustom)->check, ui::ButtonState::Checked);
                         EXPECT_EQ(w.Find(1082)->check, ui::ButtonState::Checked);
                         EXPECT_EQ(w.Find(kIdPrivate)->check, ui::ButtonState::Checked);
                         EXPECT_EQ(w.Find(kIdPrivateText)->text, "vpAg");
                       },
                       Click(ui::kIdCancel), Click(kIdCancelOrReset)}));
  EXPECT_EQ(run.backend.Read(SettingsRoot::CurrentUser, kKeepChunksValue)->data,
            (std::vector<uint8_t>{'g', 'A', 'M', 'A', ',', 'v', 'p', 'A', 'g', ',', 0}));
  // The next save starts from the remembered list.
  EXPECT_TRUE(run.Run({Click(kIdKeepChunks), ExpectRows({"gAMA+", "vpAg+", "tEXt-"}), Click(ui::kIdOk),
                       Click(ui::kIdOk)}));
  EXPECT_EQ(run.KeptTypes(), (std::vector<std::string>{"gAMA", "vpAg"}));
}

TEST(KeepChunksDialog, PickingABackgroundReplacesAPaletteBkgd) {
  KeepRun run({{"bKGD", {1}, 1}, {"tIME", {7, 0xEA, 1, 2, 3, 4, 5}, 2}});
  run.colorType = 3;
  run.job.palcount = 2;
  run.palette[1] = 0xFF112233;
  run.colors.answer = {10, 20, 30, 0};
  EXPECT_TRUE(run.Run({Click(kIdKeepChunks),
                       [](HeadlessToolkit&, HeadlessWindow& w) {
                         EXPECT_EQ(w.Find(kIdChunkRows)->rows[0].cells[2], "Background = Palette index 1");
                         EXPECT_EQ(w.Find(kIdSwatch)->swatch, 0xFF112233u);
                       },
                       Click(kIdKeepCustom), Click(kIdSwatch),
                       [](HeadlessToolkit&, HeadlessWindow& w) {
                         EXPECT_EQ(Rows(w), (std::vector<std::string>{"bKGD+", "tIME-"}));
                         EXPECT_EQ(w.Find(kIdChunkRows)->rows[0].cells[2], "Background = r(10), g(20), b(30)");
                         EXPECT_EQ(w.Find(kIdSwatch)->swatch, 0xFF0A141Eu);
                       },
                       Click(ui::kIdOk), Click(ui::kIdOk)}));
  EXPECT_EQ(run.colors.prompts, std::vector<std::string>{"Choose Background Color (bKGD)"});
  EXPECT_EQ(run.colors.askedSpaces, std::vector<int>{0});
  EXPECT_EQ(run.colors.startColours[0], (ColorServices::Components{0x11, 0x22, 0x33, 0}));
  EXPECT_EQ(run.job.bkgd, 0xFF0A141Eu);
  ASSERT_EQ(run.job.chunkcount, 1);
  const uint8_t* kept = run.job.chunks[0];
  EXPECT_EQ(Bytes(kept, kept + 18), RawChunk("bKGD", {0, 10, 0, 20, 0, 30}));
  EXPECT_EQ(run.blocks[0], RawChunk("bKGD", {1})) << "the source chunk stays as it was";
}

TEST(KeepChunksDialog, BackgroundRules) {
  struct Case { const char* name; bool grey; bool services; std::vector<Action> actions; uint32_t bkgd;
                std::vector<int> askedSpaces; };
  std::vector<Case> cases;
  cases.push_back({"unticked bKGD row", false, true,
                   {Click(kIdKeepChunks), Click(kIdKeepAll), ExpectRows({"bKGD+"}), Click(kIdClearAll),
                    Click(ui::kIdOk), Click(ui::kIdOk)}, 0, {}});
  cases.push_back({"kept bKGD row", false, true,
                   {Click(kIdKeepChunks), Click(kIdKeepAll), Click(ui::kIdOk), Click(ui::kIdOk)}, 0xFF808080, {}});
  cases.push_back({"grey picker", true, true,
                   {Click(kIdKeepChunks), Click(kIdKeepCustom), Click(kIdSwatch), Click(ui::kIdOk), Click(ui::kIdOk)},
                   0xFF4D4D4D, {4}});
  cases.push_back({"no colour services", false, false,
                   {Click(kIdKeepChunks), Click(kIdKeepCustom), Click(kIdSwatch), ExpectRows({"bKGD-"}),
                    Click(ui::kIdOk), Click(ui::kIdOk)}, 0, {}});
  for (Case& c : cases) {
    KeepRun run({{"bKGD", {0, 0x80}, 1}});
    run.colorType = 0;
    if (c.grey) std::fill(run.pixels.begin(), run.pixels.end(), 0xFF404040);
    if (!c.services) run.services.colors = nullptr;
    run.colors.answerSpace = ColorServices::kGreySpace;
    run.colors.answer = {0x4D, 0, 0, 0};
    EXPECT_TRUE(run.Run(std::move(c.actions))) << c.name;
    EXPECT_EQ(run.job.bkgd, c.bkgd) << c.name;
    EXPECT_EQ(run.colors.askedSpaces, c.askedSpaces) << c.name;
  }
}

TEST(KeepChunksDialog, APickWithoutBkgdMakesAWhiteOneFirst) {
  KeepRun run({{"gAMA", {0, 0, 0xB1, 0x8F}, 0}});
  run.colors.accept = false;
  EXPECT_TRUE(run.Run({Click(kIdKeepChunks), Click(kIdKeepCustom), Click(kIdSwatch),
                       [](HeadlessToolkit&, HeadlessWindow& w) {
                         EXPECT_EQ(Rows(w), (std::vector<std::string>{"gAMA-", "bKGD-"}));
                         EXPECT_EQ(w.Find(kIdChunkRows)->rows[1].cells[2], "Background = r(255), g(255), b(255)");
                       },
                       Click(ui::kIdOk), Click(ui::kIdOk)}));
  EXPECT_EQ(run.colors.startColours.at(0), (ColorServices::Components{255, 255, 255, 0}));
  EXPECT_EQ(run.job.bkgd, 0u);
  EXPECT_EQ(run.job.chunkcount, 0);
}
