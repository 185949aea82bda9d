// FORMAT(x, pattern[, culture]) on SQLite, for the patterns reports use:
// dates with the custom parts yyyy MM M dd d HH H hh mm ss fff tt and
// literal text; numbers with N0-N4, P0-P4 (P is P2), #,##0.00 and 0.00; the
// cultures en-US (the default) and zh-CN. Anything else raises an error
// naming what is not supported, never a guess.
#include <cstdio>
#include <string>

#include "platform/drivers/sqlite/sqlite_exact.h"
#include "platform/drivers/sqlite/sqlite_function_util.h"
#include "platform/tsql/functions.h"

namespace q6::sqlite {
namespace {

std::string NotSupported(std::string_view what, std::string_view text) {
  return "FORMAT: " + std::string(what) + " '" + std::string(text) + "' is not supported";
}

std::string Padded(int v, size_t width) {
  std::string s = std::to_string(v);
  return s.size() < width ? std::string(width - s.size(), '0') + s : s;
}

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The date written by the custom pattern; false with `error` set when the
// pattern holds a part this does not write.
bool FormatDate(const DateTime& d, std::string_view p, bool zh, std::string* out,
                std::string* error) {
  if (p.size() == 1) return *error = NotSupported("the standard format", p), false;
  for (size_t i = 0; i < p.size();) {
    const char c = p[i];
    if (c == '\'' || c == '"') {  // quoted literal text
      const size_t end = p.find(c, i + 1);
      if (end == std::string_view::npos) return *error = NotSupported("the pattern", p), false;
      out->append(p.substr(i + 1, end - i - 1));
      i = end + 1;
      continue;
    }
    if (c == '\\' && i + 1 < p.size()) {
      *out += p[i + 1];
      i += 2;
      continue;
    }
    if (!IsAsciiLetter(c)) {
      *out += c;
      ++i;
      continue;
    }
    size_t n = 1;
    while (i + n < p.size() && p[i + n] == c) ++n;
    const std::string part(p.substr(i, n));
    i += n;
    if (part == "yyyy")
      *out += Padded(d.year, 4);
    else if (part == "MM")
      *out += Padded(d.month, 2);
    else if (part == "M")
      *out += std::to_string(d.month);
    else if (part == "dd")
      *out += Padded(d.day, 2);
    else if (part == "d")
      *out += std::to_string(d.day);
    else if (part == "HH")
      *out += Padded(d.hour, 2);
    else if (part == "H")
      *out += std::to_string(d.hour);
    else if (part == "hh")
      *out += Padded(d.hour % 12 == 0 ? 12 : d.hour % 12, 2);
    else if (part == "mm")
      *out += Padded(d.minute, 2);
    else if (part == "ss")
      *out += Padded(d.second, 2);
    else if (part == "fff")
      *out += Padded(d.millis, 3);
    else if (part == "tt")
      *out += d.hour < 12 ? (zh ? "上午" : "AM") : (zh ? "下午" : "PM");
    else
      return *error = NotSupported("the date part", part), false;
  }
  return true;
}

// "1234567.50" with the thousands grouped: "1,234,567.50".
std::string Grouped(const std::string& plain) {
  const size_t digits_from = plain[0] == '-' ? 1 : 0;
  const size_t point = plain.find('.');
  const size_t int_end = point == std::string::npos ? plain.size() : point;
  std::string out(plain.substr(0, digits_from));
  for (size_t i = digits_from; i < int_end; ++i) {
    out += plain[i];
    const size_t left = int_end - i - 1;
    if (left > 0 && left % 3 == 0) out += ',';
  }
  return out + plain.substr(int_end);
}

// The number written by the pattern; false with `error` set otherwise.
bool FormatNumber(Exact x, std::string_view p, bool zh, std::string* out, std::string* error) {
  const bool n_format = p.size() <= 2 && (p[0] == 'N' || p[0] == 'n');
  const bool p_format = p.size() <= 2 && (p[0] == 'P' || p[0] == 'p');
  int places = 2;
  bool group = true;
  if (n_format || p_format) {
    if (p.size() == 2 && !(p[1] >= '0' && p[1] <= '4'))
      return *error = NotSupported("the number format", p), false;
    if (p.size() == 2) places = p[1] - '0';
  } else if (p == "0.00") {
    group = false;
  } else if (p != "#,##0.00") {
    return *error = NotSupported("the number format", p), false;
  }
  if (p_format) {  // a hundredth: the same digits, the point two places on
    if (x.scale >= 2) {
      x.scale -= 2;
    } else {
      for (int k = x.scale; k < 2; ++k) x.m *= 10;
      x.scale = 0;
    }
  }
  if (!Rescale(&x, places)) return *error = NotSupported("the number", "out of range"), false;
  std::string plain = FormatExact(x);
  if (plain.find_first_not_of("-0.") == std::string::npos && plain[0] == '-') plain.erase(0, 1);
  *out += group ? Grouped(plain) : plain;
  if (p_format) *out += zh ? "%" : " %";
  return true;
}

}  // namespace

void Format(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
    return;
  const std::string_view pattern = TextOf(argv[1]);
  bool zh = false;
  if (argc > 2) {
    const std::string culture = ValueText(argv[2]);
    std::string lower;
    for (const char c : culture) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    if (lower == "zh-cn")
      zh = true;
    else if (lower != "en-us")
      return ResultError(ctx, NotSupported("the culture", culture));
  }
  if (pattern.empty()) return;
  std::string out, error;
  const Operand o = Classify(argv[0]);
  bool ok = false;
  if (o.kind == Operand::kText) {
    const std::optional<DateTime> d = DateOf(argv[0]);
    if (!d) return ResultError(ctx, "FORMAT: argument 1 must be a number or a date");
    ok = FormatDate(*d, pattern, zh, &out, &error);
  } else {
    Exact x;
    if (o.kind == Operand::kInt) {
      x.m = o.i;
    } else if (o.kind == Operand::kDecimal) {
      x = o.x;
    } else {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.15g", o.d);
      std::optional<Exact> e = ParseExact(buf);
      if (!e) return ResultError(ctx, NotSupported("the number", buf));
      x = *e;
    }
    ok = FormatNumber(x, pattern, zh, &out, &error);
  }
  if (!ok) return ResultError(ctx, error);
  ResultText(ctx, out);
}

}  // namespace q6::sqlite
