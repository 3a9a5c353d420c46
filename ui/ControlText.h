// How the dialogs read numbers out of control texts.
//
// These are the rules of the edit fields (pass count, split threshold) and
// are the same whichever toolkit holds the text: the headless toolkit
// applies them to its own texts, the Windows toolkit to what the control
// returns.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace ui {

// The signed reading of the dialog manager's integer query: blanks, an
// optional sign and decimal digits, then nothing but blanks.  Empty when the
// text is not such a number or does not fit 32 bits.
std::optional<int32_t> ParseDialogInteger(std::string_view text);

// A decimal number: text starting with "?" is 0.0; otherwise the leading
// decimal number of the text (blanks, sign, digits, fraction, exponent), or
// 0.0 when it starts with none.  Only plain decimal notation is accepted, so
// "inf", "nan" and hexadecimal floats read as 0.0.
double ParseDialogDecimal(std::string_view text);

enum class RangeStatus : int {
  InRange = 0,     // a number within low..high
  OutOfRange = 1,  // a number outside it; the number is still reported
  NotANumber = 2,  // value 0
};

struct RangedInteger {
  RangeStatus status = RangeStatus::NotANumber;
  int32_t value = 0;
  bool operator==(const RangedInteger&) const = default;
};

RangedInteger ParseIntegerInRange(std::string_view text, int32_t low, int32_t high);

}  // namespace ui
