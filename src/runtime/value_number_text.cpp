// Scanning and printing of numbers in text, independent of the process locale.
//
// The scanner reduces text to sign, significant digits and a decimal exponent,
// so that Decimal can round exactly and Double parsing can go through
// std::from_chars, which never looks at the locale.
#include "runtime/value_number_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace q6::value {

namespace {

// Exponents beyond this are clamped while scanning: they already put any
// number far outside every range we convert to.
constexpr int64_t kExponentClamp = 1'000'000'000;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool ScanNumber(std::string_view s, NumberText* out) {
  s = TrimBlanks(s);
  size_t i = 0;
  NumberText n;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) n.negative = s[i++] == '-';
  int64_t fraction_digits = 0;
  bool any_digit = false;
  bool seen_point = false;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c == '.' && !seen_point) {
      seen_point = true;
      continue;
    }
    if (!IsDigit(c)) break;
    any_digit = true;
    if (seen_point) ++fraction_digits;
    if (c != '0' || !n.digits.empty()) n.digits.push_back(c);
  }
  if (!any_digit) return false;
  int64_t exponent = 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    bool exp_negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) exp_negative = s[i++] == '-';
    if (i == s.size() || !IsDigit(s[i])) return false;
    for (; i < s.size() && IsDigit(s[i]); ++i) {
      if (exponent < kExponentClamp) exponent = exponent * 10 + (s[i] - '0');
    }
    if (exp_negative) exponent = -exponent;
  }
  if (i != s.size()) return false;
  n.exponent = exponent - fraction_digits;
  *out = std::move(n);
  return true;
}

ParseStatus ParseDouble(std::string_view s, double* out) {
  // Plain decimal text ("12.5", "-3e7", what files and engines hand over) is
  // read as it stands: within these characters the standard parser accepts
  // exactly what the scanner below accepts, and rounds the same value the
  // same way. Anything else (blanks, a leading '+', a value out of range) is
  // left to the scanner.
  if (!s.empty() && s.front() != '+' &&
      s.find_first_not_of("0123456789.eE+-") == std::string_view::npos) {
    double v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec == std::errc() && end == s.data() + s.size()) {
      *out = v;
      return ParseStatus::kOk;
    }
  }
  NumberText n;
  if (!ScanNumber(s, &n)) return ParseStatus::kNotNumber;
  double v = 0;
  if (!n.digits.empty()) {
    // Decimal position of the first significant digit.
    int64_t lead = n.exponent + static_cast<int64_t>(n.digits.size()) - 1;
    if (lead > 400) return ParseStatus::kOutOfRange;
    if (lead >= -400) {
      std::string text = n.digits + "e" + std::to_string(n.exponent);
      auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
      if (ec == std::errc::result_out_of_range) {
        if (lead > 0) return ParseStatus::kOutOfRange;
        v = 0;
      } else if (ec != std::errc() || end != text.data() + text.size()) {
        return ParseStatus::kNotNumber;
      }
    }
  }
  *out = n.negative ? -v : v;
  return ParseStatus::kOk;
}

void Significant15(double d, std::string* digits, int* exponent) {
  char buf[64];
  // "d.dddddddddddddde+XX": 15 significant digits, rounded from the exact
  // binary value, no locale involved.
  auto [end, ec] =
      std::to_chars(buf, buf + sizeof buf, std::fabs(d), std::chars_format::scientific, 14);
  std::string_view text(buf, ec == std::errc() ? end - buf : 0);
  size_t e = text.find('e');
  std::string out;
  for (size_t i = 0; i < e && i < text.size(); ++i) {
    if (text[i] != '.') out.push_back(text[i]);
  }
  while (out.size() > 1 && out.back() == '0') out.pop_back();
  *digits = std::move(out);
  *exponent = e == std::string_view::npos ? 0 : std::atoi(std::string(text.substr(e + 1)).c_str());
}

std::string FormatDouble15(double d) {
  if (std::isnan(d)) return "NaN";
  if (std::isinf(d)) return d < 0 ? "-Infinity" : "Infinity";
  if (d == 0) return "0";  // negative zero included
  std::string digits;
  int exp = 0;
  Significant15(d, &digits, &exp);
  const int n = static_cast<int>(digits.size());
  std::string out = d < 0 ? "-" : "";
  // Large magnitudes, and small ones whose zeros after the point plus their
  // digits exceed 15, take the exponent form "1.5E-15".
  if (exp >= 15 || (exp < 0 && (-exp - 1) + n > 15)) {
    out += digits[0];
    if (n > 1) out += "." + digits.substr(1);
    const int a = exp < 0 ? -exp : exp;
    out += exp < 0 ? "E-" : "E+";
    if (a < 10) out += '0';
    out += std::to_string(a);
  } else if (exp >= 0) {
    if (n <= exp + 1) {
      out += digits + std::string(static_cast<size_t>(exp + 1 - n), '0');
    } else {
      out += digits.substr(0, static_cast<size_t>(exp + 1)) + "." +
             digits.substr(static_cast<size_t>(exp + 1));
    }
  } else {
    out += "0." + std::string(static_cast<size_t>(-exp - 1), '0') + digits;
  }
  return out;
}

std::string U128ToDigits(unsigned __int128 v) {
  char buf[48];
  char* p = buf + sizeof buf;
  do {
    *--p = static_cast<char>('0' + static_cast<int>(v % 10));
    v /= 10;
  } while (v != 0);
  return std::string(p, buf + sizeof buf - p);
}

}  // namespace q6::value
