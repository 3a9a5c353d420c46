// The effort levels of `-o 0..6|max`: how much work one input gets.
//
// One row per level, cheapest first.  A level says which parse the engine
// uses, how many compression passes it may run, and which alternative runs
// the planner adds beside the user's own run (the smallest of them is
// written).  Extending the search means adding a column here and reading it
// in the planner, so that every level's cost stays visible in one table.
// Choices the user makes explicitly (-c, -f, -s, -b ...) are never varied.
#pragma once

#include <cstddef>
#include <string>

#include "cli/search/FilterEvolution.h"
#include "cli/search/FilterPolish.h"

struct EffortLevel {
  const char* name;      // as typed after -o
  int strategy;          // engine parse when -s is not given: 0 Xtreme!, 1 Intense, 2 Longest match
  int maxPasses;         // compression passes per run, 0 = until the engine converges
  bool tryFilter;        // also the other of filter None / adaptive
  bool tryTrueColor;     // a palette image also as its smallest true-colour type
  bool tryOneBlock;      // the stream also as one block, not split
  int randomTrials;      // extra runs from random start tables, at most (RandomTrials)
  // Filter search (cli/FilterTrials.h), which replaces the three tries above
  // by estimates: 0 off, 1 fixed filters, entropy, minimum sum and greedy,
  // 2 also the refined search, 3 with more refining sweeps, 4 also the
  // genetic search over whole filter vectors (EvolutionBudgetOf) and the
  // polishing of its answer by the optimal parser (PolishBudgetOf), 5 also
  // extra proposals where there is room to write them (ExtraTrials).
  int filterSearch;
  int fullTrials;        // best estimated proposals written for real (FullTrials)
  bool paletteOrders;    // palettes also by luminance, colour chain, first use
  // The searched runs (not the user's own) stop once a pass saves less than
  // this share of the file: the last passes of a photo save a few bytes
  // each at a tenth of the run's time apiece.  0: until the engine converges.
  double minPassGain;
  // The optimal parser's level for the image data (1..5 as the compressor
  // defines them, 6 the top search of cli/OptimalRedeflate.h); 0: the
  // engine's stream stands.
  int optimalLevel;
  // Proposals are framed by one quick engine pass and deflated by the
  // optimal parser instead of getting the engine's pass loop: the same
  // rows, a smaller stream, in a fraction of the time.
  bool framedProposals;
  // The winning file's image data deflated once more at this optimal
  // parser level (7: the longest search of cli/OptimalRedeflate.h), when
  // it is above optimalLevel: a search too slow to spend on every proposal
  // pays on the one that is written.  0: not again.
  int winnerOptimalLevel = 0;
  // Raw bytes all proposals written for real may add up to with the extra
  // ones (ExtraTrials), and how many there may be in all; 0: no extras.
  size_t extraTrialBytes = 0;
  int mostTrialsWithExtras = 0;
  // The winner's row filters chosen again under the codes of its stream at
  // this optimal parser level (cli/search/RowRetrial.h), and the rows
  // deflated at winnerOptimalLevel when any changed; the smaller stream
  // stays.  0: not.
  int winnerRetrialCodeLevel = 0;
  // Plans of the winner's last deflate at winnerOptimalLevel, each under
  // its own restart seeds, the stream written from the cheapest blocks of
  // them all (deflate::OptimalDeflateCombined): the level's sizes scatter
  // by a few hundred bytes over seeds on a photo, mostly by where the
  // blocks are cut.  Only the rows that are written get them: a large
  // image's retried rows, a small image's winner after its sweeps.
  int winnerPlans = 1;
};

// Levels 0..6 and "max" (index 7).
inline constexpr EffortLevel kEffortLevels[] = {
    {"0", 2, 1, false, false, false, 0, 0, 0, false, 0.0, 0, false},
    {"1", 0, 0, false, false, false, 0, 0, 0, false, 0.0, 0, false},
    {"2", 0, 0, true, true, true, 0, 1, 1, true, 1e-4, 3, true},
    {"3", 0, 0, true, true, true, 2, 2, 2, true, 1e-4, 4, true},
    {"4", 0, 0, true, true, true, 2, 2, 2, true, 2e-5, 5, true},
    {"5", 0, 0, true, true, true, 4, 3, 3, true, 2e-5, 5, true},
    {"6", 0, 0, true, true, true, 4, 3, 4, true, 2e-5, 5, true},
    {"max", 0, 0, true, true, true, 2, 5, 4, true, 0.0, 6, true, 7, size_t(512) << 10, 16, 5, 4},
};
inline constexpr int kEffortLevelCount = int(sizeof kEffortLevels / sizeof kEffortLevels[0]);
inline constexpr int kDefaultEffort = 2;

// How many of the best estimated proposals are written for real (framed for
// the optimal parser, or through the engine's pass loop) for an image of
// rawBytes unfiltered bytes: the level's count, and more for small images,
// where a run costs little and the estimate, blind to block headers and the
// final code lengths, errs most.
int FullTrials(const EffortLevel& level, size_t rawBytes);

// How many extra proposals the filter search writes for real, beside the
// FullTrials usual ones, for an image of rawBytes unfiltered bytes: the
// greedy and refined choices under shallower cost models and the rest of
// the genetic search's last population.  Only at the top level and for
// small images: the optimal parser ranks vectors the model rates alike by
// up to a few hundred bytes either way, so on an icon each such vector is
// a cheap chance of a smaller file, while on a photo none of them beat the
// best of the usual proposals.
int ExtraTrials(const EffortLevel& level, size_t rawBytes);

// How many runs from random start tables an image of rawBytes unfiltered
// bytes gets: each is a whole pass loop, so their bytes together stay
// within a budget.  An icon gets the level's count, a photo a few, and the
// top level finishes in a bounded time on any image.
int RandomTrials(const EffortLevel& level, size_t rawBytes);

// The genetic filter search's budget at a level that runs it, for rows of
// rowBytes filtered bytes in all: a number of estimates whose bytes
// together stay within a budget (each estimate prices the whole image), so
// that a photo gets a few hundred and an icon 600, on `threads` threads.
search::EvolutionBudget EvolutionBudgetOf(const EffortLevel& level, size_t rowBytes, int threads);

// The budget of the polishing moves (cli/search/FilterPolish.h) at a level
// that runs them, for rows of rowBytes filtered bytes in all: each move
// costs a deflate of the whole image by the optimal parser's cheapest level,
// so a photo gets about twenty and an icon 240.
search::PolishBudget PolishBudgetOf(const EffortLevel& level, size_t rowBytes, int threads);

// Index of the level named by text ("0".."6", "max"), or -1.
int FindEffortLevel(const std::string& text);

// The older -O1..-O3 switches: -O1 one run, -O2 the default search, -O3 the
// search plus random start tables.  Their level index.
int EffortOfOldSwitch(int oldLevel);
