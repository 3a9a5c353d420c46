// Which ancillary chunk types the user wants carried into a saved file.
//
// A KeepList is in one of three states: empty (keep no ancillary chunk), the
// single entry "ALL" (keep every one, private chunks included), or a list of
// chunk types to keep.  Entries keep their order and may repeat.  An entry is
// normally one four-character type; the Keep Chunks dialog also appends the
// user's private-chunk text ("vpAg,gIFx") as one entry.  Both forms flatten
// to the same text, "type," per type, which is how the list is remembered:
// "ALL," for keep-all, "iCCP,gAMA,vpAg,gIFx," for a custom list.  Parsing
// that text back is forgiving, because it may have been typed or edited by
// hand: a missing final comma is supplied, and pieces that are not exactly
// four characters are dropped without complaint.  Case matters everywhere;
// chunk types are case-sensitive.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class KeepList {
 public:
  static constexpr std::string_view kAll = "ALL";

  void Clear() { m_entries.clear(); }
  void Append(std::string entry) { m_entries.push_back(std::move(entry)); }
  bool IsEmpty() const { return m_entries.empty(); }
  size_t Count() const { return m_entries.size(); }
  // The first entry; an empty text when the list is empty.
  const std::string& First() const;
  bool IsAll() const { return m_entries.size() == 1 && m_entries.front() == kAll; }
  void SetAll();

  const std::vector<std::string>& Entries() const { return m_entries; }
  auto begin() const { return m_entries.begin(); }
  auto end() const { return m_entries.end(); }

  // Replaces the list with the one the remembered text describes.  False
  // when the text is empty (nothing was remembered); true otherwise, even
  // when no piece of the text was a chunk type.
  bool Parse(std::string_view text);

  // The remembered text: every entry followed by a comma; empty for an
  // empty list.
  std::string Serialize() const;

  bool operator==(const KeepList&) const = default;

 private:
  std::vector<std::string> m_entries;
};
