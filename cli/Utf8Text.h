// UTF-8 as the command meets it in file names: usually well formed, but a
// Unix name is any bytes, so every user of a name as text must cope with
// bytes that are no UTF-8 at all.
//
// The text is read unit by unit: a unit is a whole well-formed sequence, or
// the longest start of one that the next byte does not continue (at least
// one byte), which is the ill-formed "maximal subpart" the Unicode standard
// replaces by one U+FFFD.  Overlong forms, surrogates and code points above
// U+10FFFF are ill formed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

struct Utf8Unit {
  size_t length = 0;   // bytes, 1 to 4 (0 only at the end of the text)
  bool valid = false;  // a well-formed sequence, not an ill-formed subpart
};

Utf8Unit Utf8UnitAt(std::string_view text, size_t pos);

// The longest start of text no more than limit bytes long that ends
// between units, so that a shortened name never ends in half a character.
size_t Utf8PrefixLength(std::string_view text, size_t limit);

// Outside text (a file name, a chunk type, a message quoting file bytes) as
// it may be shown on a terminal: every byte of a control character -- C0,
// DEL, and the C1 controls U+0080..U+009F in their UTF-8 form -- becomes
// "\xHH", so a name cannot move the cursor, clear or retitle the window, or
// hide a line.  The form is the one C, Python and bash's $'...' read, so
// the shown name says which bytes were there.  Everything else is kept:
// printable UTF-8 as it is, and ill-formed bytes as they came, which a UTF-8
// terminal shows as its replacement mark.
std::string TerminalText(std::string_view text);

// As Utf8PrefixLength, for text in its terminal form: nor does the prefix
// end inside a "\xHH", where "\x1" would read as another byte.
size_t TerminalPrefixLength(std::string_view shown, size_t limit);
