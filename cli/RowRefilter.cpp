#include "cli/RowRefilter.h"

#include <algorithm>

#include "cli/EffortLevels.h"
#include "cli/search/FilterSearch.h"
#include "cli/OptimalRedeflate.h"

namespace {

struct Proposal {
  search::FilterStrategy strategy;
  std::vector<uint8_t> filters;
  double bits = 0.0;
};

std::vector<Proposal> RankedProposals(const UnfilteredRows& rows, const EffortLevel& level) {
  std::vector<Proposal> proposals;
  std::vector<std::vector<uint8_t>> seeds;
  for (search::FilterStrategy s : search::kAllFilterStrategies) {
    if (s == search::FilterStrategy::Refined && level.filterSearch < 2) continue;
    // The genetic search starts from the others' answers, below.
    if (s == search::FilterStrategy::Evolved || s == search::FilterStrategy::Polished) continue;
    Proposal p{s, search::ChooseRowFilters(rows, s), 0.0};
    p.bits = search::ModelCost(rows, p.filters);
    seeds.push_back(p.filters);
    proposals.push_back(std::move(p));
  }
  if (level.filterSearch >= 4) {
    const search::EvolvedFilters e = search::EvolveFromSeeds(rows, seeds, EvolutionBudgetOf(level, rows.bytes.size(), 1));
    proposals.push_back({search::FilterStrategy::Evolved, e.filters, e.fitness});
  }
  std::stable_sort(proposals.begin(), proposals.end(),
                   [](const Proposal& a, const Proposal& b) { return a.bits < b.bits; });
  if (level.filterSearch >= 4) {
    // Measured by the optimal parser, not estimated: tried first.
    std::vector<std::vector<uint8_t>> starts;
    for (size_t i = 0; i < proposals.size() && i < 3; ++i) starts.push_back(proposals[i].filters);
    const search::PolishedFilters polished =
        search::PolishByDeflate(rows, starts, PolishBudgetOf(level, rows.bytes.size(), 1));
    if (polished.moves > 0) proposals.insert(proposals.begin(), {search::FilterStrategy::Polished, polished.filters, 0.0});
  }
  return proposals;
}

}  // namespace

bool RefilterRows(EngineContext& ctx, const ImageLayout& layout, const std::vector<uint8_t>& filtered,
                  const RunSettings& settings, const StopFlags& stop, RunProgress* progress, RefilteredRows& best) {
  best = RefilteredRows();
  UnfilteredRows rows;
  if (settings.rowSearchEffort < 0 || settings.rowSearchEffort >= kEffortLevelCount) return true;
  const EffortLevel& level = kEffortLevels[settings.rowSearchEffort];
  if (level.filterSearch == 0 || !UnfilteredImageRows(layout, filtered, rows)) return true;
  const int trials = FullTrials(level, rows.bytes.size());
  std::vector<const Proposal*> tried;
  const std::vector<Proposal> proposals = RankedProposals(rows, level);
  for (const Proposal& p : proposals) {
    if (int(tried.size()) >= trials) break;
    // Strategies often agree (one fixed filter wins every row).
    const bool same = std::any_of(tried.begin(), tried.end(), [&p](const Proposal* q) { return q->filters == p.filters; });
    if (same) continue;
    tried.push_back(&p);
    const std::vector<uint8_t> stream = search::FilteredStream(rows, p.filters);
    std::vector<uint8_t> zlib;
    if (settings.redeflateLevel > 0) {
      deflate::OptimalDeflate(stream.data(), stream.size(), OptimalSettingsOf(settings.redeflateLevel), zlib);
    } else if (!RunByteStream(ctx, stream.data(), stream.size(), rows.rowBytes + 1, settings, stop, progress, zlib)) {
      return false;
    }
    if (best.zlib.empty() || zlib.size() < best.zlib.size()) {
      best.zlib = std::move(zlib);
      best.strategy = search::FilterStrategyName(p.strategy);
    }
    if (stop.finishAfterPass) break;
  }
  return true;
}
