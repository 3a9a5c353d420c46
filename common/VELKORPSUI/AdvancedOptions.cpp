#include "common/VELKORPSUI/AdvancedOptions.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <limits>

static_assert(std::numeric_limits<double>::is_iec559, "the record stores IEEE 754 doubles");

namespace {

class LittleEndianWriter {
 public:
  explicit LittleEndianWriter(AdvancedOptions::Bytes& out) : m_out(out) {}
  void Put(size_t offset, uint64_t value, size_t width) {
    for (size_t i = 0; i < width; ++i) m_out[offset + i] = static_cast<uint8_t>(value >> (8 * i));
  }

 private:
  AdvancedOptions::Bytes& m_out;
};

uint64_t GetLittleEndian(std::span<const uint8_t> bytes, size_t offset, size_t width) {
  uint64_t value = 0;
  for (size_t i = width; i-- > 0;) value = (value << 8) | bytes[offset + i];
  return value;
}

}  // namespace

AdvancedOptions::Bytes AdvancedOptions::Serialize() const {
  Bytes bytes{};  // reserved gaps stay zero
  LittleEndianWriter out(bytes);
  out.Put(0, m_version, 4);
  out.Put(4, m_size, 4);
  out.Put(8, static_cast<uint32_t>(m_colorType), 4);
  out.Put(12, static_cast<uint32_t>(m_filter), 4);
  out.Put(16, static_cast<uint16_t>(m_bitDepth), 2);
  out.Put(18, static_cast<uint16_t>(m_paletteOrder), 2);
  out.Put(24, std::bit_cast<uint64_t>(m_splitThreshold), 8);
  out.Put(32, static_cast<uint32_t>(m_strategy), 4);
  out.Put(36, m_limitPasses, 1);
  out.Put(40, static_cast<uint32_t>(m_maxPasses), 4);
  return bytes;
}

std::optional<AdvancedOptions> AdvancedOptions::Deserialize(std::span<const uint8_t> bytes) {
  if (bytes.size() != kRecordSize) return std::nullopt;
  AdvancedOptions record;
  record.m_version = static_cast<uint32_t>(GetLittleEndian(bytes, 0, 4));
  record.m_size = static_cast<uint32_t>(GetLittleEndian(bytes, 4, 4));
  record.m_colorType = static_cast<int32_t>(GetLittleEndian(bytes, 8, 4));
  record.m_filter = static_cast<int32_t>(GetLittleEndian(bytes, 12, 4));
  record.m_bitDepth = static_cast<int16_t>(GetLittleEndian(bytes, 16, 2));
  record.m_paletteOrder = static_cast<int16_t>(GetLittleEndian(bytes, 18, 2));
  record.m_splitThreshold = std::bit_cast<double>(GetLittleEndian(bytes, 24, 8));
  record.m_strategy = static_cast<int32_t>(GetLittleEndian(bytes, 32, 4));
  record.m_limitPasses = static_cast<uint8_t>(GetLittleEndian(bytes, 36, 1));
  record.m_maxPasses = static_cast<int32_t>(GetLittleEndian(bytes, 40, 4));
  if (record.m_version != kVersion || record.m_size != kRecordSize || !record.HasValidMembers())
    return std::nullopt;
  return record;
}

bool AdvancedOptions::HasValidMembers() const {
  const bool colorTypeValid = m_colorType == -1 || m_colorType == 0 || m_colorType == 2 ||
                              m_colorType == 3 || m_colorType == 4 || m_colorType == 6;
  const bool bitDepthValid =
      m_bitDepth == -1 || m_bitDepth == 1 || m_bitDepth == 2 || m_bitDepth == 4 || m_bitDepth == 8;
  return colorTypeValid && bitDepthValid && m_filter >= -1 && m_filter <= 5 &&
         m_paletteOrder >= kPalettePreserve && m_paletteOrder <= kPaletteRegenerate &&
         std::isfinite(m_splitThreshold) && m_strategy >= 0 && m_strategy <= 4 && m_limitPasses <= 1 &&
         m_maxPasses >= 0;
}

AdvancedOptions BuildAdvancedOptions(const AdvancedDialogValues& values) {
  AdvancedOptions record;
  record.m_colorType = values.colorType;
  record.m_filter = values.filter;
  record.m_bitDepth = static_cast<int16_t>(values.bitDepth);
  record.m_paletteOrder = values.optimizePalette     ? kPaletteOptimize
                          : values.regeneratePalette ? kPaletteRegenerate
                                                     : kPalettePreserve;
  record.m_splitThreshold = ParseThresholdText(values.thresholdText);
  if (values.strategyPosition >= 0 && values.strategyPosition <= 4) record.m_strategy = values.strategyPosition;
  record.m_limitPasses = values.limitPasses ? 1 : 0;
  if (values.limitPasses) record.m_maxPasses = values.passNumber < 0 ? 0 : values.passNumber;
  return record;
}

double ParseThresholdText(std::string_view text) {
  // Like atof, but independent of the C locale's decimal point.
  while (!text.empty() && (text.front() == ' ' || (text.front() >= '\t' && text.front() <= '\r')))
    text.remove_prefix(1);
  // from_chars takes a leading '-' but not a '+'; "+-5" is no number.
  if (text.size() > 1 && text.front() == '+' && text[1] != '-') text.remove_prefix(1);
  double value = 0.0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || !std::isfinite(value)) return 0.0;
  return value;
}
