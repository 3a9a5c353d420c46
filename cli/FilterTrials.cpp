#include "cli/FilterTrials.h"

#include <algorithm>
#include <memory>
#include <thread>

#include "cli/RunPlan.h"
#include "cli/search/FilterSearch.h"
#include "cli/search/PaletteOrders.h"
#include "cli/search/ParallelFor.h"

namespace {

using search::FilterStrategy;

// Proposals deflated to find where the polishing moves start.
constexpr int kPolishStarts = 3;

// One colour alternative with its unfiltered rows.
struct Alternative {
  RunSettings settings;
  UnfilteredRows rows;
  int headerBytes = 0;  // what PLTE adds beside the image data
  int colortype = -1;   // as the engine settled it
  std::string name;
};

struct Proposal {
  size_t alternative = 0;
  FilterStrategy strategy = FilterStrategy::None;
  std::vector<uint8_t> filters;
  double bits = 0.0;
  int chainDepth = 0;  // of the cost model that chose the rows; 0: the level's
  // One of the top level's extra proposals (a variant or a member of the
  // genetic search's population), which polishing does not start from.
  bool extra = false;
};

// The extra proposals' greedy choices and refinements are made under these
// shallower cost models too (ExtraTrials).
constexpr int kVariantChainDepths[] = {32, 64, 128};

bool Analyse(EngineContext& ctx, const SourceImage& image, RunSettings settings, const StopFlags& stop,
             Alternative& out, RunResult* result = nullptr) {
  settings.analysisOnly = true;
  settings.wantRows = true;
  RunResult r = RunEngine(ctx, image.AsRunInput(settings.keeppal != 0), settings, stop, nullptr, false);
  if (!r.analysed) return false;
  out.rows = std::move(r.rows);
  out.headerBytes = r.outcolortype == 3 ? 3 * r.outpalcount : 0;
  out.colortype = r.outcolortype;
  if (result) *result = std::move(r);
  return true;
}

std::vector<FilterStrategy> StrategiesOf(const EffortLevel& level) {
  std::vector<FilterStrategy> list = {FilterStrategy::None,    FilterStrategy::Sub,    FilterStrategy::Up,
                                      FilterStrategy::Average, FilterStrategy::Paeth,  FilterStrategy::Entropy,
                                      FilterStrategy::MinSum,  FilterStrategy::Greedy};
  if (level.filterSearch >= 2) list.push_back(FilterStrategy::Refined);
  return list;
}

// The genetic search for the alternative of the best proposal so far,
// seeded with every proposal of that alternative; its answer joins the
// proposals.  Its fitness is the estimate the proposals are ranked by, so
// it ranks at least as well as its best seed.  Answers the new proposal's
// index, or -1.
int AddEvolvedProposal(const std::vector<Alternative>& alternatives, const EffortLevel& level, int threads,
                       bool extra, const StopFlags& stop, std::vector<Proposal>& proposals) {
  // The extra proposals neither seed the search nor choose its
  // alternative: they are more candidates for the optimal parser to judge,
  // and the search and the polishing stay as they are without them.
  const auto best = std::min_element(proposals.begin(), proposals.end(), [](const Proposal& a, const Proposal& b) {
    return std::make_pair(a.extra, a.bits) < std::make_pair(b.extra, b.bits);
  });
  const Alternative& alt = alternatives[best->alternative];
  std::vector<std::vector<uint8_t>> seeds;
  for (const Proposal& p : proposals) {
    if (p.alternative == best->alternative && !p.extra) seeds.push_back(p.filters);
  }
  search::EvolutionBudget budget = EvolutionBudgetOf(level, alt.rows.bytes.size(), threads);
  budget.stop = &stop.cancel;
  const search::EvolvedFilters evolved = search::EvolveFromSeeds(alt.rows, seeds, budget);
  if (stop.cancel || evolved.filters.empty()) return -1;
  const size_t alternative = best->alternative;
  proposals.push_back({alternative, FilterStrategy::Evolved, evolved.filters, evolved.fitness + 8.0 * alt.headerBytes});
  const int index = int(proposals.size()) - 1;
  // The rest of the last population: distinct vectors the model rates
  // next to the answer, which the optimal parser may well rank above it.
  if (extra) {
    for (size_t i = 1; i < evolved.population.size(); ++i) {
      proposals.push_back({alternative, FilterStrategy::Evolved, evolved.population[i],
                           evolved.populationFitness[i] + 8.0 * alt.headerBytes, 0, true});
    }
  }
  return index;
}

// The best few proposals of the evolved one's alternative deflated by the
// optimal parser's cheapest level, and the smallest polished by it (the
// model ranks near-equal vectors by chance; that level much less so).  Its
// bytes are measured, not estimated, so when the moves gained it goes to
// the front of the ranked proposals: the model would rank it behind the
// vector it came from, the very judgement the moves overruled.
void PlacePolishedProposal(const std::vector<Alternative>& alternatives, const EffortLevel& level, int threads,
                           const StopFlags& stop, const Proposal& evolved, std::vector<Proposal>& ranked) {
  const UnfilteredRows& rows = alternatives[evolved.alternative].rows;
  std::vector<std::vector<uint8_t>> starts;
  for (const Proposal& p : ranked) {
    if (p.alternative != evolved.alternative || p.extra ||
        std::find(starts.begin(), starts.end(), p.filters) != starts.end()) {
      continue;
    }
    starts.push_back(p.filters);
    if (int(starts.size()) == kPolishStarts) break;
  }
  search::PolishBudget budget = PolishBudgetOf(level, rows.bytes.size(), threads);
  budget.stop = &stop.cancel;
  const search::PolishedFilters polished = search::PolishByDeflate(rows, starts, budget);
  if (stop.cancel || polished.moves == 0) return;
  ranked.insert(ranked.begin(), {evolved.alternative, FilterStrategy::Polished, polished.filters, evolved.bits});
}

// Colour alternatives: every planned run from the start code whose colour
// settings differ, and, for a palette, the other entry orders.
std::vector<Alternative> Alternatives(EngineContext& ctx, const SourceImage& image, const CliOptions& options,
                                      const EffortLevel& level, const StopFlags& stop,
                                      const std::vector<RunSettings>& runs) {
  std::vector<Alternative> list;
  for (const RunSettings& run : runs) {
    if (run.randomtables && !options.randomtables) continue;
    const bool known = std::any_of(list.begin(), list.end(), [&run](const Alternative& a) {
      return a.settings.colortype == run.colortype && a.settings.bitdepth == run.bitdepth &&
             a.settings.keeppal == run.keeppal;
    });
    if (known) continue;
    Alternative a{run, {}, 0, -1, run.colortype < 0 ? "c auto" : "c" + std::to_string(run.colortype)};
    RunResult analysis;
    if (!Analyse(ctx, image, run, stop, a, &analysis)) continue;
    list.push_back(std::move(a));
    if (!level.paletteOrders || analysis.outcolortype != 3 || run.keeppal || analysis.outpal.empty()) continue;
    for (search::PaletteOrder order : search::kAllPaletteOrders) {
      RunSettings ordered = run;
      ordered.palette = std::make_shared<const std::vector<uint32_t>>(
          search::OrderPalette(analysis.outpal, order, image.pixels.data(), image.pixels.size()));
      ordered.keeppal = 1;
      ordered.colortype = 3;
      Alternative b{ordered, {}, 0, -1, std::string("c3 ") + search::PaletteOrderName(order)};
      if (Analyse(ctx, image, ordered, stop, b)) list.push_back(std::move(b));
    }
  }
  return list;
}

// Whether the stream should be split where its statistics change or stay
// one block: the engine's split is an order-0 guess that loses on many
// screenshots, and only a real parse tells.  Two passes of the fast
// "Longest match" parse each rank the two as the full loop does, at a tenth
// of its time.
void ChooseSplit(EngineContext& ctx, const SourceImage& image, const StopFlags& stop, RunSettings& run) {
  RunSettings quick = run;
  quick.strategy = 2;
  quick.maxPasses = 2;
  const RunResult split = RunEngine(ctx, image.AsRunInput(run.keeppal != 0), quick, stop, nullptr, false);
  quick.splitthreshold = 0.0;
  const RunResult oneBlock = RunEngine(ctx, image.AsRunInput(run.keeppal != 0), quick, stop, nullptr, false);
  if (oneBlock.ok && (!split.ok || oneBlock.png.size() < split.png.size())) run.splitthreshold = 0.0;
}

// The proposals that get the full pass loop: count of the usual ones at
// most, then extraCount of the extra ones at most.  With room for two or
// more, the best of each colour type goes first: the estimate weighs a
// palette against true colour least reliably (it sees neither the block
// headers nor how PLTE and tRNS compare), and small images, which get the
// room, are where that choice matters most.  The extras only add to the
// usual choice (they would otherwise crowd out the simple strategies that
// the model ranks low and that win on some small palette images), and no
// strategy takes more than a third of their room: the model rates the
// genetic search's population best, all alike, and the optimal parser
// often ranks the greedy choices above every one of them.
std::vector<const Proposal*> ChooseProposals(const std::vector<Proposal>& ranked,
                                             const std::vector<Alternative>& alternatives, int count,
                                             int extraCount) {
  std::vector<const Proposal*> chosen;
  // Strategies often agree (a fixed filter wins every row); the same rows
  // need no second full run.
  auto isNew = [&chosen](const Proposal& p) {
    return std::none_of(chosen.begin(), chosen.end(), [&p](const Proposal* q) {
      return q->alternative == p.alternative && q->filters == p.filters;
    });
  };
  auto take = [&](const Proposal& p) {
    if (!p.extra && isNew(p) && int(chosen.size()) < count) chosen.push_back(&p);
  };
  if (count >= 2) {
    std::vector<int> types;
    for (const Proposal& p : ranked) {
      const int type = alternatives[p.alternative].colortype;
      if (p.extra || std::find(types.begin(), types.end(), type) != types.end()) continue;
      types.push_back(type);
      take(p);
    }
  }
  for (const Proposal& p : ranked) take(p);
  const size_t usual = chosen.size();
  const long perStrategy = (extraCount + 2) / 3;
  for (const Proposal& p : ranked) {
    if (!p.extra || !isNew(p) || int(chosen.size() - usual) >= extraCount) continue;
    const long alike = std::count_if(chosen.begin() + long(usual), chosen.end(),
                                     [&p](const Proposal* q) { return q->strategy == p.strategy; });
    if (alike < perStrategy) chosen.push_back(&p);
  }
  return chosen;
}

}  // namespace

void PlanFilterTrials(EngineContext& ctx, const SourceImage& image, const CliOptions& options,
                      const EffortLevel& level, const StopFlags& stop, std::vector<RunSettings>& runs) {
  if (level.filterSearch == 0 || options.filterGiven || runs.empty() || runs[0].strategy == 4) return;
  const std::vector<Alternative> alternatives = Alternatives(ctx, image, options, level, stop, runs);
  const size_t rawBytes = image.pixels.size() * 4;
  const int extraTrials = ExtraTrials(level, rawBytes);
  const bool extra = extraTrials > 0;
  std::vector<Proposal> proposals;
  for (size_t a = 0; a < alternatives.size(); ++a) {
    for (FilterStrategy s : StrategiesOf(level)) proposals.push_back({a, s, {}, 0.0});
    if (!extra) continue;
    for (int depth : kVariantChainDepths) {
      proposals.push_back({a, FilterStrategy::Greedy, {}, 0.0, depth, true});
      proposals.push_back({a, FilterStrategy::Refined, {}, 0.0, depth, true});
    }
  }
  search::SearchEffort effort;
  effort.refineSweeps = level.filterSearch >= 3 ? 4 : 2;
  int threads = options.threads > 0 ? options.threads : int(std::thread::hardware_concurrency());
  threads = std::max(threads, 1);
  search::ParallelFor(proposals.size(), threads, [&](size_t i) {
    Proposal& p = proposals[i];
    const Alternative& alt = alternatives[p.alternative];
    if (stop.cancel) return;
    search::SearchEffort own = effort;
    if (p.chainDepth > 0) own.chainDepth = p.chainDepth;
    p.filters = search::ChooseRowFilters(alt.rows, p.strategy, own);
    p.bits = search::ModelCost(alt.rows, p.filters) + 8.0 * alt.headerBytes;
  });
  if (stop.cancel || proposals.empty()) return;
  const int evolved =
      level.filterSearch >= 4 ? AddEvolvedProposal(alternatives, level, threads, extra, stop, proposals) : -1;
  if (stop.cancel) return;
  const Proposal evolvedProposal = evolved >= 0 ? proposals[size_t(evolved)] : Proposal{};
  std::stable_sort(proposals.begin(), proposals.end(),
                   [](const Proposal& a, const Proposal& b) { return a.bits < b.bits; });
  if (evolved >= 0) PlacePolishedProposal(alternatives, level, threads, stop, evolvedProposal, proposals);
  if (stop.cancel) return;

  std::vector<RunSettings> planned = {runs[0]};
  for (const Proposal* chosen : ChooseProposals(proposals, alternatives, FullTrials(level, rawBytes), extraTrials)) {
    const Proposal& p = *chosen;
    RunSettings run = alternatives[p.alternative].settings;
    run.rowFilters = std::make_shared<const std::vector<uint8_t>>(p.filters);
    run.rowFilterStrategy = search::FilterStrategyName(p.strategy);
    if (p.chainDepth > 0) run.rowFilterStrategy += ", chain " + std::to_string(p.chainDepth);
    if (alternatives[p.alternative].settings.palette) {
      run.rowFilterStrategy += ", " + alternatives[p.alternative].name.substr(3) + " order";
    }
    if (level.framedProposals && OptimalLevelOf(options) > 0) {
      // One quick pass frames the file; the optimal parser, which cuts its
      // own blocks, writes the image data.
      run.strategy = 2;
      run.maxPasses = 1;
      run.numblocks = 0;
      run.splitthreshold = 0.0;
      run.redeflateLevel = OptimalLevelOf(options);
    } else {
      if (!options.splitGiven && run.numblocks <= 0 && run.splitthreshold > 0.0) ChooseSplit(ctx, image, stop, run);
      if (options.passes <= 0) run.minPassGain = level.minPassGain;
    }
    planned.push_back(std::move(run));
  }
  // Runs from random start tables now start from the searched proposals
  // as well as from the single run.
  const size_t searched = planned.size();
  size_t random = 0;
  for (const RunSettings& run : runs) {
    if (!run.randomtables || options.randomtables) continue;
    RunSettings again = planned[random++ % searched];
    if (again.redeflateLevel > 0) {
      // A framed proposal's rows get the engine's own loop here.
      again.strategy = planned[0].strategy;
      again.maxPasses = planned[0].maxPasses;
      again.numblocks = planned[0].numblocks;
      again.splitthreshold = planned[0].splitthreshold;
      again.redeflateLevel = 0;
    }
    again.randomtables = 1;
    if (options.passes <= 0) again.minPassGain = level.minPassGain;
    planned.push_back(std::move(again));
  }
  runs = std::move(planned);
}
