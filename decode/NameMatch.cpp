#include "decode/NameMatch.h"

char FoldNameChar(char c) {
  if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
  if (c == '/') return '\\';
  return c;
}

bool NamesEqual(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (FoldNameChar(*a) != FoldNameChar(*b)) return false;
  return *a == *b;
}

bool NameMatchesPattern(const char* pattern, const char* name) {
  // Iterative matching with one backtrack point: the last "*" seen.  Linear
  // in practice and never recursive, so hostile patterns cannot blow the stack.
  const char* starPattern = nullptr;
  const char* starName = nullptr;
  while (*name) {
    if (*pattern == '*') {
      starPattern = ++pattern;
      starName = name;
    } else if (*pattern == '?' || (*pattern && FoldNameChar(*pattern) == FoldNameChar(*name))) {
      ++pattern;
      ++name;
    } else if (starPattern) {
      pattern = starPattern;
      name = ++starName;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

uint32_t NameHash(const char* name) {
  uint32_t h = 0;
  for (; *name; ++name) h = static_cast<uint32_t>(static_cast<unsigned char>(FoldNameChar(*name))) - 3 * h;
  return h;
}
