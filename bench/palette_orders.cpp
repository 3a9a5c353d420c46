// What the palette orders of the search gain on palette images.
//
// For every PNG the engine writes as a palette image: the smallest full
// result (filter None or the greedy row choice) with the engine's order by
// use, and with each order of the search kept through pal and keeppal.
// Totals: the orders' best against by-use alone, and each order's total when
// it may fall back to by-use.
//
// Usage: palette_orders [--write-results | --out FILE] PNG...

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "EngineJob.h"
#include "PngLoader.h"
#include "ResultsFile.h"
#include "cli/search/FilterSearch.h"
#include "cli/search/PaletteOrders.h"
#include "engine/RowFilterEntry.h"

namespace {

EncodeJob MakeJob(bench::Pixels& px, const std::vector<uint32_t>* pal) {
  EncodeJob job = bench::DefaultJob(px);
  if (pal) {
    job.pal = const_cast<uint32_t*>(pal->data());
    job.palcount = int(pal->size());
    job.keeppal = 1;
  }
  return job;
}

long SmallestFile(EngineContext& ctx, bench::Pixels& px, const std::vector<uint32_t>* pal) {
  const UnfilteredRows rows = bench::AnalysedRows(ctx, MakeJob(px, pal));
  long best = -1;
  for (search::FilterStrategy s : {search::FilterStrategy::None, search::FilterStrategy::Greedy}) {
    const std::vector<uint8_t> filters = search::ChooseRowFilters(rows, s);
    EncodeJob job = MakeJob(px, pal);
    const long size = OptimizePngWithRowFilters(ctx, &job, filters.data());
    FreeEncodeBuffer(job.kbuf);
    if (size != kEncodeFailed && (best < 0 || size < best)) best = size;
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  bench::ResultsFile resultsFile;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    if (!resultsFile.TakeOption(argc, argv, i)) {
      files.push_back(argv[i]);
    }
  }
  std::string text = "file | by use | luminance | chain | first use\n";
  long byUseTotal = 0, bestTotal = 0, orderTotal[3] = {};
  int count = 0, improved = 0;
  EngineContext ctx;
  for (const std::string& path : files) {
    bench::Pixels px;
    if (!bench::LoadPng(path, px)) continue;
    const EncodeJob analysis = bench::Analysed(ctx, MakeJob(px, nullptr));
    if (analysis.outcolortype != 3) continue;
    const std::vector<uint32_t> byUse(analysis.outpal, analysis.outpal + analysis.outpalcount);
    const long base = SmallestFile(ctx, px, nullptr);
    long best = base;
    char line[256];
    int at = std::snprintf(line, sizeof line, "%s | %ld", std::filesystem::path(path).filename().c_str(), base);
    for (size_t k = 0; k < std::size(search::kAllPaletteOrders); ++k) {
      const std::vector<uint32_t> ordered =
          search::OrderPalette(byUse, search::kAllPaletteOrders[k], px.words.data(), px.words.size());
      const long size = SmallestFile(ctx, px, &ordered);
      orderTotal[k] += std::min(size, base);
      best = std::min(best, size);
      at += std::snprintf(line + at, sizeof line - size_t(at), " | %ld", size);
    }
    text += std::string(line) + "\n";
    byUseTotal += base;
    bestTotal += best;
    ++count;
    improved += best < base;
  }
  char summary[512];
  std::snprintf(summary, sizeof summary,
                "\npalette images %d, smaller with some order %d\n"
                "by use %ld, best of all orders %ld (%+.2f %%)\n"
                "by use or luminance %ld, or chain %ld, or first use %ld\n",
                count, improved, byUseTotal, bestTotal,
                byUseTotal ? 100.0 * double(bestTotal - byUseTotal) / double(byUseTotal) : 0.0, orderTotal[0],
                orderTotal[1], orderTotal[2]);
  text += summary;
  std::fputs(text.c_str(), stdout);
  if (!resultsFile.Write(text, "palette_orders.txt")) return 1;
  return 0;
}
