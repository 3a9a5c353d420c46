// Arbitrary bytes as settings files, read back through the store.
//
// Input: one selector byte, then the rest.  The selector picks the value
// name (low three bits) and how the rest reaches the disk: as the raw file
// (damaged or foreign files, bit 3 clear) or wrapped in a sound value file
// of the type in bits 4-5 (arbitrary contents of well-formed values, which
// raw bytes would rarely reach past the checksum).  Every store read then
// runs, and the whole input is also parsed as keep list text.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/VELKORPSUI/SettingsStore.h"
#include "platform/posix/FileSettingsBackend.h"
#include "platform/posix/SettingsValueFile.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kNames[] = {kSaveDialogValue,  kStrategyValue,    kLimitPassesValue, kAdvancedOptionsValue,
                                  kKeepChunksValue,  kInstallPathValue, kKeepChunksValue,  kAdvancedOptionsValue};

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

struct Sandbox {
  Sandbox() {
    char pattern[] = "/tmp/velkor-fuzz-settings-XXXXXX";
    Check(::mkdtemp(pattern) != nullptr);
    root = pattern;
    userFolder = FileSettingsBackend::ModuleFolder(root / "user");
    machineFolder = FileSettingsBackend::ModuleFolder(root / "machine");
    fs::create_directories(userFolder);
    fs::create_directories(machineFolder);
  }
  ~Sandbox() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }
  fs::path root, userFolder, machineFolder;
};

void WriteRaw(const fs::path& path, const uint8_t* data, size_t size) {
  FILE* file = std::fopen(path.c_str(), "wb");
  Check(file != nullptr);
  if (size > 0) Check(std::fwrite(data, 1, size, file) == size);
  std::fclose(file);
}

// Wrapped without the store's atomic write: its fsync calls would cut the
// fuzzer's speed a hundredfold and are tested elsewhere.
void WriteWrapped(const fs::path& folder, const char* name, int typeSelector, const uint8_t* data, size_t size) {
  std::vector<uint8_t> payload(data, data + size);
  SettingsType type = SettingsType::Binary;
  if (typeSelector == 0) {
    type = SettingsType::String;
    payload.push_back(0);
  } else if (typeSelector == 1) {
    type = SettingsType::Number;
    payload.resize(4);
  }
  const auto file = EncodeSettingsValue(name, type, payload);
  if (file) WriteRaw(folder / name, file->data(), file->size());
}

bool EntriesAreChunkTypes(const KeepList& list) {
  if (list.IsAll()) return true;
  for (const auto& entry : list) {
    if (entry.size() != 4 || entry.find(',') != std::string::npos) return false;
  }
  return true;
}

void ReadEverything(SettingsStore& store) {
  store.ReadDialogChoice();
  uint32_t number = 12345;
  if (!store.ReadNumber(kStrategyValue, number)) Check(number == 12345);
  store.ReadNumber(kLimitPassesValue, number);

  AdvancedOptions options;
  if (store.ReadAdvancedOptions(options)) {
    Check(options.HasValidMembers());
  } else {
    Check(options.Serialize() == AdvancedOptions().Serialize());
  }

  KeepList list;
  list.Append("stale");
  if (store.ReadKeepList(list)) {
    Check(EntriesAreChunkTypes(list));
  } else {
    Check(list.IsEmpty());
  }

  const std::string path = store.ReadInstallPath();
  Check(path.empty() || (path.size() <= kMaxInstallPathBytes && path.back() == '/'));
}

void ParseAsKeepText(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  KeepList list;
  const bool remembered = list.Parse(text);
  Check(remembered == !text.empty());
  Check(EntriesAreChunkTypes(list));
  // What we write we read back unchanged.
  if (!list.IsEmpty()) {
    KeepList again;
    Check(again.Parse(list.Serialize()));
    Check(again == list);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Sandbox sandbox;
  ParseAsKeepText(data, size);
  if (size == 0) return 0;

  const uint8_t selector = data[0];
  const char* name = kNames[selector & 7];
  const fs::path& folder = std::string_view(name) == kInstallPathValue ? sandbox.machineFolder : sandbox.userFolder;
  if (selector & 8) {
    WriteWrapped(folder, name, (selector >> 4) & 3, data + 1, size - 1);
  } else {
    WriteRaw(folder / name, data + 1, size - 1);
    DecodeSettingsValue(name, std::span(data + 1, size - 1));
  }

  FileSettingsBackend backend(sandbox.root / "user", {sandbox.root / "machine"});
  SettingsStore store(backend);
  ReadEverything(store);

  std::error_code ignored;
  fs::remove(folder / name, ignored);
  return 0;
}
