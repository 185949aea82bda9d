// Decimal: exact numbers of up to 29 significant digits and 28 places.
//
// The magnitude lives in an unsigned __int128 kept below 2^96. Text is the
// source of every non-integer value (Parse, and FromDouble through the
// 15-digit text of the double), so that 0.1 becomes exactly 0.1. Wherever a
// result needs more digits than 96 bits hold, the fraction is rounded half to
// even in one step from the exact value (never digit by digit, which would
// round twice); when even an integer does not fit, the result is Overflow.
#include "runtime/decimal.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "runtime/com_error.h"
#include "runtime/value_number_text.h"
#include "runtime/value_wide.h"

namespace q6 {

namespace {

using u128 = unsigned __int128;
constexpr u128 kLimit = static_cast<u128>(1) << 96;
constexpr size_t kMaxDigits = 29;

u128 Pow10(int n) {
  u128 p = 1;
  for (int i = 0; i < n; ++i) p *= 10;
  return p;
}

enum class Status { kOk, kNotNumber, kOverflow };

struct Parts {
  u128 mag = 0;
  int scale = 0;
  bool negative = false;
};

// Rounds `m` * 10^-scale to the fewest dropped digits that make it fit 96
// bits and 28 places, half to even. False when the integer part alone is too
// large.
bool FitWide(const value::Wide& m, int scale, Parts* out) {
  int min_drop = scale > Decimal::kMaxScale ? scale - Decimal::kMaxScale : 0;
  for (int drop = min_drop; drop <= scale; ++drop) {
    value::Wide q = m;
    uint64_t last = 0;
    bool sticky = false;
    for (int i = 0; i < drop; ++i) {
      sticky = sticky || last != 0;
      last = q.DivSmall(10);
    }
    if (last > 5 || (last == 5 && (sticky || q.IsOdd()))) q.Add(value::Wide(1));
    if (q.Fits96()) {
      out->mag = q.Low128();
      out->scale = scale - drop;
      return true;
    }
  }
  return false;
}

// Turns scanned text into a Decimal value, rounding surplus fraction digits.
Status FromNumberText(const value::NumberText& n, Parts* out) {
  Parts p;
  p.negative = n.negative;
  const std::string& d = n.digits;
  if (d.empty()) {
    *out = Parts{};
    return Status::kOk;
  }
  const int64_t len = static_cast<int64_t>(d.size());
  if (n.exponent >= 0) {
    if (len + n.exponent > static_cast<int64_t>(kMaxDigits)) return Status::kOverflow;
    u128 m = 0;
    for (char c : d) m = m * 10 + static_cast<u128>(c - '0');
    m *= Pow10(static_cast<int>(n.exponent));
    if (m >= kLimit) return Status::kOverflow;
    p.mag = m;
    *out = p;
    return Status::kOk;
  }
  const int64_t scale = -n.exponent;
  if (len - scale > static_cast<int64_t>(kMaxDigits)) return Status::kOverflow;
  int64_t drop = std::max<int64_t>({0, scale - Decimal::kMaxScale, len - int64_t{kMaxDigits}});
  for (; drop <= scale; ++drop) {
    // The kept digits are the leading len - drop ones (none when drop >= len).
    int64_t keep = std::max<int64_t>(0, len - drop);
    u128 m = 0;
    for (int64_t i = 0; i < keep; ++i) m = m * 10 + static_cast<u128>(d[i] - '0');
    if (drop > 0 && drop <= len) {
      char first = d[keep];
      bool sticky = d.find_first_not_of('0', keep + 1) != std::string::npos;
      if (first > '5' || (first == '5' && (sticky || (m & 1)))) ++m;
    }
    if (m < kLimit) {
      p.mag = m;
      p.scale = static_cast<int>(scale - drop);
      p.negative = m != 0 && n.negative;
      *out = p;
      return Status::kOk;
    }
  }
  return Status::kOverflow;
}

Status ParseParts(std::string_view text, Parts* out) {
  value::NumberText n;
  if (!value::ScanNumber(text, &n)) return Status::kNotNumber;
  return FromNumberText(n, out);
}

value::Wide Aligned(u128 mag, int from_scale, int to_scale) {
  value::Wide w(mag);
  for (int i = from_scale; i < to_scale; ++i) w.MulSmall(10);
  return w;
}

}  // namespace

Decimal::Decimal(int64_t v) : negative_(v < 0) {
  mag_ = v < 0 ? static_cast<u128>(-(v + 1)) + 1 : static_cast<u128>(v);
}

Decimal Decimal::Parse(std::string_view text) {
  Parts p;
  switch (ParseParts(text, &p)) {
    case Status::kNotNumber:
      ThrowVb(kVbTypeMismatch);
    case Status::kOverflow:
      ThrowVb(kVbOverflow);
    case Status::kOk:
      break;
  }
  Decimal d;
  d.mag_ = p.mag;
  d.scale_ = p.scale;
  d.negative_ = p.negative;
  return d;
}

bool Decimal::TryParse(std::string_view text, Decimal* out) {
  Parts p;
  if (ParseParts(text, &p) != Status::kOk) return false;
  out->mag_ = p.mag;
  out->scale_ = p.scale;
  out->negative_ = p.negative;
  return true;
}

Decimal Decimal::FromDouble(double v) {
  if (!std::isfinite(v)) ThrowVb(kVbOverflow);
  if (v == 0) return Decimal();
  std::string digits;
  int exponent = 0;
  value::Significant15(v, &digits, &exponent);
  value::NumberText n;
  n.negative = v < 0;
  n.exponent = exponent - static_cast<int>(digits.size()) + 1;
  n.digits = std::move(digits);
  Parts p;
  if (FromNumberText(n, &p) != Status::kOk) ThrowVb(kVbOverflow);
  Decimal d;
  d.mag_ = p.mag;
  d.scale_ = p.scale;
  d.negative_ = p.negative;
  return d;
}

double Decimal::ToDouble() const {
  if (mag_ == 0) return 0.0;
  std::string text = value::U128ToDigits(mag_) + "e-" + std::to_string(scale_);
  double v = 0;
  std::from_chars(text.data(), text.data() + text.size(), v);
  return negative_ ? -v : v;
}

std::string Decimal::ToString() const {
  std::string digits = value::U128ToDigits(mag_);
  if (digits.size() <= static_cast<size_t>(scale_)) {
    digits.insert(0, static_cast<size_t>(scale_) + 1 - digits.size(), '0');
  }
  size_t point = digits.size() - static_cast<size_t>(scale_);
  std::string text = digits.substr(0, point);
  std::string fraction = digits.substr(point);
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  if (!fraction.empty()) text += "." + fraction;
  if (negative_ && mag_ != 0) text.insert(0, "-");
  return text;
}

int64_t Decimal::RoundToInt64() const {
  const u128 p = Pow10(scale_);
  u128 q = mag_ / p;
  const u128 r = mag_ % p;
  if (2 * r > p || (2 * r == p && (q & 1))) ++q;
  const u128 max_positive = static_cast<u128>(std::numeric_limits<int64_t>::max());
  if (q > max_positive + (negative_ ? 1 : 0)) ThrowVb(kVbOverflow);
  if (!negative_) return static_cast<int64_t>(q);
  return q == max_positive + 1 ? std::numeric_limits<int64_t>::min() : -static_cast<int64_t>(q);
}

Decimal Decimal::Rounded(int places) const {
  if (places < 0) places = 0;
  if (scale_ <= places) return *this;
  const u128 p = Pow10(scale_ - places);
  u128 q = mag_ / p;
  const u128 r = mag_ % p;
  if (2 * r > p || (2 * r == p && (q & 1))) ++q;
  Decimal d;
  d.mag_ = q;  // never more than the magnitude it came from, which fits
  d.scale_ = places;
  d.negative_ = negative_ && q != 0;
  return d;
}

Decimal Decimal::operator-() const {
  Decimal d = *this;
  if (d.mag_ != 0) d.negative_ = !d.negative_;
  return d;
}

Decimal operator+(const Decimal& a, const Decimal& b) {
  const int scale = std::max(a.scale_, b.scale_);
  value::Wide x = Aligned(a.mag_, a.scale_, scale);
  value::Wide y = Aligned(b.mag_, b.scale_, scale);
  bool negative = a.negative_;
  if (a.negative_ == b.negative_) {
    x.Add(y);
  } else if (Compare(x, y) >= 0) {
    x.Sub(y);
  } else {
    y.Sub(x);
    x = y;
    negative = b.negative_;
  }
  Parts p;
  if (!FitWide(x, scale, &p)) ThrowVb(kVbOverflow);
  Decimal d;
  d.mag_ = p.mag;
  d.scale_ = p.scale;
  d.negative_ = negative && p.mag != 0;
  return d;
}

Decimal operator-(const Decimal& a, const Decimal& b) { return a + (-b); }

bool operator==(const Decimal& a, const Decimal& b) { return (a <=> b) == 0; }

std::strong_ordering operator<=>(const Decimal& a, const Decimal& b) {
  const bool a_neg = a.negative_ && a.mag_ != 0;
  const bool b_neg = b.negative_ && b.mag_ != 0;
  if (a_neg != b_neg) return a_neg ? std::strong_ordering::less : std::strong_ordering::greater;
  const int scale = std::max(a.scale_, b.scale_);
  int c = Compare(Aligned(a.mag_, a.scale_, scale), Aligned(b.mag_, b.scale_, scale));
  if (a_neg) c = -c;
  return c < 0 ? std::strong_ordering::less
               : (c > 0 ? std::strong_ordering::greater : std::strong_ordering::equal);
}

}  // namespace q6
