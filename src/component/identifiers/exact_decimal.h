// Exact decimal numbers of any length, kept as digit text.
//
// Counters and document codes are stored as text and may be longer than any
// machine integer (an OID counter holds fifteen digits and more, a code may
// grow past ten). They are read, incremented and formatted here digit by
// digit, so no value is ever cut to 64 bits or rounded through a double.
#pragma once

#include <string>
#include <string_view>

namespace q6 {

class ExactDecimal {
 public:
  // Zero.
  ExactDecimal() = default;

  // Reads text such as "0000000123", " -12.50 ", "1e3": blanks around, an
  // optional sign, digits with an optional '.', an optional exponent.
  // Raises Type mismatch (13) for anything else (the empty text included),
  // Overflow (6) when an exponent would spell out more than kMaxExponentDigits
  // zeros.
  static ExactDecimal Parse(std::string_view text);
  // Like Parse; false (and *out untouched) instead of raising.
  static bool TryParse(std::string_view text, ExactDecimal* out);

  static constexpr long kMaxExponentDigits = 100000;

  bool negative() const { return negative_; }
  bool IsZero() const { return integer_ == "0" && fraction_.empty(); }
  // Digits before the point without leading zeros ("0" when none).
  const std::string& integer_digits() const { return integer_; }
  // Digits after the point without trailing zeros ("" when none).
  const std::string& fraction_digits() const { return fraction_; }

  // Plain decimal text: "-12.5", "124", "0". No leading or trailing zeros,
  // no exponent, '.' separator.
  std::string ToString() const;

  // The nearest integer, halves away from zero ("2.5" -> "3", "-2.5" -> "-3").
  ExactDecimal RoundedToInteger() const;

  // The integer as text with at least `min_digits` digits, zero-padded on the
  // left after any sign; more digits come out whole. The fraction is rounded
  // first (halves away from zero): with min_digits 10, 124 -> "0000000124",
  // -5 -> "-0000000005", 12345678901 -> "12345678901".
  std::string ZeroPadded(size_t min_digits) const;

  friend ExactDecimal operator+(const ExactDecimal& a, const ExactDecimal& b);
  friend ExactDecimal operator-(const ExactDecimal& a, const ExactDecimal& b);
  friend bool operator==(const ExactDecimal& a, const ExactDecimal& b) = default;

 private:
  // Normalises the digit strings and the sign of zero.
  void Normalise();

  bool negative_ = false;
  std::string integer_ = "0";
  std::string fraction_;
};

}  // namespace q6
