#include "common/VELKORPSUI/KeepList.h"

namespace {
constexpr size_t kChunkTypeLength = 4;
}  // namespace

const std::string& KeepList::First() const {
  static const std::string kNone;
  return m_entries.empty() ? kNone : m_entries.front();
}

void KeepList::SetAll() {
  Clear();
  Append(std::string(kAll));
}

bool KeepList::Parse(std::string_view text) {
  Clear();
  if (text.empty()) return false;

  // The comma is supplied before the keep-all test, so "ALL" written by hand
  // means keep-all too.
  std::string terminated(text);
  if (terminated.back() != ',') terminated += ',';
  if (terminated == "ALL,") {
    SetAll();
    return true;
  }

  std::string_view rest = terminated;
  while (!rest.empty()) {
    const size_t comma = rest.find(',');  // always found: the text ends in one
    if (comma == kChunkTypeLength) Append(std::string(rest.substr(0, comma)));
    rest.remove_prefix(comma + 1);
  }
  return true;
}

std::string KeepList::Serialize() const {
  std::string text;
  for (const auto& entry : m_entries) {
    text += entry;
    text += ',';
  }
  return text;
}
