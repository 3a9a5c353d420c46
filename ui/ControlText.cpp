#include "ui/ControlText.h"

#include <charconv>
#include <cstddef>

namespace ui {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

size_t SkipDigits(std::string_view text, size_t at) {
  while (at < text.size() && IsDigit(text[at])) ++at;
  return at;
}

}  // namespace

std::optional<int32_t> ParseDialogInteger(std::string_view text) {
  size_t at = 0;
  while (at < text.size() && IsBlank(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';
  const size_t digitsStart = at;
  at = SkipDigits(text, at);
  if (at == digitsStart) return std::nullopt;
  for (size_t rest = at; rest < text.size(); ++rest) {
    if (!IsBlank(text[rest])) return std::nullopt;
  }
  int64_t magnitude = 0;
  for (size_t i = digitsStart; i < at; ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > int64_t(INT32_MAX) + 1) return std::nullopt;
  }
  const int64_t value = negative ? -magnitude : magnitude;
  if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
  return int32_t(value);
}

double ParseDialogDecimal(std::string_view text) {
  if (!text.empty() && text.front() == '?') return 0.0;
  size_t at = 0;
  while (at < text.size() && (IsBlank(text[at]) || text[at] == '\n' || text[at] == '\r')) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';
  const size_t mantissa = at;
  at = SkipDigits(text, at);
  bool anyDigit = at > mantissa;
  if (at < text.size() && text[at] == '.') {
    const size_t fraction = at + 1;
    const size_t end = SkipDigits(text, fraction);
    anyDigit = anyDigit || end > fraction;
    at = end;
  }
  if (!anyDigit) return 0.0;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    size_t exponent = at + 1;
    if (exponent < text.size() && (text[exponent] == '-' || text[exponent] == '+')) ++exponent;
    const size_t end = SkipDigits(text, exponent);
    if (end > exponent) at = end;
  }
  // from_chars takes no leading sign; it is applied afterwards.
  double value = 0.0;
  const char* first = text.data() + mantissa;
  const auto parsed = std::from_chars(first, text.data() + at, value);
  // A number beyond the range of a double names no usable value.
  if (parsed.ec != std::errc()) return 0.0;
  return negative ? -value : value;
}

RangedInteger ParseIntegerInRange(std::string_view text, int32_t low, int32_t high) {
  const std::optional<int32_t> number = ParseDialogInteger(text);
  if (!number) return {RangeStatus::NotANumber, 0};
  const bool inside = *number >= low && *number <= high;
  return {inside ? RangeStatus::InRange : RangeStatus::OutOfRange, *number};
}

}  // namespace ui
