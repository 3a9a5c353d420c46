#include "platform/posix/SettingsValueFile.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint8_t kMagic[4] = {'V', 'K', 'S', 'V'};
constexpr uint8_t kFormatVersion = 1;

void PutLittleEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

uint32_t GetLittleEndian(const uint8_t* p, int bytes) {
  uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | p[i];
  return value;
}

bool IsKnownType(uint32_t code) {
  return code == static_cast<uint32_t>(SettingsType::String) ||
         code == static_cast<uint32_t>(SettingsType::Binary) ||
         code == static_cast<uint32_t>(SettingsType::Number);
}

// The shape each type must have, so a file of ours never carries a value the
// other realisation could not have written either.
bool PayloadFitsType(SettingsType type, std::span<const uint8_t> payload) {
  switch (type) {
    case SettingsType::Number:
      return payload.size() == 4;
    case SettingsType::String:
      return !payload.empty() && payload.back() == 0;
    case SettingsType::Binary:
      return true;
  }
  return false;
}

}  // namespace

uint32_t SettingsCrc32(std::span<const uint8_t> bytes) {
  // Bitwise: values are tiny and read a few times per save, so a table
  // would buy nothing.
  uint32_t crc = 0xFFFFFFFFu;
  for (uint8_t byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return crc ^ 0xFFFFFFFFu;
}

std::optional<std::vector<uint8_t>> EncodeSettingsValue(std::string_view name, SettingsType type,
                                                        std::span<const uint8_t> payload) {
  if (name.empty() || name.size() > kMaxSettingsNameLength) return std::nullopt;
  if (payload.size() > kMaxSettingsPayload || !PayloadFitsType(type, payload)) return std::nullopt;

  std::vector<uint8_t> file;
  file.reserve(kSettingsFileOverhead + name.size() + payload.size());
  file.insert(file.end(), std::begin(kMagic), std::end(kMagic));
  file.push_back(kFormatVersion);
  file.push_back(static_cast<uint8_t>(type));
  PutLittleEndian(file, static_cast<uint32_t>(name.size()), 2);
  PutLittleEndian(file, static_cast<uint32_t>(payload.size()), 4);
  file.insert(file.end(), name.begin(), name.end());
  file.insert(file.end(), payload.begin(), payload.end());
  PutLittleEndian(file, SettingsCrc32(file), 4);
  return file;
}

std::optional<SettingsValue> DecodeSettingsValue(std::string_view name, std::span<const uint8_t> file) {
  // Every length is checked against the file size before it is used; the
  // sizes are bounded, so the sums below cannot overflow.
  if (file.size() < kSettingsFileOverhead || file.size() > kMaxSettingsFileSize) return std::nullopt;
  const uint8_t* p = file.data();
  if (std::memcmp(p, kMagic, sizeof kMagic) != 0 || p[4] != kFormatVersion) return std::nullopt;
  const uint32_t typeCode = p[5];
  const size_t nameLength = GetLittleEndian(p + 6, 2);
  const size_t payloadLength = GetLittleEndian(p + 8, 4);
  if (!IsKnownType(typeCode) || payloadLength > kMaxSettingsPayload) return std::nullopt;
  if (file.size() != kSettingsFileOverhead + nameLength + payloadLength) return std::nullopt;

  const size_t checkedLength = file.size() - 4;
  if (SettingsCrc32(file.first(checkedLength)) != GetLittleEndian(p + checkedLength, 4)) return std::nullopt;

  const std::string_view storedName(reinterpret_cast<const char*>(p + 12), nameLength);
  if (storedName != name) return std::nullopt;

  SettingsValue value;
  value.type = static_cast<SettingsType>(typeCode);
  const auto payload = file.subspan(12 + nameLength, payloadLength);
  if (!PayloadFitsType(value.type, payload)) return std::nullopt;
  value.data.assign(payload.begin(), payload.end());
  return value;
}
