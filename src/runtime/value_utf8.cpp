// UTF-8 decoding and case mapping independent of the process locale.
//
// The case tables come from a C.UTF-8 locale object made once per process and
// kept for its lifetime; where that locale is missing, only ASCII letters are
// mapped, which is still the same answer in every process.
#include "runtime/value_utf8.h"

#include <locale.h>
#include <wctype.h>

namespace q6::value {

namespace {

locale_t CaseLocale() {
  static const locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  return loc;
}

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

}  // namespace

char32_t DecodeAt(std::string_view s, size_t pos, size_t* length, bool* valid) {
  const unsigned char b0 = static_cast<unsigned char>(s[pos]);
  *length = 1;
  *valid = true;
  if (b0 < 0x80) return b0;
  size_t n;
  char32_t c;
  char32_t min;
  if ((b0 & 0xE0) == 0xC0) {
    n = 2, c = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    n = 3, c = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    n = 4, c = b0 & 0x07, min = 0x10000;
  } else {
    *valid = false;
    return b0;
  }
  if (pos + n > s.size()) {
    *valid = false;
    return b0;
  }
  for (size_t i = 1; i < n; ++i) {
    const unsigned char b = static_cast<unsigned char>(s[pos + i]);
    if (!IsContinuation(b)) {
      *valid = false;
      return b0;
    }
    c = (c << 6) | (b & 0x3F);
  }
  // Overlong forms, surrogates and values beyond Unicode are not characters.
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    *valid = false;
    return b0;
  }
  *length = n;
  return c;
}

void AppendUtf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

char32_t LowerOf(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
  locale_t loc = CaseLocale();
  if (loc == static_cast<locale_t>(0)) return c;
  const char32_t lower = static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), loc));
  // A mapping must stay a valid scalar value to be written back.
  return (lower > 0x10FFFF || (lower >= 0xD800 && lower <= 0xDFFF)) ? c : lower;
}

bool EqualsFolded(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    // Two ASCII characters fold alone; anything else goes through the tables
    // (a non-ASCII letter may fold to an ASCII one).
    if (IsAsciiByte(a[i]) && IsAsciiByte(b[j])) {
      if (AsciiLower(a[i++]) != AsciiLower(b[j++])) return false;
      continue;
    }
    size_t la, lb;
    bool va, vb;
    const char32_t ca = DecodeAt(a, i, &la, &va);
    const char32_t cb = DecodeAt(b, j, &lb, &vb);
    if (va != vb) return false;
    if (va ? LowerOf(ca) != LowerOf(cb) : ca != cb) return false;
    i += la;
    j += lb;
  }
  return i == a.size() && j == b.size();
}

std::string LowerUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    if (IsAsciiByte(s[i])) {
      out.push_back(AsciiLower(s[i++]));
      continue;
    }
    size_t len;
    bool valid;
    const char32_t c = DecodeAt(s, i, &len, &valid);
    if (valid) {
      AppendUtf8(LowerOf(c), &out);
    } else {
      out.push_back(s[i]);
    }
    i += len;
  }
  return out;
}

size_t CountChars(std::string_view s) {
  size_t count = 0;
  for (size_t i = 0; i < s.size(); ++count) {
    size_t len;
    bool valid;
    DecodeAt(s, i, &len, &valid);
    i += len;
  }
  return count;
}

size_t FirstInvalidUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    if (IsAsciiByte(s[i])) {
      ++i;
      continue;
    }
    size_t len = 0;
    bool valid = false;
    DecodeAt(s, i, &len, &valid);
    if (!valid) return i;
    i += len;
  }
  return std::string_view::npos;
}

}  // namespace q6::value
