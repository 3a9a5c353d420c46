// File and member names as the stream layer compares them: letters compare
// without regard to case and "/" equals "\", because archive members are
// written by tools on systems that disagree on both.  The hash the archive
// index buckets its members by folds names the same way, so equal names
// always land in the same bucket.
#pragma once

#include <cstdint>

char FoldNameChar(char c);
bool NamesEqual(const char* a, const char* b);
// "*" matches any run of characters (separators included), "?" any one.
bool NameMatchesPattern(const char* pattern, const char* name);
// h = c - 3 * h over the folded characters (unsigned arithmetic).
uint32_t NameHash(const char* name);
