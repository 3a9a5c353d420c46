// The winner's image data deflated once more by Brumlex's optimal parser.
//
// The engine's pass loop decides everything a file is made of (colour type,
// palette, row filters) and ranks the runs; its parse, though, is the one
// the plug-in writes.  The optimal parser (engine/deflate/OptimalDeflate.h)
// holds the whole stream, parses each block as a shortest path, cuts blocks
// by their exact costs and may write fixed or stored blocks, which the pass
// loop never does.  So the winning file's filtered rows are inflated back
// and deflated again; the smaller stream stays.  Rows and every other chunk
// are kept exactly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "cli/ChunkChoice.h"
#include "cli/PngFileScan.h"
#include "cli/PngImageData.h"
#include "cli/search/RowRetrial.h"
#include "engine/deflate/OptimalDeflate.h"

// The compressor's settings of level 1..5; for 6 those of 5 with the
// longest search: ten randomised restarts and up to 60 parses per block
// (on a 768 x 512 photo 0.3 % smaller than 5 in four times its time); for
// 7 those of 6 with the longest match of every distance code listed as
// well as the nearest of every length (on that photo 0.06 % smaller than
// 6 in twice its time).
deflate::OptimalSettings OptimalSettingsOf(int level);

// The rows deflated at level under `plans` restart seeds (the first the
// level's own), written from the cheapest blocks of all the plans; one plan
// is OptimalDeflate's stream at that level.  When the first two plans come
// out the same size the others are left out: on a text screenshot's rows
// the top level's four plans wrote the same stream, for 30 s.  firstPlan:
// the rows' plan at the level's own seed, used when it holds one and handed
// back otherwise (deflate::OptimalDeflateCombined).
void DeflateAtLevel(const std::vector<uint8_t>& rows, int level, int plans, const deflate::RunEach& runEach,
                    std::vector<uint8_t>& zlib, deflate::OptimalStats* stats = nullptr,
                    deflate::OptimalPlan* firstPlan = nullptr);

// The IDAT stream of a file the engine wrote, deflated again at one level
// after another.  A small image at the top effort tries up to six levels on
// the same file, so its chunks are found and its rows inflated only once,
// at the first level asked for; each level then only deflates the rows.
class ImageDataRedeflate {
 public:
  // png stays the caller's and must outlive this object; every smaller
  // stream is spliced into it.
  explicit ImageDataRedeflate(std::vector<uint8_t>& png) : m_png(png) {}

  // Replaces png's IDAT stream by the optimal parser's stream at level
  // (1..7) when that is smaller than the one png holds now.  Answers whether
  // it did; a file it cannot read back is left alone.  With more than one
  // plan, the rows are planned under that many restart seeds and written
  // from the cheapest blocks of all (deflate::OptimalDeflateCombined), the
  // plans run by runEach.
  bool AtLevel(int level, int plans = 1, const deflate::RunEach& runEach = {});

  // The rows' filters chosen again under the codes of the optimal parser's
  // stream at codeLevel (cli/search/RowRetrial.h), once per sweep effort
  // given, and each new vector's rows deflated at level; png takes the
  // smallest stream when it is smaller than the one it holds now.  Only
  // for images of whole-byte pixels, not interlaced (the filters of an
  // interlaced pass's rows are another search).  Answers whether png changed.
  // plans and runEach: those of each new vector's deflate at level, as in
  // AtLevel.
  bool WithRetriedFilters(int codeLevel, int level, const std::vector<search::RetrialEffort>& sweeps,
                          int plans = 1, const deflate::RunEach& runEach = {});

 private:
  enum class State { Unread, Readable, Unreadable };

  bool Read();
  // Replaces png's IDAT stream by zlib, the deflated form of rows.
  void Take(std::vector<uint8_t> rows, std::vector<uint8_t> zlib);

  std::vector<uint8_t>& m_png;
  State m_state = State::Unread;
  // The file as first read: the scan's offsets point into it, and every
  // smaller stream is spliced around its chunks.
  std::vector<uint8_t> m_source;
  PngFileScan m_scan;
  std::vector<DataStream> m_streams;  // the IDAT stream alone
  std::vector<uint8_t> m_rows;        // its filtered rows
  size_t m_streamSize = 0;            // of the IDAT stream png holds now
  // Plans made of m_rows at a level's own seed, by level: a small image's
  // rows are deflated at the top level by one plan and later by several, of
  // which that is the first, and the retrial's codes come from a level the
  // rows were deflated at before.
  std::map<int, deflate::OptimalPlan> m_plans;
  // Every chunk of the engine's file stays; only the image data changes.
  ChunkChoice m_everything;
};
