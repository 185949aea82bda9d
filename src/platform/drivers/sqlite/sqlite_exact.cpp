// Exact decimals on SQLite: their two forms, parsing, text and rounding.
#include "platform/drivers/sqlite/sqlite_exact.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/drivers/sqlite/sqlite_date_store.h"

namespace q6::sqlite {
namespace {

using i128 = __int128;

// Subtypes of computed decimals: kSubtypeBase + scale, money apart.
constexpr unsigned kSubtypeBase = 0xA0;
constexpr unsigned kMoneySubtype = 0xF0;

constexpr i128 Pow10(int n) {
  i128 r = 1;
  for (int i = 0; i < n; ++i) r *= 10;
  return r;
}

const i128 kLimit = Pow10(kMaxPrecision);  // 10^38: one digit too many

}  // namespace

int DigitCount(i128 m) {
  // Compared with the powers of ten (a 128-bit division is a library call).
  if (m < 0) m = -m;
  int n = 1;
  for (i128 p = 10; n < 39 && m >= p; p *= 10)
    if (++n == 39) break;  // 10^39 does not fit
  return n;
}

std::optional<Exact> ParseExact(std::string_view t) {
  Exact x;
  if (!t.empty() && (t.front() == kDecimalTag || t.front() == kMoneyTag)) {
    x.money = t.front() == kMoneyTag;
    t.remove_prefix(1);
  }
  while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
  while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
  bool neg = false;
  if (!t.empty() && (t.front() == '-' || t.front() == '+')) {
    neg = t.front() == '-';
    t.remove_prefix(1);
  }
  bool point = false, any = false;
  int digits = 0;
  for (char c : t) {
    if (c == '.' && !point) {
      point = true;
    } else if (c >= '0' && c <= '9') {
      any = true;
      if (digits > 0 || c != '0') ++digits;
      if (digits > kMaxPrecision) return std::nullopt;
      x.m = x.m * 10 + (c - '0');
      if (point) ++x.scale;
    } else {
      return std::nullopt;
    }
  }
  if (!any || x.scale > kMaxPrecision) return std::nullopt;
  if (neg) x.m = -x.m;
  return x;
}

size_t WriteExact(const Exact& x, char* out) {
  // The significant digits, from the right end of a scratch buffer: 19 at a
  // time through 64 bits, which divide fast.
  char digits[40];
  char* const end = digits + sizeof digits;
  char* p = end;
  i128 m = x.m < 0 ? -x.m : x.m;
  do {
    uint64_t low = static_cast<uint64_t>(m % 10000000000000000000ULL);
    m /= 10000000000000000000ULL;
    // A chunk below the leading one keeps its zeros.
    for (int k = 0; k < 19 && (m > 0 || low > 0 || k == 0); ++k) {
      *--p = static_cast<char>('0' + low % 10);
      low /= 10;
    }
  } while (m > 0);
  const size_t n = static_cast<size_t>(end - p);
  const size_t scale = x.scale > 0 ? static_cast<size_t>(x.scale) : 0;
  char* o = out;
  if (x.m < 0) *o++ = '-';
  if (n > scale) {
    std::memcpy(o, p, n - scale);
    o += n - scale;
  } else {
    *o++ = '0';
  }
  if (scale > 0) {
    *o++ = '.';
    const size_t zeros = scale > n ? scale - n : 0;
    std::memset(o, '0', zeros);
    o += zeros;
    std::memcpy(o, end - (scale - zeros), scale - zeros);
    o += scale - zeros;
  }
  return static_cast<size_t>(o - out);
}

std::string FormatExact(const Exact& x) {
  std::string out(kExactChars + static_cast<size_t>(x.scale > 0 ? x.scale : 0), '\0');
  out.resize(WriteExact(x, out.data()));
  return out;
}

bool Rescale(Exact* x, int scale, bool cut) {
  if (scale > kMaxPrecision) scale = kMaxPrecision;
  if (scale >= x->scale) {
    const int up = scale - x->scale;
    if (x->m != 0 && DigitCount(x->m) + up > kMaxPrecision) return false;
    x->m *= Pow10(up);
  } else {
    const i128 f = Pow10(x->scale - scale);
    i128 q = x->m / f;
    const i128 r = x->m % f;
    if (!cut && (r < 0 ? -r : r) * 2 >= f) q += x->m < 0 ? -1 : 1;
    x->m = q;
  }
  x->scale = scale;
  return (x->m < 0 ? -x->m : x->m) < kLimit;
}

double ToDouble(const Exact& x) {
  const i128 am = x.m < 0 ? -x.m : x.m;
  // Both exact in a double: one division, correctly rounded.
  if (am < (static_cast<i128>(1) << 53) && x.scale <= 22)
    return static_cast<double>(static_cast<int64_t>(x.m)) / static_cast<double>(Pow10(x.scale));
  return std::strtod(FormatExact(x).c_str(), nullptr);
}

namespace {

// The exact value of a computed decimal read back from its double.
std::optional<Exact> FromDouble(double d, int scale, bool money) {
  Exact x;
  x.scale = scale;
  x.money = money;
  const double scaled = d * static_cast<double>(Pow10(scale));
  if (std::fabs(scaled) < 4.0e15) {
    x.m = static_cast<i128>(std::llround(scaled));
    return x;
  }
  char buf[400];
  if (!(std::fabs(d) < 1e38)) return std::nullopt;
  std::snprintf(buf, sizeof buf, "%.*f", scale, d);
  std::optional<Exact> p = ParseExact(buf);
  if (p) p->money = money;
  return p;
}

}  // namespace

Operand Classify(sqlite3_value* v) {
  Operand o;
  switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
      return o;
    case SQLITE_INTEGER:
      o.kind = Operand::kInt;
      o.i = sqlite3_value_int64(v);
      return o;
    case SQLITE_FLOAT: {
      o.d = sqlite3_value_double(v);
      const unsigned sub = sqlite3_value_subtype(v);
      const bool money = sub == kMoneySubtype;
      if (money || (sub >= kSubtypeBase && sub <= kSubtypeBase + kMaxPrecision)) {
        if (std::optional<Exact> x = FromDouble(o.d, money ? 4 : sub - kSubtypeBase, money)) {
          o.kind = Operand::kDecimal;
          o.x = *x;
          return o;
        }
      }
      o.kind = Operand::kFloat;
      return o;
    }
    default: {  // text and blobs
      const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
      o.text =
          p ? std::string_view(p, static_cast<size_t>(sqlite3_value_bytes(v))) : std::string_view();
      o.kind = Operand::kText;
      if (!o.text.empty() && (o.text.front() == kDecimalTag || o.text.front() == kMoneyTag)) {
        if (std::optional<Exact> x = ParseExact(o.text)) {
          o.kind = Operand::kDecimal;
          o.x = *x;
        }
      }
      return o;
    }
  }
}

void ResultExact(sqlite3_context* ctx, Exact x) {
  const double d = ToDouble(x);
  const std::optional<Exact> back = FromDouble(d, x.scale, x.money);
  if (!back || back->m != x.m) {
    const std::string msg =
        "An exact decimal result of more than " + std::to_string(kComputedDigits) +
        " significant digits is not supported on SQLite (" + FormatExact(x) + ").";
    sqlite3_result_error(ctx, msg.c_str(), static_cast<int>(msg.size()));
    return;
  }
  sqlite3_result_double(ctx, d);
  sqlite3_result_subtype(ctx, x.money ? kMoneySubtype : kSubtypeBase + x.scale);
}

size_t WriteStoredText(const Exact& x, char* out) {
  out[0] = x.money ? kMoneyTag : kDecimalTag;
  return 1 + WriteExact(x, out + 1);
}

std::string StoredText(const Exact& x) {
  std::string out(1 + kExactChars + static_cast<size_t>(x.scale > 0 ? x.scale : 0), '\0');
  out.resize(WriteStoredText(x, out.data()));
  return out;
}

std::string ValueText(sqlite3_value* v) {
  const Operand o = Classify(v);
  if (o.kind == Operand::kText) {
    if (const std::optional<DateType> type = StoredDateType(o.text))
      if (const std::optional<DateTime> d = ParseDateTime(o.text))
        return DefaultDateText(*d, *type);
  }
  if (o.kind != Operand::kDecimal) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return p ? std::string(p, static_cast<size_t>(sqlite3_value_bytes(v))) : std::string();
  }
  Exact x = o.x;
  if (x.money) Rescale(&x, 2);
  return FormatExact(x);
}

bool IsExact(sqlite3_value* v) { return Classify(v).kind == Operand::kDecimal; }

int CompareExact(Exact a, Exact b) {
  const int scale = a.scale > b.scale ? a.scale : b.scale;
  if (Rescale(&a, scale) && Rescale(&b, scale)) return a.m < b.m ? -1 : a.m > b.m ? 1 : 0;
  const double x = ToDouble(a), y = ToDouble(b);
  return x < y ? -1 : x > y ? 1 : 0;
}

}  // namespace q6::sqlite
