#include "cli/OptimalRedeflate.h"

#include <algorithm>

#include "cli/PngSplice.h"
#include "cli/search/FilterSearch.h"

namespace {
// Above the compressor's own levels: 6 searches longest, 7 also lists the
// longest match of every distance code.
constexpr int kLongestSearchLevel = deflate::kOptimalLevelMax + 1;
constexpr int kEveryDistanceCodeLevel = kLongestSearchLevel + 1;
}  // namespace

deflate::OptimalSettings OptimalSettingsOf(int level) {
  deflate::OptimalSettings settings = deflate::OptimalLevelSettings(level);
  if (level >= kLongestSearchLevel) {
    settings.restarts = 10;
    settings.iterations = 60;
    settings.patience = 8;
  }
  if (level >= kEveryDistanceCodeLevel) settings.matchFinder.everyDistanceCode = true;
  return settings;
}

void DeflateAtLevel(const std::vector<uint8_t>& rows, int level, int plans, const deflate::RunEach& runEach,
                    std::vector<uint8_t>& zlib, deflate::OptimalStats* stats, deflate::OptimalPlan* firstPlan) {
  std::vector<deflate::OptimalSettings> runs;
  for (int k = 0; k < std::max(plans, 1); ++k) {
    runs.push_back(OptimalSettingsOf(level));
    runs.back().seedSalt = uint32_t(k);
  }
  deflate::OptimalDeflateCombined(rows.data(), rows.size(), runs, zlib, stats, runEach, true, firstPlan);
}

bool ImageDataRedeflate::Read() {
  m_source = m_png;
  m_scan = ScanPngFile(m_source.data(), m_source.size());
  if (!InflateStillImageData(m_source.data(), m_scan, m_streams, m_rows)) return false;
  m_streamSize = DataStreamBytes(m_scan, m_streams[0]);
  for (const ScannedChunk& chunk : m_scan.chunks) m_everything.kept.push_back(chunk.type);
  return true;
}

bool ImageDataRedeflate::AtLevel(int level, int plans, const deflate::RunEach& runEach) {
  if (m_state == State::Unread) m_state = Read() ? State::Readable : State::Unreadable;
  if (m_state != State::Readable) return false;
  std::vector<uint8_t> zlib;
  DeflateAtLevel(m_rows, level, plans, runEach, zlib, nullptr, &m_plans[level]);
  if (zlib.size() >= m_streamSize) return false;
  Take(std::move(m_rows), std::move(zlib));
  return true;
}

void ImageDataRedeflate::Take(std::vector<uint8_t> rows, std::vector<uint8_t> zlib) {
  m_rows = std::move(rows);
  m_streamSize = zlib.size();
  const std::vector<std::vector<uint8_t>> streams = {std::move(zlib)};
  m_png = SplicePng(m_source.data(), m_scan, m_streams, streams, m_everything);
}

bool ImageDataRedeflate::WithRetriedFilters(int codeLevel, int level, const std::vector<search::RetrialEffort>& sweeps,
                                            int plans, const deflate::RunEach& runEach) {
  if (m_state == State::Unread) m_state = Read() ? State::Readable : State::Unreadable;
  if (m_state != State::Readable || sweeps.empty()) return false;
  const ImageLayout& layout = m_streams[0].layout;
  UnfilteredRows rows;
  if (layout.interlaced || !UnfilteredImageRows(layout, m_rows, rows)) return false;
  const size_t stride = size_t(rows.rowBytes) + 1;
  std::vector<uint8_t> filters(size_t(rows.height));
  for (size_t y = 0; y < filters.size(); ++y) filters[y] = m_rows[y * stride];

  std::vector<uint8_t> zlib;
  deflate::OptimalStats written;
  deflate::OptimalPlan& coded = m_plans[codeLevel];
  if (coded.Empty()) coded = deflate::PlanOptimal(m_rows.data(), m_rows.size(), OptimalSettingsOf(codeLevel));
  deflate::WritePlan(m_rows.data(), m_rows.size(), coded, zlib, &written);
  // Every sweep starts from the same rows and codes; a vector another
  // sweep found already is not deflated again.
  std::vector<std::vector<uint8_t>> tried = {filters};
  bool taken = false;
  for (const search::RetrialEffort& effort : sweeps) {
    if (effort.stop && effort.stop->load()) break;
    search::RetriedFilters retried = search::RetryRowFilters(rows, filters, written.written, effort);
    if (std::find(tried.begin(), tried.end(), retried.filters) != tried.end() || (effort.stop && effort.stop->load())) {
      continue;
    }
    tried.push_back(std::move(retried.filters));
    std::vector<uint8_t> filtered = search::FilteredStream(rows, tried.back());
    deflate::OptimalPlan plan;
    DeflateAtLevel(filtered, level, plans, runEach, zlib, nullptr, &plan);
    if (zlib.size() >= m_streamSize) continue;
    Take(std::move(filtered), std::move(zlib));
    m_plans.clear();
    m_plans[level] = std::move(plan);
    taken = true;
  }
  return taken;
}
