// File names are any bytes.  Read as UTF-8 units, they must cover the name
// exactly, every unit called well formed must decode (by the plain rules,
// worked out here afresh) to a scalar value in its shortest form, and an
// ill-formed one must be no longer than a sequence can be.  The JSON report
// of such a name carries no raw control byte and no ill-formed UTF-8; its
// terminal form carries no control character (C0, DEL, C1) and changes
// nothing else; and a status line shortened to any width is a prefix within
// the width that ends between units and never inside an escape.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cli/FileReport.h"
#include "cli/ProgressDisplay.h"
#include "cli/Utf8Text.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// The scalar value of a sequence the reader called well formed, checked
// against the encoding's rules.
void CheckWellFormed(const std::string& text, size_t pos, size_t length) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[pos + i]); };
  static constexpr unsigned char kLeadMask[5] = {0, 0x80, 0xE0, 0xF0, 0xF8};
  static constexpr unsigned char kLeadBits[5] = {0, 0x00, 0xC0, 0xE0, 0xF0};
  static constexpr uint32_t kShortest[5] = {0, 0, 0x80, 0x800, 0x10000};
  Check((byte(0) & kLeadMask[length]) == kLeadBits[length]);
  uint32_t value = byte(0) & uint32_t(~kLeadMask[length] & 0xFF);
  for (size_t i = 1; i < length; ++i) {
    Check((byte(i) & 0xC0) == 0x80);
    value = value << 6 | (byte(i) & 0x3F);
  }
  Check(value >= kShortest[length] && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF));
}

bool EndsBetweenUnits(const std::string& text, size_t end) {
  size_t pos = 0;
  while (pos < end) pos += Utf8UnitAt(text, pos).length;
  return pos == end;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  const std::string name(reinterpret_cast<const char*>(data), size);
  for (size_t pos = 0; pos < name.size();) {
    const Utf8Unit unit = Utf8UnitAt(name, pos);
    Check(unit.length >= 1 && unit.length <= 4 && pos + unit.length <= name.size());
    if (unit.valid) CheckWellFormed(name, pos, unit.length);
    pos += unit.length;
  }

  FileOutcome outcome;
  outcome.name = name;
  outcome.reason = name;
  const std::string json = JsonReport(outcome);
  for (size_t pos = 0; pos < json.size();) {
    const Utf8Unit unit = Utf8UnitAt(json, pos);
    Check(unit.valid && static_cast<unsigned char>(json[pos]) >= 0x20);
    pos += unit.length;
  }

  // Put back, the escapes give the name again; what is no escape is the
  // name's own text.  A name's own backslashes are kept, so undoing is
  // checked where the name has none.
  const std::string shown = TerminalText(name);
  std::string undone;
  for (size_t pos = 0; pos < shown.size();) {
    const Utf8Unit unit = Utf8UnitAt(shown, pos);
    const unsigned char lead = static_cast<unsigned char>(shown[pos]);
    Check(lead >= 0x20 && lead != 0x7F);
    Check(!(unit.valid && lead == 0xC2 && static_cast<unsigned char>(shown[pos + 1]) < 0xA0));
    if (lead == '\\' && name.find('\\') == std::string::npos) {
      Check(pos + 4 <= shown.size() && shown[pos + 1] == 'x');
      undone += static_cast<char>(std::stoi(shown.substr(pos + 2, 2), nullptr, 16));
      pos += 4;
    } else {
      undone.append(shown, pos, unit.length);
      pos += unit.length;
    }
  }
  if (name.find('\\') == std::string::npos) Check(undone == name);

  ProgressDisplay display(true, false);
  display.SetTotal(1);
  display.Begin(0, name, 1);
  const std::string full = display.StatusText(0);
  for (size_t width = 1; width <= full.size() + 1; width += 1 + width / 8) {
    const std::string cut = display.StatusText(width);
    Check(cut.size() <= width - 1 && full.compare(0, cut.size(), cut) == 0 && EndsBetweenUnits(full, cut.size()));
    if (name.find('\\') == std::string::npos) {
      Check(cut.find('\\', cut.size() < 3 ? 0 : cut.size() - 3) == std::string::npos);
    }
  }
  return 0;
}
