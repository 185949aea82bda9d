// Case-insensitive text on SQLite as under SQL Server's default collation.
//
// Letters are folded one code point at a time with the C library's Unicode
// tables (the C.UTF-8 locale, held in a locale object of its own so the
// process locale does not matter). Text that is not valid UTF-8 is read a
// byte at a time, so every input has a defined order.
#include <locale.h>
#include <sqlite3.h>
#include <wctype.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/drivers/sqlite/sqlite_function_util.h"
#include "platform/drivers/sqlite/sqlite_functions.h"
#include "platform/tsql/functions.h"
#include "runtime/value_utf8.h"

namespace q6::sqlite {
namespace {

locale_t Utf8Locale() {
  static const locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  return loc;
}

uint32_t Fold(uint32_t c) {
  if (c < 0x80) return c >= 'A' && c <= 'Z' ? c | 0x20 : c;
  const locale_t loc = Utf8Locale();
  return loc ? static_cast<uint32_t>(towlower_l(static_cast<wint_t>(c), loc)) : c;
}

// Decodes the code point at s[*i] and moves past it.
uint32_t Next(const unsigned char* s, size_t n, size_t* i) {
  const unsigned char b = s[(*i)++];
  if (b < 0xC0 || b > 0xF4) return b;
  const int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : 1;
  if (*i + extra > n) return b;
  uint32_t c = b & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    if ((s[*i + k] & 0xC0) != 0x80) return b;
    c = (c << 6) | (s[*i + k] & 0x3F);
  }
  *i += extra;
  return c;
}

std::vector<uint32_t> CodePoints(sqlite3_value* v, bool fold) {
  const auto* s = sqlite3_value_text(v);
  const size_t n = static_cast<size_t>(sqlite3_value_bytes(v));
  std::vector<uint32_t> out;
  out.reserve(n);
  for (size_t i = 0; i < n;) {
    const uint32_t c = Next(s, n, &i);
    out.push_back(fold ? Fold(c) : c);
  }
  return out;
}

int NoCase(void*, int na, const void* pa, int nb, const void* pb) {
  const auto* a = static_cast<const unsigned char*>(pa);
  const auto* b = static_cast<const unsigned char*>(pb);
  size_t la = static_cast<size_t>(na), lb = static_cast<size_t>(nb);
  // A date column's stored form compares without its tag
  // (sqlite_date_store.h): MAX(d) with a date as the dialect writes it.
  if (la > 0 && IsDateTag(static_cast<char>(a[0]))) ++a, --la;
  if (lb > 0 && IsDateTag(static_cast<char>(b[0]))) ++b, --lb;
  while (la > 0 && a[la - 1] == ' ') --la;
  while (lb > 0 && b[lb - 1] == ' ') --lb;
  // Bytes equal in both are equal folded: the common prefix is skipped at
  // once, eight bytes at a time (keys often share long prefixes), back to
  // just after its last ASCII byte, where a character starts in both.
  const size_t n = std::min(la, lb);
  size_t common = 0;
  for (uint64_t x, y; common + 8 <= n; common += 8) {
    std::memcpy(&x, a + common, 8);
    std::memcpy(&y, b + common, 8);
    if (x != y) break;
  }
  while (common < n && a[common] == b[common]) ++common;
  while (common > 0 && a[common - 1] >= 0x80) --common;
  size_t i = common, j = common;
  while (i < la && j < lb) {
    if ((a[i] | b[j]) < 0x80) {  // the common case, without decoding
      const unsigned char ca = a[i++], cb = b[j++];
      if (ca == cb) continue;
      const uint32_t x = Fold(ca), y = Fold(cb);
      if (x != y) return x < y ? -1 : 1;
      continue;
    }
    const uint32_t x = Fold(Next(a, la, &i)), y = Fold(Next(b, lb, &j));
    if (x != y) return x < y ? -1 : 1;
  }
  return (i < la) - (j < lb);
}

void MapCase(sqlite3_context* ctx, int, sqlite3_value** argv, bool upper) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  const std::vector<uint32_t> cps = CodePoints(argv[0], false);
  const locale_t loc = Utf8Locale();
  std::string out;
  out.reserve(cps.size());
  for (uint32_t c : cps) {
    if (c < 0x80) {
      if (upper && c >= 'a' && c <= 'z') c &= ~0x20u;
      if (!upper && c >= 'A' && c <= 'Z') c |= 0x20u;
    } else if (loc) {
      c = static_cast<uint32_t>(upper ? towupper_l(static_cast<wint_t>(c), loc)
                                      : towlower_l(static_cast<wint_t>(c), loc));
    }
    value::AppendUtf8(c, &out);
  }
  sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

constexpr uint32_t kNoEscape = 0xFFFFFFFF;

// Whether pattern element p[*pi] matches `c`; moves *pi past the element.
bool MatchOne(const std::vector<uint32_t>& p, size_t* pi, uint32_t c, uint32_t esc) {
  const uint32_t e = p[*pi];
  if (e == esc && *pi + 1 < p.size()) {
    *pi += 2;
    return p[*pi - 1] == c;
  }
  if (e == '_') {
    ++*pi;
    return true;
  }
  if (e == '[') {
    size_t close = *pi + 1;
    if (close < p.size() && p[close] == '^') ++close;
    if (close < p.size() && p[close] == ']') ++close;  // "[]" holds a ]
    while (close < p.size() && p[close] != ']') ++close;
    if (close < p.size()) {
      size_t k = *pi + 1;
      const bool negate = p[k] == '^' && k + 1 < close;
      if (negate) ++k;
      bool in = false;
      for (; k < close; ++k) {
        if (k + 2 < close && p[k + 1] == '-') {
          in = in || (c >= p[k] && c <= p[k + 2]);
          k += 2;
        } else {
          in = in || c == p[k];
        }
      }
      *pi = close + 1;
      return in != negate;
    }
  }
  ++*pi;
  return e == c;
}

// T-SQL LIKE: % any run, _ one character, [...] a class; both folded.
bool Like(const std::vector<uint32_t>& p, const std::vector<uint32_t>& v, uint32_t esc) {
  size_t pi = 0, vi = 0, star_p = SIZE_MAX, star_v = 0;
  while (vi < v.size()) {
    if (pi < p.size() && p[pi] == '%' && p[pi] != esc) {
      star_p = ++pi;
      star_v = vi;
      continue;
    }
    size_t next = pi;
    if (pi < p.size() && MatchOne(p, &next, v[vi], esc)) {
      pi = next;
      ++vi;
      continue;
    }
    if (star_p == SIZE_MAX) return false;
    pi = star_p;
    vi = ++star_v;
  }
  while (pi < p.size() && p[pi] == '%' && p[pi] != esc) ++pi;
  return pi == p.size();
}

bool AnyNull(int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i)
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
  return false;
}

// Position (from 1) of `find` in `s` at or after `from`; 0 when absent.
size_t Find(const std::vector<uint32_t>& find, const std::vector<uint32_t>& s, size_t from) {
  if (find.empty()) return 0;
  for (size_t i = from; i + find.size() <= s.size(); ++i) {
    size_t k = 0;
    while (k < find.size() && s[i + k] == find[k]) ++k;
    if (k == find.size()) return i + 1;
  }
  return 0;
}

bool IsAscii(sqlite3_value* v) {
  const auto* s = sqlite3_value_text(v);
  const int n = sqlite3_value_bytes(v);
  for (int i = 0; i < n; ++i)
    if (s[i] >= 0x80) return false;
  return true;
}

unsigned char AsciiFold(unsigned char c) { return c >= 'A' && c <= 'Z' ? c | 0x20 : c; }

// The byte offset of `find` in `s` from `from` on, ASCII letters folded;
// npos when absent.
size_t AsciiFind(std::string_view s, std::string_view find, size_t from) {
  if (find.empty() || find.size() > s.size()) return std::string_view::npos;
  for (size_t i = from; i + find.size() <= s.size(); ++i) {
    size_t k = 0;
    while (k < find.size() && AsciiFold(s[i + k]) == AsciiFold(find[k])) ++k;
    if (k == find.size()) return i;
  }
  return std::string_view::npos;
}

std::string_view View(sqlite3_value* v) {
  return {reinterpret_cast<const char*>(sqlite3_value_text(v)),
          static_cast<size_t>(sqlite3_value_bytes(v))};
}

// LIKE with a pattern of plain ASCII characters followed by '%' (a type
// prefix, say) on a value whose first bytes are ASCII: the prefix compared
// byte by byte, folded, without decoding. -1 when the shortcut does not apply.
int AsciiPrefixLike(std::string_view pattern, std::string_view value) {
  size_t n = pattern.size();
  while (n > 0 && pattern[n - 1] == '%') --n;
  if (n == pattern.size()) return -1;
  for (size_t k = 0; k < n; ++k) {
    const auto c = static_cast<unsigned char>(pattern[k]);
    if (c >= 0x80 || c == '%' || c == '_' || c == '[') return -1;
  }
  if (value.size() < n) return 0;  // fewer characters than the prefix
  for (size_t k = 0; k < n; ++k) {
    const auto v = static_cast<unsigned char>(value[k]);
    if (v >= 0x80) return -1;
    if (AsciiFold(v) != AsciiFold(static_cast<unsigned char>(pattern[k]))) return 0;
  }
  return 1;
}

}  // namespace

int CompareNoCase(std::string_view a, std::string_view b) {
  return NoCase(nullptr, static_cast<int>(a.size()), a.data(), static_cast<int>(b.size()),
                b.data());
}

void Upper(sqlite3_context* ctx, int n, sqlite3_value** argv) { MapCase(ctx, n, argv, true); }
void Lower(sqlite3_context* ctx, int n, sqlite3_value** argv) { MapCase(ctx, n, argv, false); }

// like(pattern, value [, escape]): what `value LIKE pattern` calls.
void LikeFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  if (argc == 2)
    if (const int r = AsciiPrefixLike(View(argv[0]), View(argv[1])); r >= 0)
      return sqlite3_result_int(ctx, r);
  uint32_t esc = kNoEscape;
  if (argc == 3) {
    const std::vector<uint32_t> e = CodePoints(argv[2], true);
    if (e.size() != 1) {
      sqlite3_result_error(ctx, "The escape character of LIKE must be one character", -1);
      return;
    }
    esc = e[0];
  }
  sqlite3_result_int(ctx, Like(CodePoints(argv[0], true), CodePoints(argv[1], true), esc));
}

void CharIndex(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  const int64_t start = argc == 3 ? sqlite3_value_int64(argv[2]) : 1;
  if (IsAscii(argv[0]) && IsAscii(argv[1])) {  // bytes are characters
    const std::string_view s = View(argv[1]);
    const size_t from = start > 1 ? static_cast<size_t>(start - 1) : 0;
    const size_t at = from > s.size() ? std::string_view::npos : AsciiFind(s, View(argv[0]), from);
    sqlite3_result_int64(ctx, at == std::string_view::npos ? 0 : static_cast<int64_t>(at) + 1);
    return;
  }
  sqlite3_result_int64(
      ctx, static_cast<int64_t>(Find(CodePoints(argv[0], true), CodePoints(argv[1], true),
                                     start > 1 ? static_cast<size_t>(start - 1) : 0)));
}

void PatIndex(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  std::vector<uint32_t> p = CodePoints(argv[0], true);
  std::vector<uint32_t> v = CodePoints(argv[1], true);
  const bool anywhere = !p.empty() && p[0] == '%';
  if (anywhere) p.erase(p.begin());
  for (size_t i = 0; i <= v.size(); ++i) {
    if (Like(p, std::vector<uint32_t>(v.begin() + static_cast<std::ptrdiff_t>(i), v.end()),
             kNoEscape)) {
      sqlite3_result_int64(ctx, i < v.size() || p.empty() ? static_cast<int64_t>(i) + 1 : 0);
      return;
    }
    if (!anywhere) break;
  }
  sqlite3_result_int64(ctx, 0);
}

// REPLACE finds `find` without regard to case, as under the default collation.
void Replace(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  if (IsAscii(argv[0]) && IsAscii(argv[1])) {
    const std::string_view s = View(argv[0]), find = View(argv[1]), with = View(argv[2]);
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    for (size_t at; (at = AsciiFind(s, find, i)) != std::string_view::npos; i = at + find.size()) {
      out.append(s.substr(i, at - i));
      out.append(with);
    }
    out.append(s.substr(i));
    sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
    return;
  }
  const std::vector<uint32_t> s = CodePoints(argv[0], false);
  std::vector<uint32_t> folded = s;
  for (uint32_t& c : folded) c = Fold(c);
  const std::vector<uint32_t> find = CodePoints(argv[1], true);
  const std::string with(reinterpret_cast<const char*>(sqlite3_value_text(argv[2])),
                         static_cast<size_t>(sqlite3_value_bytes(argv[2])));
  std::string out;
  size_t i = 0;
  for (size_t at; (at = Find(find, folded, i)) != 0; i = at - 1 + find.size()) {
    for (size_t k = i; k < at - 1; ++k) value::AppendUtf8(s[k], &out);
    out += with;
  }
  for (; i < s.size(); ++i) value::AppendUtf8(s[i], &out);
  sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

int RegisterNoCase(sqlite3* db) {
  const int rc = sqlite3_create_collation(db, "NOCASE", SQLITE_UTF8, nullptr, NoCase);
  // A join's Bloom filter misses values that this NOCASE holds equal but
  // whose trailing blanks differ (seen with SQLite 3.40, and with its own
  // RTRIM collation): the optimization is switched off on this connection.
  constexpr int kBloomFilter = 0x00080000;  // SQLITE_BloomFilter, not in the public header
  sqlite3_test_control(SQLITE_TESTCTRL_OPTIMIZATIONS, db, kBloomFilter);
  return rc;
}

}  // namespace q6::sqlite
