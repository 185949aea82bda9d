// UTF-8 text: character counts and simple case mapping.
//
// Case mapping uses the C.UTF-8 character tables through an explicit
// locale_t, so it covers Unicode letters and never depends on the process
// locale (where that locale is missing, only ASCII letters map). Bytes that
// are not valid UTF-8 count as one character each and are kept unchanged.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "runtime/internal_export.h"

namespace q6::value {

// Decodes the character at `pos`: its code point and its length in bytes.
// A byte that does not start a valid sequence (overlong forms and surrogates
// included) comes back alone, as its byte value, with *valid false.
// REQUIRES: pos < s.size().
Q6FD_INTERNAL char32_t DecodeAt(std::string_view s, size_t pos, size_t* length, bool* valid);

// Appends the UTF-8 form of code point `c`.
Q6FD_INTERNAL void AppendUtf8(char32_t c, std::string* out);

// Simple lower-case mapping of one code point.
Q6FD_INTERNAL char32_t LowerOf(char32_t c);

// Equal after mapping every letter to lower case.
Q6FD_INTERNAL bool EqualsFolded(std::string_view a, std::string_view b);
// A byte below 0x80, and its lower case (A-Z only); names from code are
// ASCII, and these skip the tables for them.
inline bool IsAsciiByte(char c) { return static_cast<unsigned char>(c) < 0x80; }
inline char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}
// Equal after mapping A-Z to lower case (names as engines fold them).
inline bool EqualsAsciiFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}
// `s` with every letter mapped to lower case.
Q6FD_INTERNAL std::string LowerUtf8(std::string_view s);
// Number of code points (invalid bytes count one each).
Q6FD_INTERNAL size_t CountChars(std::string_view s);
// The offset of the first byte of `s` that is not part of a valid UTF-8
// sequence (as DecodeAt judges); npos when all of `s` is valid.
Q6FD_INTERNAL size_t FirstInvalidUtf8(std::string_view s);

}  // namespace q6::value
