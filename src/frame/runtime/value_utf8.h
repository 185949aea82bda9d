// UTF-8 text: decoding and simple case mapping.
//
// Case mapping uses the C.UTF-8 character tables through an explicit
// locale_t, so it covers Unicode letters and never depends on the process
// locale. Bytes that are not valid UTF-8 count as one character each and are
// kept unchanged.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace q6::value {

// Decodes the character at `pos`: its code point (or -1 for a byte that does
// not start a valid sequence) and its length in bytes (at least 1).
// REQUIRES: pos < s.size().
char32_t DecodeAt(std::string_view s, size_t pos, size_t* length, bool* valid);

void AppendUtf8(char32_t c, std::string* out);

// Simple lower-case mapping of one code point.
char32_t LowerOf(char32_t c);

}  // namespace q6::value
