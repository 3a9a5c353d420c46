// Small builders shared by the settings tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/VELKORPSUI/KeepList.h"

namespace settings_test {

inline std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

// A stored string: the text and its terminating zero byte.
inline std::vector<uint8_t> StringBytes(std::string_view text) {
  auto bytes = Bytes(text);
  bytes.push_back(0);
  return bytes;
}

inline KeepList ListOf(const std::vector<std::string>& entries) {
  KeepList list;
  for (const auto& entry : entries) list.Append(entry);
  return list;
}

}  // namespace settings_test
