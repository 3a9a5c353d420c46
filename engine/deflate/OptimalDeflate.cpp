#include "engine/deflate/OptimalDeflate.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "engine/deflate/Adler32.h"
#include "engine/deflate/BitSink.h"
#include "engine/deflate/BlockBoundaries.h"
#include "engine/deflate/LzBlock.h"
#include "engine/deflate/OptimalParser.h"

namespace deflate {
namespace {

// The levels, fastest first.
constexpr OptimalSettings kLevels[] = {
    // finder {depth, nice, every distance code}, iterations, patience, restarts, refine rounds,
    // blocks, header search, entropy prices, greedy start, both prices, rare symbols dropped,
    // more restarts while they pay, farther distance codes below this input size,
    // restarts for a nearly empty last byte
    // The finder's farther distance codes are off for large inputs: over the
    // dumped rows of the samples and PngSuite they cost bytes at levels 2-5
    // (748,912 against 748,451 at level 3) and a third of the time.  In
    // level 5's inputs under 128 KB, where the header weighs most, they save
    // bytes (the 172 files up to 400 KB: 80,505 -> 80,473).  Level 5 tries
    // symbols used up to four times out of the alphabet (two: 10 bytes more
    // on those files, once the restarts were wider).
    {{32, 128, false}, 1, 1, 0, 0, 1024, true, false, false, false, 0, 0},
    {{64, 258, false}, 3, 1, 0, 0, 1024, true, true, true, false, 0, 0},
    {{128, 258, false}, 5, 1, 1, 0, 1024, true, true, true, false, 0, 0},
    {{256, 258, false}, 8, 2, 1, 1, 1024, true, true, true, false, 0, 0},
    {{512, 258, false}, 15, 3, 6, 1, 1024, true, true, true, true, 4, 12, 131072, 8},
};

// Inputs below this size get the searched header for every parse.
constexpr size_t kSmallInput = 65536;
constexpr size_t kRestartBudget = 131072;
// Since the restarts of small inputs shake their counts wide (Disturb),
// more of them keep finding smaller parses: 14 rather than 8 took the
// dumped rows up to 400 KB from 80,426 to 80,416 bytes; once restarts that
// fall back into a code seen before stop early (Iterate) and hopeless
// parses skip the header search (ParseInto), 24 take about a twentieth
// more time than 14 did (80,388 bytes; 36 give 80,380 but take a seventh
// more, past zopfli --i15's time over the whole set).
constexpr size_t kMaxExtraRestarts = 24;
// A parse of a small input whose block, with the engine's header walk, is
// this many bits behind the best is not header-searched: the search has
// never been seen to save that much (256 lost 6 bytes on the dumped rows,
// 128 lost 25), and that search is most of a small input's time.
constexpr int64_t kSearchReach = 512;

// A last byte with at most this many bits of data gets the last-byte
// restarts: on the dumped rows up to 400 KB, at 8 restarts, 2 bits saved
// 4 bytes, 3 bits 10 and 4 bits no more than 3 did.
constexpr int64_t kLastByteBits = 3;

// Deterministic generator for the restarts (xorshift32).
class Random {
 public:
  explicit Random(uint32_t seed) : m_state(seed ? seed : 0x9E3779B9u) {}
  uint32_t Next() {
    m_state ^= m_state << 13;
    m_state ^= m_state >> 17;
    m_state ^= m_state << 5;
    return m_state;
  }

 private:
  uint32_t m_state;
};

// Searched codes by their counts.  The iteration and the restarts of a
// block keep landing on parses they have seen (a converged code reproduces
// its own counts), and the searched header of a code costs far more than
// the parse of a small block; each distinct set of counts is searched once.
class SearchedCodes {
 public:
  const DynamicCode& Of(const SymbolCounts& counts) {
    const uint64_t key = Hash(counts);
    auto range = m_index.equal_range(key);
    for (auto it = range.first; it != range.second; ++it)
      if (std::memcmp(&m_entries[it->second].counts, &counts, sizeof counts) == 0) return m_entries[it->second].code;
    if (m_entries.size() >= kMaxEntries) {
      m_entries.clear();
      m_index.clear();
    }
    m_entries.push_back({counts, {}});
    BuildDynamicCode(counts, true, m_entries.back().code, true);
    m_index.emplace(key, m_entries.size() - 1);
    return m_entries.back().code;
  }

  size_t MemoryBytes() const {
    return m_entries.capacity() * sizeof(Entry) + m_index.size() * (sizeof(uint64_t) + sizeof(size_t) + 2 * sizeof(void*));
  }

 private:
  static constexpr size_t kMaxEntries = 1024;
  struct Entry {
    SymbolCounts counts;
    DynamicCode code;
  };
  static uint64_t Hash(const SymbolCounts& counts) {
    uint64_t h = 0xCBF29CE484222325u;
    for (int32_t c : counts.literal) h = (h ^ uint32_t(c)) * 0x100000001B3u;
    for (int32_t c : counts.distance) h = (h ^ uint32_t(c)) * 0x100000001B3u;
    return h;
  }
  std::vector<Entry> m_entries;
  std::unordered_multimap<uint64_t, size_t> m_index;
};

// The prices a block has been parsed with, found by a hash first.
class SeenPrices {
 public:
  void Clear() {
    m_hashes.clear();
    m_prices.clear();
  }
  // False when these prices were seen already.
  bool Insert(const CostModel& prices) {
    const uint64_t h = Hash(prices);
    for (size_t k = 0; k < m_hashes.size(); ++k)
      if (m_hashes[k] == h && std::memcmp(&m_prices[k], &prices, sizeof prices) == 0) return false;
    m_hashes.push_back(h);
    m_prices.push_back(prices);
    return true;
  }
  size_t MemoryBytes() const { return m_hashes.capacity() * sizeof(uint64_t) + m_prices.capacity() * sizeof(CostModel); }

 private:
  static uint64_t Hash(const CostModel& prices) {
    unsigned char bytes[sizeof prices];
    std::memcpy(bytes, &prices, sizeof prices);
    uint64_t h = 0xCBF29CE484222325u;
    for (unsigned char b : bytes) h = (h ^ b) * 0x100000001B3u;
    return h;
  }
  std::vector<uint64_t> m_hashes;
  std::vector<CostModel> m_prices;
};

}  // namespace

struct BlockPlan {
  size_t begin = 0;
  size_t end = 0;
  BlockKind kind = BlockKind::Fixed;
  int64_t bits = 0;
  std::vector<LzStep> steps;
  DynamicCode code;
};

namespace {

// A parse's steps with their counts and exact dynamic size.
struct Candidate {
  std::vector<LzStep> steps;
  SymbolCounts counts;
  DynamicCode code;
  int64_t bits = INT64_MAX;
};

class Compressor {
 public:
  Compressor(const uint8_t* data, size_t size, const OptimalSettings& settings)
      : m_data(data), m_size(size), m_settings(settings) {
    if (size < settings.everyDistanceCodeBelow) m_settings.matchFinder.everyDistanceCode = true;
    m_matches.Build(data, size, m_settings.matchFinder);
  }

  size_t MemoryBytes() const {
    return m_matches.MemoryBytes() + m_parser.MemoryBytes() + m_searched.MemoryBytes() + m_seenPrices.MemoryBytes();
  }

  // A parse of [begin, end) under costs, counted and priced.
  void ParseInto(size_t begin, size_t end, const CostModel& costs, Candidate& c, int64_t toBeat = INT64_MAX) {
    c.steps.clear();
    m_parser.Parse(m_data, m_matches, begin, end, costs, c.steps);
    c.counts = SymbolCounts::Of(c.steps.data(), c.steps.size());
    // Parses of a large input are compared with the engine's header walk
    // and only the parse a block keeps gets the searched header (PlanBlock),
    // which would cost more than the parse; in a small input the header is
    // a large part of the size and its search costs little.
    if (m_settings.searchHeader && m_size < kSmallInput) {
      if (toBeat != INT64_MAX) {
        BuildDynamicCode(c.counts, false, c.code);
        c.bits = DynamicBlockBits(c.counts, c.code);
        if (c.bits > toBeat + kSearchReach) return;
      }
      c.code = m_searched.Of(c.counts);
    } else {
      BuildDynamicCode(c.counts, false, c.code);
    }
    c.bits = DynamicBlockBits(c.counts, c.code);
  }

  // Parses again with the code of the given counts while the block shrinks
  // (allowing `patience` parses without a gain); best keeps the smallest.
  //
  // The parse is a function of its prices alone: once the prices repeat
  // ones this block was already parsed with (a code that reproduces its own
  // counts, a cycle of codes, or a restart falling back into a code an
  // earlier start reached), the iteration would retrace a path already
  // taken, so it stops there.  Within one iteration that leaves the result
  // exactly as it was; across starts it spares most of the restarts that
  // end where an earlier one did.
  void Iterate(size_t begin, size_t end, SymbolCounts counts, Candidate& best, bool entropy) {
    Candidate trial;
    int stale = 0;
    for (int i = 0; i < m_settings.iterations && stale < m_settings.patience; ++i) {
      const CostModel prices = PricesOf(counts, entropy);
      if (!m_seenPrices.Insert(prices)) break;
      ParseInto(begin, end, prices, trial, best.bits);
      if (trial.bits < best.bits) {
        std::swap(best, trial);
        stale = 0;
        counts = best.counts;
      } else {
        ++stale;
        counts = trial.counts;
      }
    }
  }

  CostModel PricesOf(const SymbolCounts& counts, bool entropy) const {
    if (entropy) return CostsOfCounts(counts);
    // Only the lengths: the header is not priced here.
    int32_t literal[kLitLenCodes];
    int32_t distance[kDistanceCodes];
    CodeLengthsOf(counts, literal, distance);
    return CostsOfLengths(literal, distance);
  }

  BlockPlan PlanBlock(size_t begin, size_t end, uint32_t seed, const BlockPlan* neighbour = nullptr) {
    m_seenPrices.Clear();
    Candidate best;
    ParseInto(begin, end, CostsOfLengths(FixedLiteralLengths(), FixedDistanceLengths()), best);
    // The fixed-price parse is also the fixed block's best parse.
    const int64_t fixedBits = FixedBlockBits(best.counts);
    const std::vector<LzStep> fixedSteps = best.steps;
    // Each start is iterated under the level's prices and, with both
    // prices on, under the other ones too: entropy prices find the better
    // codes for large blocks, code-length prices often for small ones, and
    // the two end in different local optima.  Restarts alternate likewise.
    const bool entropy = m_settings.entropyPrices;
    const SymbolCounts fixedCounts = best.counts;
    const SymbolCounts greedyCounts = m_settings.greedyStart ? GreedyCounts(begin, end) : SymbolCounts{};
    for (const bool prices : {entropy, !entropy}) {
      if (prices != entropy && !m_settings.bothPrices) break;
      Iterate(begin, end, fixedCounts, best, prices);
      if (m_settings.greedyStart) Iterate(begin, end, greedyCounts, best, prices);
    }
    // Neighbouring blocks of an image mostly hold like data, and the code
    // the previous block ended with is a start the iteration cannot reach
    // from this block's own counts.
    if (neighbour && neighbour->kind == BlockKind::Dynamic)
      Iterate(begin, end, SymbolCounts::Of(neighbour->steps.data(), neighbour->steps.size()), best, entropy);
    Random random(seed);
    // Past the set restarts, a block whose restarts still pay keeps
    // restarting while one of its last two found a smaller parse.
    const int restarts = Restarts();
    int lastGain = -1;
    for (int r = 0; r < restarts || (r < restarts + m_settings.moreRestarts && lastGain >= r - 2); ++r) {
      const int64_t before = best.bits;
      Restart(begin, end, best, random, r);
      if (best.bits < before) lastGain = r;
    }
    Finish(begin, end, best);

    BlockPlan plan;
    plan.begin = begin;
    plan.end = end;
    const int64_t storedBits = StoredBlockBits(end - begin);
    if (storedBits < best.bits && storedBits < fixedBits) {
      plan.kind = BlockKind::Stored;
      plan.bits = storedBits;
    } else if (fixedBits <= best.bits) {
      plan.kind = BlockKind::Fixed;
      plan.bits = fixedBits;
      plan.steps = fixedSteps;
    } else {
      plan.kind = BlockKind::Dynamic;
      plan.bits = best.bits;
      plan.steps = std::move(best.steps);
      plan.code = best.code;
    }
    return plan;
  }

  // One restart: the counts of the block's best parse shaken and iterated,
  // under the level's prices or, with both prices on, under the other ones
  // every second restart.
  void Restart(size_t begin, size_t end, Candidate& best, Random& random, int r) {
    const bool entropy = m_settings.entropyPrices;
    const bool prices = m_settings.bothPrices && r % 2 == 1 ? !entropy : entropy;
    Iterate(begin, end, Disturb(best.counts, random), best, prices);
  }

  // The block's best parse given the header it is written with and parsed
  // again under that code; in a small input, its rare symbols then tried
  // out of the alphabet.
  void Finish(size_t begin, size_t end, Candidate& best) {
    if (m_settings.searchHeader) {
      best.code = m_searched.Of(best.counts);
      best.bits = DynamicBlockBits(best.counts, best.code);
      Polish(begin, end, best);
    }
    // Worth its parses where headers weigh most: in small inputs.
    if (m_settings.dropRareSymbols > 0 && m_size < kSmallInput)
      DropRareSymbols(begin, end, best, m_settings.dropRareSymbols);
  }

  // A stream is whole bytes.  When the last byte holds only a few bits of
  // the data, that many bits less anywhere save a whole byte, and more
  // restarts are the likeliest way to find them: each dynamic block of such
  // a small input gets lastByteRestarts more (from its final parse, with a
  // seed of their own), until the byte is saved.  A stored block's padding
  // depends on where it starts, which the plans do not know, so inputs with
  // one are left alone.
  void SqueezeLastByte(std::vector<BlockPlan>& plans) {
    if (m_settings.lastByteRestarts == 0 || m_size >= kSmallInput) return;
    if (std::any_of(plans.begin(), plans.end(), [](const BlockPlan& p) { return p.kind == BlockKind::Stored; }))
      return;
    const int64_t lastByteBits = TotalBits(plans) % 8;
    if (lastByteBits == 0 || lastByteBits > kLastByteBits) return;
    int64_t saved = 0;
    for (BlockPlan& plan : plans) {
      if (plan.kind != BlockKind::Dynamic) continue;
      m_seenPrices.Clear();
      Candidate best;
      best.steps = plan.steps;
      best.counts = SymbolCounts::Of(best.steps.data(), best.steps.size());
      best.code = plan.code;
      best.bits = plan.bits;
      Random random(~Seed(plan.begin, plan.end));
      for (int r = 0; r < m_settings.lastByteRestarts; ++r) Restart(plan.begin, plan.end, best, random, r);
      if (best.bits >= plan.bits) continue;
      Finish(plan.begin, plan.end, best);
      saved += plan.bits - best.bits;
      plan.bits = best.bits;
      plan.steps = std::move(best.steps);
      plan.code = best.code;
      if (saved >= lastByteBits) return;
    }
  }

  // The searched header may reshape the code the iteration converged to,
  // so the parse is no longer the cheapest for the code it is written
  // with: parse once more under the written code's own lengths.
  void Polish(size_t begin, size_t end, Candidate& best) {
    Candidate trial;
    for (int i = 0; i < 4; ++i) {
      ParseInto(begin, end, CostsOfLengths(best.code.literal, best.code.distance), trial);
      if (m_settings.searchHeader) trial.code = m_searched.Of(trial.counts);
      trial.bits = DynamicBlockBits(trial.counts, trial.code);
      if (trial.bits >= best.bits) break;
      std::swap(best, trial);
    }
  }

  // A symbol used a few times costs its code word each time and, in the
  // header, its own code length and a longer code for the others; the
  // iteration cannot see the header's share.  So each rare symbol is
  // forbidden in turn (priced out of reach) and the block parsed again
  // under its code's prices; the parse stays when the block shrinks.  A
  // parse that does not shrink it yet was priced with lengths that still
  // paid for the symbol: it is parsed once more under its own code, the
  // symbol still forbidden.
  void DropRareSymbols(size_t begin, size_t end, Candidate& best, int maxCount) {
    constexpr float kForbidden = 1e6f;
    const CodeTables& tables = SharedCodeTables();
    std::vector<int> rare;
    for (int i = 0; i < kLitLenCodes + kDistanceCodes; ++i) {
      const int32_t c = i < kLitLenCodes ? best.counts.literal[i] : best.counts.distance[i - kLitLenCodes];
      if (i != kEndOfBlock && c > 0 && c <= maxCount) rare.push_back(i);
    }
    Candidate trial;
    auto forbid = [&](CostModel& costs, int symbol) {
      if (symbol < 256) costs.literal[symbol] = kForbidden;
      else if (symbol < kLitLenCodes)
        for (int len = kMinMatch; len <= kMaxMatch; ++len) {
          if (257 + tables.LengthCode(len) == symbol) costs.length[len] = kForbidden;
        }
      else costs.distance[symbol - kLitLenCodes] = kForbidden;
    };
    for (int symbol : rare) {
      CostModel costs = CostsOfLengths(best.code.literal, best.code.distance);
      forbid(costs, symbol);
      ParseInto(begin, end, costs, trial);
      if (trial.bits >= best.bits) {
        CostModel again = CostsOfLengths(trial.code.literal, trial.code.distance);
        forbid(again, symbol);
        ParseInto(begin, end, again, trial, best.bits);
      }
      if (trial.bits < best.bits) std::swap(best, trial);
    }
  }

  // Restarts cost a block's parses again, which is little for a small
  // input, whose codes have the most local optima for their size: the
  // smaller the input, the more restarts each block gets, so that all of
  // them together parse about 128 KB more.
  int Restarts() const {
    if (m_settings.restarts == 0) return 0;
    const size_t extra = std::min<size_t>(kMaxExtraRestarts, kRestartBudget / std::max<size_t>(m_size, 1));
    return m_settings.restarts + int(extra);
  }

  // The counts of a greedy parse (the longest match wherever one of four
  // bytes or more starts, else a literal): a start for the iteration that
  // prices matches as dearly as they are in most data, where the fixed
  // code's cheap lengths start it from a parse full of short matches.
  SymbolCounts GreedyCounts(size_t begin, size_t end) const {
    std::vector<LzStep> steps;
    for (size_t i = begin; i < end;) {
      LzStep step{1, m_data[i]};
      for (const MatchPair* m = m_matches.begin(i); m != m_matches.end(i); ++m)
        if (m->length >= 4 && m->length > step.length && i + m->length <= end) step = {m->length, m->distance};
      steps.push_back(step);
      i += step.length;
    }
    return SymbolCounts::Of(steps.data(), steps.size());
  }

  // A first parse of the whole input to cut into blocks: fixed prices, then
  // the prices of that parse's own code.
  std::vector<LzStep> FirstParse() {
    Candidate c;
    ParseInto(0, m_size, CostsOfLengths(FixedLiteralLengths(), FixedDistanceLengths()), c);
    ParseInto(0, m_size, PricesOf(c.counts, m_settings.entropyPrices), c);
    return std::move(c.steps);
  }

  std::vector<BlockPlan> PlanBlocks(const std::vector<size_t>& byteCuts, std::vector<BlockPlan>& previous) {
    std::vector<BlockPlan> plans;
    for (size_t k = 0; k + 1 < byteCuts.size(); ++k) {
      const size_t begin = byteCuts[k];
      const size_t end = byteCuts[k + 1];
      auto same = std::find_if(previous.begin(), previous.end(),
                               [&](const BlockPlan& p) { return p.begin == begin && p.end == end; });
      if (same != previous.end()) plans.push_back(std::move(*same));
      else plans.push_back(PlanBlock(begin, end, Seed(begin, end), plans.empty() ? nullptr : &plans.back()));
    }
    return plans;
  }

  std::vector<BlockPlan> Run() {
    std::vector<LzStep> first = FirstParse();
    std::vector<BlockPlan> none;
    std::vector<BlockPlan> plans =
        PlanBlocks(ByteCuts(first, BlockBoundaries(first).Split(m_settings.maxBlocks)), none);
    int64_t total = TotalBits(plans);
    for (int round = 0; round < m_settings.refineRounds && m_settings.maxBlocks > 1; ++round) {
      std::vector<LzStep> steps;
      std::vector<size_t> cuts{0};
      for (const BlockPlan& p : plans) {
        if (p.kind == BlockKind::Stored) AppendLiterals(p.begin, p.end, steps);
        else steps.insert(steps.end(), p.steps.begin(), p.steps.end());
        cuts.push_back(steps.size());
      }
      std::vector<size_t> refined = cuts;
      BlockBoundaries(steps).Refine(refined, m_settings.maxBlocks);
      if (refined == cuts) break;
      std::vector<BlockPlan> kept = plans;
      std::vector<BlockPlan> next = PlanBlocks(ByteCuts(steps, refined), kept);
      const int64_t nextTotal = TotalBits(next);
      if (nextTotal >= total) break;
      plans = std::move(next);
      total = nextTotal;
    }
    if (m_size < kSmallInput) MergeNeighbours(plans);
    SqueezeLastByte(plans);
    return plans;
  }

  // The blocks between the given byte positions, as they are: no boundary
  // search, no joins.
  std::vector<BlockPlan> RunWithCuts(const std::vector<size_t>& byteCuts) {
    std::vector<BlockPlan> none;
    std::vector<BlockPlan> plans = PlanBlocks(byteCuts, none);
    SqueezeLastByte(plans);
    return plans;
  }

  // The boundary search prices blocks on one parse with estimated codes; in
  // a small input, where a block's planning costs little, each pair of
  // neighbours is planned again as one block and joined when that is
  // smaller.
  void MergeNeighbours(std::vector<BlockPlan>& plans) {
    for (size_t k = 0; k + 1 < plans.size();) {
      BlockPlan joined = PlanBlock(plans[k].begin, plans[k + 1].end, Seed(plans[k].begin, plans[k + 1].end));
      if (joined.bits < plans[k].bits + plans[k + 1].bits) {
        plans[k] = std::move(joined);
        plans.erase(plans.begin() + k + 1);
      } else {
        ++k;
      }
    }
  }

  uint32_t Seed(size_t begin, size_t end) const {
    return uint32_t(begin * 2654435761u + end) ^ (m_settings.seedSalt * 0x9E3779B1u);
  }

 private:
  static int64_t TotalBits(const std::vector<BlockPlan>& plans) {
    int64_t total = 0;
    for (const BlockPlan& p : plans) total += p.bits;
    return total;
  }

  void AppendLiterals(size_t begin, size_t end, std::vector<LzStep>& steps) const {
    for (size_t i = begin; i < end; ++i) steps.push_back({1, m_data[i]});
  }

  // Step-index boundaries to byte positions.
  static std::vector<size_t> ByteCuts(const std::vector<LzStep>& steps, const std::vector<size_t>& cuts) {
    std::vector<size_t> bytes;
    size_t pos = 0;
    size_t step = 0;
    for (size_t cut : cuts) {
      for (; step < cut; ++step) pos += steps[step].length;
      bytes.push_back(pos);
    }
    return bytes;
  }

  // Counts shaken at random, so that the next code explores lengths the
  // converged one ruled out: each symbol's count scaled by a factor in
  // [0.5, 1.5), and an unused symbol now and then given the count of one
  // use.  In a small input most counts are a handful of uses, which such a
  // factor rounds back to themselves, and the restarts keep finding the
  // code they started from; there the counts are taken sixteen times first
  // (the code they build is the same) and the factor spans [1/16, 3).
  SymbolCounts Disturb(const SymbolCounts& counts, Random& random) const {
    const bool small = m_size < kRestartBudget;
    const int32_t scale = small ? 16 : 1;
    const uint32_t low = small ? 64 : 512;
    const uint32_t span = small ? 3000 : 1024;
    SymbolCounts out = counts;
    auto shake = [&](int32_t& c) {
      const uint32_t r = random.Next();
      if (c > 0) c = std::max<int32_t>(1, int32_t(int64_t(c) * scale * (low + r % span) / 1024));
      else if ((r & 15) == 0) c = scale;
    };
    for (int32_t& c : out.literal) shake(c);
    for (int32_t& c : out.distance) shake(c);
    out.literal[kEndOfBlock] = 1;
    return out;
  }

  const uint8_t* m_data;
  size_t m_size;
  OptimalSettings m_settings;
  MatchCache m_matches;
  OptimalParser m_parser;
  SearchedCodes m_searched;
  SeenPrices m_seenPrices;  // of the block being planned
};

size_t WriteStream(const uint8_t* data, size_t size, const std::vector<std::shared_ptr<const BlockPlan>>& plans,
                   std::vector<uint8_t>& zlib, OptimalStats* stats) {
  zlib.clear();
  const bool allStored = std::all_of(plans.begin(), plans.end(),
                                     [](const std::shared_ptr<const BlockPlan>& p) { return p->kind == BlockKind::Stored; });
  zlib.push_back(0x78);
  zlib.push_back(allStored ? 0x01 : 0x5E);
  BitSink out(zlib);
  for (size_t k = 0; k < plans.size(); ++k) {
    const BlockPlan& p = *plans[k];
    WriteBlock(out, p.kind, k + 1 == plans.size(), data, p.begin, p.end, p.steps.data(), p.steps.size(), &p.code);
  }
  out.AlignToByte();
  uint32_t adler = 1;
  for (size_t i = 0; i < size; ++i) adler = AdlerByte(adler, data[i]);
  for (int shift = 24; shift >= 0; shift -= 8) zlib.push_back(uint8_t(adler >> shift));
  if (stats) {
    stats->blocks = int(plans.size());
    stats->written.assign(plans.size(), WrittenBlock{});
    for (size_t k = 0; k < plans.size(); ++k) {
      WrittenBlock& w = stats->written[k];
      const BlockPlan& p = *plans[k];
      w.begin = p.begin;
      w.end = p.end;
      w.kind = p.kind;
      if (p.kind == BlockKind::Stored) continue;
      const bool fixed = p.kind == BlockKind::Fixed;
      std::copy_n(fixed ? FixedLiteralLengths() : p.code.literal, kLitLenCodes, w.literal);
      std::copy_n(fixed ? FixedDistanceLengths() : p.code.distance, kDistanceCodes, w.distance);
    }
  }
  return zlib.size();
}

bool ValidCuts(const std::vector<size_t>& cuts, size_t size) {
  if (cuts.size() < 2 || cuts.front() != 0 || cuts.back() != size) return false;
  for (size_t k = 1; k < cuts.size(); ++k)
    if (cuts[k] <= cuts[k - 1]) return false;
  return true;
}

}  // namespace

OptimalSettings OptimalLevelSettings(int level) {
  level = std::clamp(level, kOptimalLevelMin, kOptimalLevelMax);
  return kLevels[level - kOptimalLevelMin];
}

int64_t OptimalPlan::Bits() const {
  int64_t bits = 0;
  for (const auto& p : m_blocks) bits += p->bits;
  return bits;
}

std::vector<size_t> OptimalPlan::Cuts() const {
  std::vector<size_t> cuts{0};
  for (const auto& p : m_blocks) cuts.push_back(p->end);
  return cuts;
}

OptimalPlan PlanOptimal(const uint8_t* data, size_t size, const OptimalSettings& settings,
                        const std::vector<size_t>* byteCuts) {
  Compressor compressor(data, size, settings);
  std::vector<BlockPlan> plans;
  if (size == 0) plans.push_back(compressor.PlanBlock(0, 0, 1));
  else if (byteCuts && ValidCuts(*byteCuts, size)) plans = compressor.RunWithCuts(*byteCuts);
  else plans = compressor.Run();
  OptimalPlan plan;
  for (BlockPlan& p : plans) plan.m_blocks.push_back(std::make_shared<const BlockPlan>(std::move(p)));
  plan.m_memoryBytes = compressor.MemoryBytes();
  return plan;
}

OptimalPlan CheapestOf(const std::vector<const OptimalPlan*>& plans) {
  OptimalPlan out;
  if (plans.empty()) return out;
  // An empty input's one block starts and ends at 0.
  if (plans[0]->m_blocks.size() == 1 && plans[0]->m_blocks[0]->end == 0) return *plans[0];
  std::vector<size_t> cuts{0};
  for (const OptimalPlan* plan : plans)
    for (const auto& p : plan->m_blocks) cuts.push_back(p->end);
  std::sort(cuts.begin(), cuts.end());
  cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
  auto indexOf = [&cuts](size_t pos) { return size_t(std::lower_bound(cuts.begin(), cuts.end(), pos) - cuts.begin()); };
  // Blocks by where they start, in plan order; a shortest path over the
  // cuts.
  std::vector<std::vector<const std::shared_ptr<const BlockPlan>*>> starting(cuts.size());
  for (const OptimalPlan* plan : plans)
    for (const auto& p : plan->m_blocks) starting[indexOf(p->begin)].push_back(&p);
  std::vector<int64_t> best(cuts.size(), INT64_MAX);
  std::vector<const std::shared_ptr<const BlockPlan>*> via(cuts.size(), nullptr);
  best[0] = 0;
  for (size_t i = 0; i < cuts.size(); ++i) {
    if (best[i] == INT64_MAX) continue;
    for (const auto* p : starting[i]) {
      const size_t j = indexOf((*p)->end);
      if (j > i && best[i] + (*p)->bits < best[j]) {
        best[j] = best[i] + (*p)->bits;
        via[j] = p;
      }
    }
  }
  for (size_t j = cuts.size() - 1; via[j]; j = indexOf((*via[j])->begin)) out.m_blocks.push_back(*via[j]);
  std::reverse(out.m_blocks.begin(), out.m_blocks.end());
  for (const OptimalPlan* plan : plans) out.m_memoryBytes = std::max(out.m_memoryBytes, plan->m_memoryBytes);
  return out;
}

size_t WritePlan(const uint8_t* data, size_t size, const OptimalPlan& plan, std::vector<uint8_t>& zlib,
                 OptimalStats* stats) {
  WriteStream(data, size, plan.m_blocks, zlib, stats);
  if (stats) stats->memoryBytes = plan.m_memoryBytes;
  return zlib.size();
}

size_t OptimalDeflate(const uint8_t* data, size_t size, const OptimalSettings& settings, std::vector<uint8_t>& zlib,
                      OptimalStats* stats) {
  return WritePlan(data, size, PlanOptimal(data, size, settings), zlib, stats);
}

size_t OptimalDeflateCombined(const uint8_t* data, size_t size, const std::vector<OptimalSettings>& runs,
                              std::vector<uint8_t>& zlib, OptimalStats* stats, const RunEach& runEach,
                              bool untilAlike, OptimalPlan* firstPlan) {
  if (runs.empty()) return OptimalDeflate(data, size, OptimalSettings{}, zlib, stats);
  std::vector<OptimalPlan> plans(runs.size());
  const bool firstKnown = firstPlan && !firstPlan->Empty();
  if (firstKnown) plans[0] = *firstPlan;
  auto planRange = [&](size_t from, size_t to) {
    auto plan = [&](size_t k) { plans[from + k] = PlanOptimal(data, size, runs[from + k]); };
    if (runEach) {
      runEach(to - from, plan);
    } else {
      for (size_t k = 0; k < to - from; ++k) plan(k);
    }
  };
  const size_t first = untilAlike ? std::min<size_t>(2, runs.size()) : runs.size();
  planRange(firstKnown ? 1 : 0, first);
  if (firstPlan && !firstKnown) *firstPlan = plans[0];
  if (first < runs.size() && (plans[0].Bits() + 7) / 8 == (plans[1].Bits() + 7) / 8) {
    plans.resize(first);
  } else {
    planRange(first, runs.size());
  }
  std::vector<const OptimalPlan*> all;
  for (const OptimalPlan& p : plans) all.push_back(&p);
  // The planned sizes count a stored block's padding at its most, so the
  // combined stream is written beside each plan's own and the smallest kept.
  const OptimalPlan combined = CheapestOf(all);
  all.insert(all.begin(), &combined);
  std::vector<uint8_t> candidate;
  OptimalStats candidateStats;
  std::vector<size_t> runBytes;
  for (size_t k = 0; k < all.size(); ++k) {
    WritePlan(data, size, *all[k], candidate, stats ? &candidateStats : nullptr);
    if (k > 0) runBytes.push_back(candidate.size());
    if (k == 0 || candidate.size() < zlib.size()) {
      zlib.swap(candidate);
      if (stats) std::swap(*stats, candidateStats);
    }
  }
  if (stats) {
    stats->memoryBytes = combined.MemoryBytes();
    stats->runBytes = std::move(runBytes);
  }
  return zlib.size();
}

}  // namespace deflate
