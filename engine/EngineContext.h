// The working state of one encoding run.
//
// Every stage of the engine works on one EngineContext instead of
// module-wide storage, so that independent runs can proceed on several
// threads (the command-line tool does this); OptimizePng keeps one context of
// its own and lets one run at a time through.  Nothing in here carries over
// from one run to the next: each run initialises what it reads.  The large
// compressor arrays are allocated once per context and reused by every pass
// and run.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/ColorHash.h"
#include "engine/EncodeJob.h"
#include "engine/MallocBuffer.h"
#include "engine/deflate/DeflateState.h"
#include "engine/deflate/LzParser.h"

struct EngineContext {
  EngineContext();
  ~EngineContext();
  EngineContext(const EngineContext&) = delete;
  EngineContext& operator=(const EngineContext&) = delete;

  // The job and its callbacks (never null once a run has started: the
  // driver installs do-nothing ones where the job has none).
  EncodeJob* job = nullptr;
  EncodePrintFn print = nullptr;
  EncodePollFn poll = nullptr;

  // Working copies of the job's choices, resolved by the analysis.
  int colortype = -1;
  int filter = -1;      // the selection filter, 0..5 once resolved
  int bitdepth = 0;
  int palcount = 0;

  // Palette, usage counters, colour hash and transparent key colour.
  uint32_t palette[256] = {};
  uint32_t usage[256] = {};
  ColorHash hash;
  uint32_t key = 0xFFFFFFFF;  // 0xFFFFFFFF: no transparent key colour

  // Colour analysis results.
  int analysisFlags = 0;      // 1 needs full alpha, 2 not grey, 4 more than 256 colours
  int colorCount = 0;         // distinct pixel values seen, at most 256
  int entriesNeeded = 0;      // palette count plus a bKGD entry when one is needed
  uint32_t seenColors[256] = {};  // the colorCount pixel values, first-appearance order

  // Compressor.
  deflate::DeflateState deflate;
  deflate::ParserStatePtr parser;

  // Pass loop.
  std::vector<uint8_t> snapshot;      // 320 lengths per block, block order
  std::vector<uint8_t> bestSnapshot;
  uint32_t bestPalette[256] = {};
  int64_t bestSize = 2147483647;
  int64_t sizeHistory[1024] = {};
  uint32_t fingerprints[1024] = {};
  bool finalPass = false;
  // Set when the pass under way wrote a symbol whose code length is 0: the
  // symbol went out as no bits at all, so that pass's file is corrupt and
  // must never stand as the result.
  bool passInvalid = false;
  uint32_t randomState = 0;           // generator behind randomtables

  // Output stream.  The position is counted in 64 bits so that a pass that
  // overshoots a very large buffer is still measured, never wrapped.
  int64_t outPos = 0;                 // bytes of the PNG written in this pass
  int64_t idatStart = 0;              // where the IDAT length field lies
  int64_t sizeEstimate = 0;           // upper bound of the stored file
  uint32_t crcTable[256] = {};

  // Where filtered bytes go.
  enum class ByteSink { Collector, TrialHistogram, Deflate };
  ByteSink sink = ByteSink::Deflate;

  // Scanline filter state of the pass under way.
  MallocPtr<uint32_t> olinbuf;        // two rows of units, see RowFilter.h
  int unitsPerRow = 0;
  int unitIndex = 0;
  int rowCounter = 0;
  int workingFilter = 0;              // 0..4, the filter of the next row
  // One filter type per row chosen by the caller (RowFilterEntry.h), or
  // null: the selection filter decides.
  const uint8_t* rowFilters = nullptr;
  int rowFilter = 0;                  // the filter type sent for this row
  uint32_t leftUnit = 0;

  // Adaptive filter choice.
  uint32_t trialCounts[256] = {};
  int trialTotal = 0;
  MallocPtr<uint32_t> entropylut;     // entropyN + 1 entries
  int entropyN = -1;

  // Split pre-pass collection of the filtered stream.
  MallocPtr<uint8_t> collected;
  int64_t collectedCount = 0;
  int64_t collectedCapacity = 0;

  // The filtered stream of the last whole compression pass, kept in the
  // buffer the split pre-pass allocated (it holds the longest stream), so
  // that a pass whose rows filter to the same bytes (same palette order)
  // replays them instead of filtering again.  Rows reach the compressor
  // from here a whole row at a time.  Null when the run did no pre-pass.
  MallocPtr<uint8_t> passStream;
  int64_t passStreamCount = 0;     // bytes the pass under way has stored
  int64_t passStreamRowStart = 0;  // where the row under way begins
  bool passStreamWhole = false;    // holds every row of a finished pass
  uint32_t passStreamPalette[256] = {};

  // The bytes a byte-stream run compresses, fed row by row (DeflateBytes.h).
  const uint8_t* streamBytes = nullptr;
  int64_t streamSize = 0;
  int streamRowLength = 0;

  // Row percentage through a reciprocal of the height.
  uint32_t percentFactor = 0;
  uint32_t percentCorrection = 0;
};

// Takes the job for a run: its callbacks (do-nothing ones where it has
// none), its choices, and a working state with nothing left of an earlier
// run.
void StartRun(EngineContext& ctx, EncodeJob* gpo);

// Forgets the kept filtered stream and frees its buffer.
void ReleasePassStream(EngineContext& ctx);

// Runs one job in the given context.  Independent contexts may run on
// independent threads at the same time; one context runs one job at a time.
// Same result and messages as OptimizePng.
int OptimizePngInContext(EngineContext& ctx, EncodeJob* gpo);
