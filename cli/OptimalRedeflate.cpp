#include "cli/OptimalRedeflate.h"

#include "cli/PngSplice.h"

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

bool ImageDataRedeflate::Read() {
  m_source = m_png;
  m_scan = ScanPngFile(m_source.data(), m_source.size());
  if (!m_scan.hasIhdr || m_scan.animated || !FindDataStreams(m_scan, m_source.data(), m_streams) ||
      m_streams.size() != 1) {
    return false;
  }
  if (!InflateDataStream(m_source.data(), m_scan, m_streams[0], m_rows)) return false;
  for (size_t i : m_streams[0].chunkIndexes) m_streamSize += m_scan.chunks[i].length;
  for (const ScannedChunk& chunk : m_scan.chunks) m_everything.kept.push_back(chunk.type);
  return true;
}

bool ImageDataRedeflate::AtLevel(int level) {
  if (m_state == State::Unread) m_state = Read() ? State::Readable : State::Unreadable;
  if (m_state != State::Readable) return false;
  std::vector<std::vector<uint8_t>> zlib(1);
  deflate::OptimalDeflate(m_rows.data(), m_rows.size(), OptimalSettingsOf(level), zlib[0]);
  if (zlib[0].size() >= m_streamSize) return false;
  m_streamSize = zlib[0].size();
  m_png = SplicePng(m_source.data(), m_scan, m_streams, zlib, m_everything);
  return true;
}
