#include "cli/Utf8Text.h"

namespace {

// The sequence a lead byte starts: its length and the range its second
// byte must fall in (the later bytes are always 0x80..0xBF).  The narrowed
// second-byte ranges are what exclude overlong forms (E0, F0), surrogates
// (ED) and code points past U+10FFFF (F4).
struct Lead {
  size_t length;
  unsigned char secondLow, secondHigh;
};

Lead LeadOf(unsigned char byte) {
  if (byte < 0x80) return {1, 0, 0};
  if (byte >= 0xC2 && byte <= 0xDF) return {2, 0x80, 0xBF};
  if (byte == 0xE0) return {3, 0xA0, 0xBF};
  if (byte == 0xED) return {3, 0x80, 0x9F};
  if (byte >= 0xE1 && byte <= 0xEF) return {3, 0x80, 0xBF};
  if (byte == 0xF0) return {4, 0x90, 0xBF};
  if (byte >= 0xF1 && byte <= 0xF3) return {4, 0x80, 0xBF};
  if (byte == 0xF4) return {4, 0x80, 0x8F};
  return {0, 0, 0};  // a continuation byte, C0, C1 or F5..FF: never a start
}

}  // namespace

Utf8Unit Utf8UnitAt(std::string_view text, size_t pos) {
  if (pos >= text.size()) return {0, false};
  const Lead lead = LeadOf(static_cast<unsigned char>(text[pos]));
  if (lead.length == 0) return {1, false};
  size_t n = 1;
  while (n < lead.length && pos + n < text.size()) {
    const unsigned char byte = static_cast<unsigned char>(text[pos + n]);
    const unsigned char low = n == 1 ? lead.secondLow : 0x80;
    const unsigned char high = n == 1 ? lead.secondHigh : 0xBF;
    if (byte < low || byte > high) break;
    ++n;
  }
  return {n, n == lead.length};
}

size_t Utf8PrefixLength(std::string_view text, size_t limit) {
  size_t end = 0;
  while (end < text.size()) {
    const size_t next = end + Utf8UnitAt(text, end).length;
    if (next > limit) break;
    end = next;
  }
  return end;
}

size_t TerminalPrefixLength(std::string_view shown, size_t limit) {
  const size_t end = Utf8PrefixLength(shown, limit);
  // An escape is four bytes: one starting in the last three is cut.
  for (size_t i = end < 3 ? 0 : end - 3; i < end; ++i) {
    if (shown.compare(i, 2, "\\x") == 0) return i;
  }
  return end;
}

std::string TerminalText(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    const Utf8Unit unit = Utf8UnitAt(text, pos);
    const unsigned char lead = static_cast<unsigned char>(text[pos]);
    const bool c0OrDel = lead < 0x20 || lead == 0x7F;
    const bool c1 = unit.valid && lead == 0xC2 && static_cast<unsigned char>(text[pos + 1]) < 0xA0;
    if (c0OrDel || c1) {
      for (size_t i = 0; i < unit.length; ++i) {
        static constexpr char kHex[] = "0123456789abcdef";
        const unsigned char byte = static_cast<unsigned char>(text[pos + i]);
        shown += "\\x";
        shown += kHex[byte >> 4];
        shown += kHex[byte & 0xF];
      }
    } else {
      shown.append(text, pos, unit.length);
    }
    pos += unit.length;
  }
  return shown;
}
