#include "common/VELKORPSUI/SettingsStore.h"

#include <array>
#include <optional>
#include <vector>

namespace {

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

constexpr size_t kNumberSize = 4;

std::array<uint8_t, kNumberSize> NumberBytes(uint32_t value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
          static_cast<uint8_t>(value >> 24)};
}

uint32_t NumberFromBytes(const std::vector<uint8_t>& bytes) {
  return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

// A stored string up to its first zero byte.  The registry does not promise
// the zero at the end, so the text is not cut blindly at size minus one.
std::string TextFromBytes(const std::vector<uint8_t>& bytes) {
  std::string text(bytes.begin(), bytes.end());
  const size_t zero = text.find('\0');
  if (zero != std::string::npos) text.resize(zero);
  return text;
}

std::optional<SettingsValue> ReadTyped(const SettingsBackend& backend, SettingsRoot root,
                                       std::string_view name, SettingsType type) {
  auto value = backend.Read(root, name);
  if (!value || value->type != type) return std::nullopt;
  return value;
}

}  // namespace

int SettingsStore::ReadDialogChoice() const {
  const auto value = m_backend.Read(SettingsRoot::CurrentUser, kSaveDialogValue);
  if (!value || value->data.size() != kNumberSize) return kDialogChoiceSimple;
  return static_cast<int>(NumberFromBytes(value->data));
}

bool SettingsStore::WriteDialogChoice(int choice) {
  return WriteNumber(kSaveDialogValue, static_cast<uint32_t>(choice));
}

bool SettingsStore::ReadNumber(std::string_view name, uint32_t& value) const {
  const auto stored = ReadTyped(m_backend, SettingsRoot::CurrentUser, name, SettingsType::Number);
  if (!stored || stored->data.size() != kNumberSize) return false;
  value = NumberFromBytes(stored->data);
  return true;
}

bool SettingsStore::WriteNumber(std::string_view name, uint32_t value) {
  return m_backend.Write(name, SettingsType::Number, NumberBytes(value));
}

bool SettingsStore::WriteAdvancedOptions(const AdvancedOptions& options) {
  if (options.m_size != AdvancedOptions::kRecordSize) return false;
  return m_backend.Write(kAdvancedOptionsValue, SettingsType::Binary, options.Serialize());
}

bool SettingsStore::ReadAdvancedOptions(AdvancedOptions& options) const {
  options = AdvancedOptions();
  const auto stored = ReadTyped(m_backend, SettingsRoot::CurrentUser, kAdvancedOptionsValue, SettingsType::Binary);
  if (!stored) return false;
  const auto record = AdvancedOptions::Deserialize(stored->data);
  if (!record) return false;
  options = *record;
  return true;
}

bool SettingsStore::ReadKeepList(KeepList& list) const {
  list.Clear();
  const auto stored = ReadTyped(m_backend, SettingsRoot::CurrentUser, kKeepChunksValue, SettingsType::String);
  if (!stored) return false;
  return list.Parse(TextFromBytes(stored->data));
}

bool SettingsStore::WriteKeepList(const KeepList& list) {
  if (list.IsEmpty()) return m_backend.Remove(kKeepChunksValue);
  const std::string text = list.Serialize();
  std::vector<uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return m_backend.Write(kKeepChunksValue, SettingsType::String, bytes);
}

std::string SettingsStore::ReadInstallPath() const {
  const auto stored = ReadTyped(m_backend, SettingsRoot::LocalMachine, kInstallPathValue, SettingsType::String);
  if (!stored || stored->data.size() > kMaxInstallPathBytes) return {};
  std::string path = TextFromBytes(stored->data);
  // An empty folder stays empty so the help file is looked up by its bare
  // name rather than at the file system's root.
  if (!path.empty() && path.back() != kPathSeparator) path += kPathSeparator;
  return path;
}
