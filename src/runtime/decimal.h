// Exact decimal numbers of the automation Decimal type.
//
// A Decimal is a 96-bit unsigned magnitude, a sign and a scale of 0 to 28
// decimal places: at most 29 significant digits, exactly as the platform's
// Decimal holds them. Arithmetic that needs more digits rounds the fraction
// (half to even) and fails with Overflow (6) when the integer part does not
// fit.
#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/export.h"

namespace q6 {

class Q6FD_API Decimal {
 public:
  static constexpr int kMaxScale = 28;

  Decimal() = default;
  Decimal(int64_t v);  // NOLINT: integers convert implicitly

  // Parses "-123.450", "  7 ", "1e3". Fails with Type mismatch (13) for text
  // that is not a number and Overflow (6) for one out of range.
  static Decimal Parse(std::string_view text);
  // Like Parse but returns false instead of raising.
  static bool TryParse(std::string_view text, Decimal* out);
  // From a double, through its 15-significant-digit text form.
  // Fails with Overflow (6) for values out of range or not finite.
  static Decimal FromDouble(double v);

  bool negative() const { return negative_; }
  int scale() const { return scale_; }
  bool IsZero() const { return mag_ == 0; }

  double ToDouble() const;
  // Plain decimal text, trailing fraction zeros removed, '.' separator:
  // "12.5", "-0.001", "0".
  std::string ToString() const;
  // Rounds half to even to an integer. Fails with Overflow (6) beyond
  // the range of int64_t.
  int64_t RoundToInt64() const;
  // Rounded half to even to at most `places` decimal places (0 to 28); an
  // unchanged copy when it has no more.
  Decimal Rounded(int places) const;

  Decimal operator-() const;
  friend Q6FD_API Decimal operator+(const Decimal& a, const Decimal& b);
  friend Q6FD_API Decimal operator-(const Decimal& a, const Decimal& b);
  friend Q6FD_API bool operator==(const Decimal& a, const Decimal& b);
  friend Q6FD_API std::strong_ordering operator<=>(const Decimal& a, const Decimal& b);

 private:
  __extension__ unsigned __int128 mag_ = 0;  // < 2^96
  int scale_ = 0;
  bool negative_ = false;
};

}  // namespace q6
