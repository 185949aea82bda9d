// ExactDecimal: sign, integer digits and fraction digits as text.
//
// Text is read with the runtime's number grammar (the one every text to
// number conversion uses), then spelled out without an exponent. Sums line
// both numbers up digit for digit (integer parts padded on the left,
// fractions on the right) and run schoolbook addition or subtraction of the
// magnitudes, the larger minus the smaller when the signs differ.
#include "component/identifiers/exact_decimal.h"

#include <algorithm>

#include "runtime/com_error.h"
#include "runtime/value_number_text.h"

namespace q6 {
namespace {

// The magnitudes of two numbers as digit strings of equal length, the last
// `fraction` digits after the point.
struct Aligned {
  std::string a;
  std::string b;
  size_t fraction = 0;
};

Aligned Align(const std::string& ai, const std::string& af, const std::string& bi,
              const std::string& bf) {
  size_t ilen = std::max(ai.size(), bi.size());
  size_t flen = std::max(af.size(), bf.size());
  Aligned out;
  out.fraction = flen;
  out.a = std::string(ilen - ai.size(), '0') + ai + af + std::string(flen - af.size(), '0');
  out.b = std::string(ilen - bi.size(), '0') + bi + bf + std::string(flen - bf.size(), '0');
  return out;
}

// a + b for digit strings of equal length; the result may be one longer.
std::string AddDigits(const std::string& a, const std::string& b) {
  std::string out(a.size(), '0');
  int carry = 0;
  for (size_t i = a.size(); i-- > 0;) {
    int d = (a[i] - '0') + (b[i] - '0') + carry;
    out[i] = static_cast<char>('0' + d % 10);
    carry = d / 10;
  }
  if (carry) out.insert(out.begin(), '1');
  return out;
}

// a - b for digit strings of equal length. REQUIRES: a >= b.
std::string SubtractDigits(const std::string& a, const std::string& b) {
  std::string out(a.size(), '0');
  int borrow = 0;
  for (size_t i = a.size(); i-- > 0;) {
    int d = (a[i] - '0') - (b[i] - '0') - borrow;
    borrow = d < 0 ? 1 : 0;
    out[i] = static_cast<char>('0' + d + borrow * 10);
  }
  return out;
}

}  // namespace

bool ExactDecimal::TryParse(std::string_view text, ExactDecimal* out) {
  value::NumberText n;
  if (!value::ScanNumber(text, &n)) return false;
  ExactDecimal d;
  d.negative_ = n.negative;
  if (!n.digits.empty()) {
    if (n.exponent >= 0) {
      if (n.exponent > kMaxExponentDigits) ThrowVb(kVbOverflow);
      d.integer_ = n.digits + std::string(static_cast<size_t>(n.exponent), '0');
    } else {
      size_t places = static_cast<size_t>(-n.exponent);
      if (places > n.digits.size() + kMaxExponentDigits) ThrowVb(kVbOverflow);
      if (places >= n.digits.size()) {
        d.integer_ = "0";
        d.fraction_ = std::string(places - n.digits.size(), '0') + n.digits;
      } else {
        d.integer_ = n.digits.substr(0, n.digits.size() - places);
        d.fraction_ = n.digits.substr(n.digits.size() - places);
      }
    }
  }
  d.Normalise();
  *out = std::move(d);
  return true;
}

ExactDecimal ExactDecimal::Parse(std::string_view text) {
  ExactDecimal d;
  if (!TryParse(text, &d)) ThrowVb(kVbTypeMismatch);
  return d;
}

void ExactDecimal::Normalise() {
  size_t first = integer_.find_first_not_of('0');
  integer_ = first == std::string::npos ? "0" : integer_.substr(first);
  size_t last = fraction_.find_last_not_of('0');
  fraction_.resize(last == std::string::npos ? 0 : last + 1);
  if (IsZero()) negative_ = false;
}

std::string ExactDecimal::ToString() const {
  std::string out = negative_ ? "-" : "";
  out += integer_;
  if (!fraction_.empty()) out += "." + fraction_;
  return out;
}

ExactDecimal operator+(const ExactDecimal& x, const ExactDecimal& y) {
  Aligned al = Align(x.integer_, x.fraction_, y.integer_, y.fraction_);
  ExactDecimal r;
  std::string digits;
  if (x.negative_ == y.negative_) {
    digits = AddDigits(al.a, al.b);
    r.negative_ = x.negative_;
  } else if (al.a >= al.b) {  // equal lengths: text order is numeric order
    digits = SubtractDigits(al.a, al.b);
    r.negative_ = x.negative_;
  } else {
    digits = SubtractDigits(al.b, al.a);
    r.negative_ = y.negative_;
  }
  r.integer_ = digits.substr(0, digits.size() - al.fraction);
  r.fraction_ = digits.substr(digits.size() - al.fraction);
  r.Normalise();
  return r;
}

ExactDecimal operator-(const ExactDecimal& x, const ExactDecimal& y) {
  ExactDecimal negated = y;
  if (!negated.IsZero()) negated.negative_ = !negated.negative_;
  return x + negated;
}

ExactDecimal ExactDecimal::RoundedToInteger() const {
  ExactDecimal magnitude;
  magnitude.integer_ = integer_;
  if (!fraction_.empty() && fraction_[0] >= '5') magnitude = magnitude + ExactDecimal::Parse("1");
  magnitude.negative_ = negative_;
  magnitude.Normalise();
  return magnitude;
}

std::string ExactDecimal::ZeroPadded(size_t min_digits) const {
  ExactDecimal r = RoundedToInteger();
  std::string digits = r.integer_;
  if (digits.size() < min_digits) digits.insert(0, min_digits - digits.size(), '0');
  return (r.negative_ ? "-" : "") + digits;
}

}  // namespace q6
