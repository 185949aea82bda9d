// Arithmetic with SQL Server's types on SQLite: the binary operators + - * /
// % as the dialect layer writes them (tsql_add, tsql_sub, tsql_mul,
// tsql_div, tsql_mod), SUM and AVG, and the stored form of decimal columns.
//
// The operands are taken by SQL Server's type families (sqlite_exact.h):
// integers, floats, exact decimals (money apart) and text. The result has
// the type of the higher one (float > decimal > money > integer > text),
// and a text beside a number is converted to that number's type, as SQL
// Server converts it: '1' + 1 is 2, 'A7' = ... + 1 is error 245, '1.5' + 1 is
// error 245 too (not an int), '1.5' + 1.0 is 2.5. Two texts are joined by +.
// A text that converts to no number beside + or - may be a date, which then
// moves by days. Errors carry SQL Server's messages: divide by zero (8134),
// arithmetic overflow (8115), conversion (245, 8114).
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/drivers/sqlite/sqlite_exact.h"
#include "platform/drivers/sqlite/sqlite_function_util.h"
#include "platform/tsql/functions.h"

namespace q6::sqlite {
namespace {

using i128 = __int128;

constexpr const char* kDivideByZero = "Divide by zero error encountered.";
constexpr const char* kIntOverflow =
    "Arithmetic overflow error converting expression to data type bigint.";
constexpr const char* kNumericOverflow =
    "Arithmetic overflow error converting expression to data type numeric.";

enum class Op { kAdd, kSub, kMul, kDiv, kMod };

const char* OpName(Op op) {
  switch (op) {
    case Op::kAdd:
      return "add";
    case Op::kSub:
      return "subtract";
    case Op::kMul:
      return "multiply";
    case Op::kDiv:
      return "divide";
    default:
      return "modulo";
  }
}

Exact FromInt(int64_t i) {
  Exact x;
  x.m = i;
  return x;
}

// The precision SQL Server gives an operand: its declared one is not known
// here, so a decimal counts its digits and an integer is an int or bigint.
int PrecisionOf(const Operand& o) {
  if (o.kind == Operand::kInt) return o.i >= INT32_MIN && o.i <= INT32_MAX ? 10 : 19;
  const int digits = DigitCount(o.x.m);
  return digits > o.x.scale ? digits : o.x.scale + 1;
}

// A text operand converted to the type of the other one. False after
// setting SQL Server's error when it does not convert.
bool ConvertText(sqlite3_context* ctx, Operand* t, const Operand& other, bool report) {
  const std::string_view text = t->text;
  if (other.kind == Operand::kInt) {
    const std::optional<Number> n = ParseNumber(text);
    if (n && n->integral) {
      t->kind = Operand::kInt;
      t->i = n->i;
      return true;
    }
    // An empty or blank text is 0 as an int.
    if (text.find_first_not_of(' ') == std::string_view::npos) {
      t->kind = Operand::kInt;
      t->i = 0;
      return true;
    }
    if (report) ResultError(ctx, ConversionFailed(text, "int"));
    return false;
  }
  if (other.kind == Operand::kDecimal) {
    if (const std::optional<Exact> x = ParseExact(text)) {
      t->kind = Operand::kDecimal;
      t->x = *x;
      t->x.money = false;
      return true;
    }
    if (report) ResultError(ctx, "Error converting data type varchar to numeric.");
    return false;
  }
  const std::optional<Number> n = ParseNumber(text);
  if (n) {
    t->kind = Operand::kFloat;
    t->d = n->d;
    return true;
  }
  if (report) ResultError(ctx, "Error converting data type varchar to float.");
  return false;
}

// Integers: 64-bit, overflow is an error; / and % cut toward zero.
void IntOp(sqlite3_context* ctx, Op op, int64_t a, int64_t b) {
  int64_t r = 0;
  bool over = false;
  switch (op) {
    case Op::kAdd:
      over = __builtin_add_overflow(a, b, &r);
      break;
    case Op::kSub:
      over = __builtin_sub_overflow(a, b, &r);
      break;
    case Op::kMul:
      over = __builtin_mul_overflow(a, b, &r);
      break;
    case Op::kDiv:
    case Op::kMod:
      if (b == 0) return ResultError(ctx, kDivideByZero);
      if (a == INT64_MIN && b == -1) {
        if (op == Op::kMod) return sqlite3_result_int64(ctx, 0);
        over = true;
        break;
      }
      r = op == Op::kDiv ? a / b : a % b;
      break;
  }
  if (over) return ResultError(ctx, kIntOverflow);
  sqlite3_result_int64(ctx, r);
}

void FloatOp(sqlite3_context* ctx, Op op, double a, double b) {
  double r = 0;
  switch (op) {
    case Op::kAdd:
      r = a + b;
      break;
    case Op::kSub:
      r = a - b;
      break;
    case Op::kMul:
      r = a * b;
      break;
    case Op::kDiv:
      if (b == 0) return ResultError(ctx, kDivideByZero);
      r = a / b;
      break;
    case Op::kMod:
      if (b == 0) return ResultError(ctx, kDivideByZero);
      r = std::fmod(a, b);
      break;
  }
  if (!std::isfinite(r)) return ResultError(ctx, "Arithmetic overflow error for type float.");
  sqlite3_result_double(ctx, r);
}

// Decimals, with SQL Server's result scales: + - keep the larger scale, *
// adds them, / takes max(6, s1 + p2 + 1) and cuts; money with money or an
// integer stays money (4 places, rounded).
void ExactOp(sqlite3_context* ctx, Op op, const Operand& oa, const Operand& ob) {
  Exact a = oa.kind == Operand::kInt ? FromInt(oa.i) : oa.x;
  Exact b = ob.kind == Operand::kInt ? FromInt(ob.i) : ob.x;
  const bool money = (a.money || oa.kind == Operand::kInt) && (b.money || ob.kind == Operand::kInt);
  Exact r;
  r.money = money;
  switch (op) {
    case Op::kAdd:
    case Op::kSub:
    case Op::kMod: {
      const int scale = a.scale > b.scale ? a.scale : b.scale;
      if (!Rescale(&a, scale) || !Rescale(&b, scale)) return ResultError(ctx, kNumericOverflow);
      r.scale = scale;
      if (op == Op::kMod) {
        if (b.m == 0) return ResultError(ctx, kDivideByZero);
        r.m = a.m % b.m;
      } else {
        r.m = op == Op::kAdd ? a.m + b.m : a.m - b.m;
      }
      break;
    }
    case Op::kMul:
      if (__builtin_mul_overflow(a.m, b.m, &r.m)) return ResultError(ctx, kNumericOverflow);
      r.scale = a.scale + b.scale;
      break;
    case Op::kDiv: {
      if (b.m == 0) return ResultError(ctx, kDivideByZero);
      int scale = 6;
      if (!money) {
        const int s = a.scale + PrecisionOf(ob) + 1;
        if (s > scale) scale = s;
      } else {
        scale = 4;
      }
      // a / b at `scale` places: a * 10^(scale - a.scale + b.scale) / b, cut.
      // Working digits are bounded by 38: beyond them the scale shrinks, as
      // SQL Server's does, to no fewer than 6 places.
      int shift = scale - a.scale + b.scale;
      while (shift > 0 && DigitCount(a.m) + shift > kMaxPrecision && scale > 6) {
        --shift;
        --scale;
      }
      Exact n = a;
      n.scale = 0;
      if (shift >= 0) {
        if (!Rescale(&n, shift)) return ResultError(ctx, kNumericOverflow);
      } else {
        n.m = a.m;
        b.m = b.m;  // shift < 0: divide the divisor instead
        Exact d = b;
        d.scale = 0;
        if (!Rescale(&d, -shift)) return ResultError(ctx, kNumericOverflow);
        b.m = d.m;
      }
      // One more place to round money half away from zero.
      i128 q = money ? (n.m * 10) / b.m : n.m / b.m;
      if (money) q = (q + (q < 0 ? -5 : 5)) / 10;
      r.m = q;
      r.scale = scale;
      // A quotient keeps at most the digits a computed decimal holds.
      const int excess = DigitCount(r.m) - kComputedDigits;
      if (excess > 0 && r.scale > 0)
        Rescale(&r, r.scale - (excess < r.scale ? excess : r.scale), true);
      break;
    }
  }
  if (DigitCount(r.m) > kMaxPrecision) return ResultError(ctx, kNumericOverflow);
  ResultExact(ctx, r);
}

// A date held as text, moved by `days` (a fraction is part of a day).
bool MoveDate(sqlite3_context* ctx, std::string_view text, double days) {
  const std::optional<DateTime> d = ParseDateTime(text);
  if (!d) return false;
  ResultText(ctx, FormatStored(FromMillis(MillisOf(*d) + std::llround(days * 86400000.0))));
  return true;
}

double AsDouble(const Operand& o) {
  switch (o.kind) {
    case Operand::kInt:
      return static_cast<double>(o.i);
    case Operand::kDecimal:
      return ToDouble(o.x);
    default:
      return o.d;
  }
}

void Arith(sqlite3_context* ctx, sqlite3_value** argv, Op op) {
  Operand a = Classify(argv[0]);
  Operand b = Classify(argv[1]);
  if (a.kind == Operand::kNull || b.kind == Operand::kNull) return;
  if (a.kind == Operand::kText && b.kind == Operand::kText) {
    if (op != Op::kAdd)
      return ResultError(ctx, std::string("Operand data type varchar is invalid for ") +
                                  OpName(op) + " operator.");
    std::string s(a.text);
    s += b.text;
    return ResultText(ctx, s);
  }
  const bool dates = op == Op::kAdd || op == Op::kSub;
  if (a.kind == Operand::kText || b.kind == Operand::kText) {
    Operand& t = a.kind == Operand::kText ? a : b;
    const Operand& n = a.kind == Operand::kText ? b : a;
    const std::string_view text = t.text;
    if (!ConvertText(ctx, &t, n, !dates)) {
      if (!dates) return;
      const double days = AsDouble(n) * (op == Op::kAdd ? 1 : -1);
      if ((op == Op::kSub && &t == &b) || !MoveDate(ctx, text, days))
        return ResultError(ctx, ConversionFailed(text, "int"));
      return;
    }
  }
  if (a.kind == Operand::kFloat || b.kind == Operand::kFloat)
    return FloatOp(ctx, op, AsDouble(a), AsDouble(b));
  if (a.kind == Operand::kDecimal || b.kind == Operand::kDecimal) return ExactOp(ctx, op, a, b);
  IntOp(ctx, op, a.i, b.i);
}

// The order of a and b as SQL Server compares them: a text beside a number
// is converted to that number's type first (errors 245 and 8114 when it
// does not convert), numbers compare by value, two texts without case and
// trailing blanks. nullopt when either is NULL, and after setting an error.
std::optional<int> Order(sqlite3_context* ctx, sqlite3_value* va, sqlite3_value* vb) {
  Operand a = Classify(va);
  Operand b = Classify(vb);
  if (a.kind == Operand::kNull || b.kind == Operand::kNull) return std::nullopt;
  if (a.kind == Operand::kText && b.kind == Operand::kText) return CompareNoCase(a.text, b.text);
  if (a.kind == Operand::kText && !ConvertText(ctx, &a, b, true)) return std::nullopt;
  if (b.kind == Operand::kText && !ConvertText(ctx, &b, a, true)) return std::nullopt;
  if (a.kind == Operand::kFloat || b.kind == Operand::kFloat) {
    const double x = AsDouble(a), y = AsDouble(b);
    return x < y ? -1 : x > y ? 1 : 0;
  }
  if (a.kind == Operand::kDecimal || b.kind == Operand::kDecimal)
    return CompareExact(a.kind == Operand::kInt ? FromInt(a.i) : a.x,
                        b.kind == Operand::kInt ? FromInt(b.i) : b.x);
  return a.i < b.i ? -1 : a.i > b.i ? 1 : 0;
}

// SUM and AVG: integers add up exactly in 128 bits, decimals at the largest
// scale seen, floats as doubles; one float makes the result a float. SQLite
// hands the state out zero-filled, which is the empty state.
struct Accumulator {
  i128 m;  // integers and decimals, at `scale`
  int scale;
  double d;
  int64_t count;
  bool any_decimal;
  bool any_float;
  bool not_money;  // a value other than money was seen
  bool overflow;
};

// The state of the aggregate, aligned for its 128-bit integer (SQLite's
// memory is aligned to 8 bytes); null when `create` is false and there is
// none, or when memory ran out.
Accumulator* StateOf(sqlite3_context* ctx, bool create) {
  void* raw = sqlite3_aggregate_context(ctx, create ? sizeof(Accumulator) + 16 : 0);
  if (raw == nullptr) return nullptr;
  const auto at = (reinterpret_cast<uintptr_t>(raw) + 15) & ~static_cast<uintptr_t>(15);
  return reinterpret_cast<Accumulator*>(at);
}

// Adds v to the state (`sign` 1), or takes it out again (-1: a row that
// leaves a window).
void Accumulate(sqlite3_context* ctx, sqlite3_value* v, const char* fn, int sign = 1) {
  Accumulator* acc = StateOf(ctx, true);
  if (acc == nullptr) return sqlite3_result_error_nomem(ctx);
  Operand o = Classify(v);
  if (o.kind == Operand::kNull) return;
  if (o.kind == Operand::kText) {  // a varchar of digits counts as a decimal
    const std::optional<Exact> x = ParseExact(o.text);
    if (!x)
      return ResultError(
          ctx, std::string("Operand data type varchar is invalid for ") + fn + " operator.");
    o.kind = Operand::kDecimal;
    o.x = *x;
  }
  acc->count += sign;
  if (sign < 0) {
    o.i = -o.i;
    o.d = -o.d;
    o.x.m = -o.x.m;
  }
  switch (o.kind) {
    case Operand::kInt:
      acc->not_money = true;
      if (acc->scale == 0) {
        acc->overflow |= __builtin_add_overflow(acc->m, static_cast<i128>(o.i), &acc->m);
      } else {
        Exact x = FromInt(o.i);
        acc->overflow |= !Rescale(&x, acc->scale);
        acc->m += x.m;
      }
      acc->d += static_cast<double>(o.i);
      break;
    case Operand::kFloat:
      acc->any_float = true;
      acc->d += o.d;
      break;
    default: {
      acc->any_decimal = true;
      acc->not_money = acc->not_money || !o.x.money;
      Exact x = o.x;
      if (x.scale > acc->scale) {
        Exact total{acc->m, acc->scale, false};
        acc->overflow |= !Rescale(&total, x.scale);
        acc->m = total.m;
        acc->scale = x.scale;
      } else if (x.scale < acc->scale) {
        acc->overflow |= !Rescale(&x, acc->scale);
      }
      acc->m += x.m;
      acc->d += ToDouble(o.x);
      break;
    }
  }
}

// The sum as a result; false (after setting it) when it is a float or an
// error.
void ResultTotal(sqlite3_context* ctx, const Accumulator& acc, bool average) {
  if (acc.count == 0) return sqlite3_result_null(ctx);
  if (acc.any_float) {
    const double r = average ? acc.d / static_cast<double>(acc.count) : acc.d;
    return sqlite3_result_double(ctx, r);
  }
  const i128 limit = static_cast<i128>(1) << 120;
  if (acc.overflow || acc.m > limit || acc.m < -limit)
    return ResultError(ctx, acc.any_decimal ? kNumericOverflow : kIntOverflow);
  if (!acc.any_decimal) {
    const i128 r = average ? acc.m / acc.count : acc.m;  // an integer average is cut
    if (r > INT64_MAX || r < INT64_MIN) return ResultError(ctx, kIntOverflow);
    return sqlite3_result_int64(ctx, static_cast<int64_t>(r));
  }
  const bool money = !acc.not_money;
  Exact x{acc.m, acc.scale, money};
  if (average) {
    // SQL Server: decimal(38, max(s, 6)), cut; money stays money, rounded.
    const int scale = money ? 4 : (acc.scale > 6 ? acc.scale : 6);
    const bool ok = Rescale(&x, money ? scale + 1 : scale);
    if (!ok) return ResultError(ctx, kNumericOverflow);
    x.m /= acc.count;
    if (money) Rescale(&x, scale);
  }
  ResultExact(ctx, x);
}

}  // namespace

void Add(sqlite3_context* ctx, int, sqlite3_value** argv) { Arith(ctx, argv, Op::kAdd); }
void Sub(sqlite3_context* ctx, int, sqlite3_value** argv) { Arith(ctx, argv, Op::kSub); }
void Mul(sqlite3_context* ctx, int, sqlite3_value** argv) { Arith(ctx, argv, Op::kMul); }
void Div(sqlite3_context* ctx, int, sqlite3_value** argv) { Arith(ctx, argv, Op::kDiv); }
void Mod(sqlite3_context* ctx, int, sqlite3_value** argv) { Arith(ctx, argv, Op::kMod); }

// tsql_is_varchar(x): 1 when x is text other than a stored decimal, else 0.
void IsVarchar(sqlite3_context* ctx, int, sqlite3_value** argv) {
  sqlite3_result_int(ctx, Classify(argv[0]).kind == Operand::kText ? 1 : 0);
}

// NULLIF(a, b): NULL when a equals b as SQL Server compares them, else a.
void NullIf(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  const std::optional<int> c = Order(ctx, argv[0], argv[1]);
  if (c && *c == 0) return;
  if (c || sqlite3_value_type(argv[1]) == SQLITE_NULL) sqlite3_result_value(ctx, argv[0]);
}

void SumStep(sqlite3_context* ctx, int, sqlite3_value** argv) { Accumulate(ctx, argv[0], "sum"); }
void AvgStep(sqlite3_context* ctx, int, sqlite3_value** argv) { Accumulate(ctx, argv[0], "avg"); }

void TotalInverse(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Accumulate(ctx, argv[0], "sum", -1);
}

void SumValue(sqlite3_context* ctx) {
  const Accumulator* acc = StateOf(ctx, false);
  if (acc == nullptr) return sqlite3_result_null(ctx);
  ResultTotal(ctx, *acc, false);
}

void AvgValue(sqlite3_context* ctx) {
  const Accumulator* acc = StateOf(ctx, false);
  if (acc == nullptr) return sqlite3_result_null(ctx);
  ResultTotal(ctx, *acc, true);
}

void SumFinal(sqlite3_context* ctx) {
  const Accumulator* acc = StateOf(ctx, false);
  if (acc == nullptr) return sqlite3_result_null(ctx);
  ResultTotal(ctx, *acc, false);
}

void AvgFinal(sqlite3_context* ctx) {
  const Accumulator* acc = StateOf(ctx, false);
  if (acc == nullptr) return sqlite3_result_null(ctx);
  ResultTotal(ctx, *acc, true);
}

namespace {

// `v` as an exact decimal of scale `s` (rounded half away from zero) and at
// most `p` digits; nullopt for NULL, and after setting SQL Server's error
// for a text that is no number or a value that does not fit.
std::optional<Exact> Converted(sqlite3_context* ctx, sqlite3_value* v, int p, int s, bool money) {
  const Operand o = Classify(v);
  std::optional<Exact> x;
  switch (o.kind) {
    case Operand::kNull:
      return std::nullopt;
    case Operand::kInt:
      x = FromInt(o.i);
      break;
    case Operand::kDecimal:
      x = o.x;
      break;
    default: {
      if (o.kind == Operand::kText) x = ParseExact(o.text);
      if (x) break;
      Number n;
      if (!NumericArg(ctx, v, &n, "numeric")) return std::nullopt;
      char buf[400];
      std::snprintf(buf, sizeof buf, "%.15g", n.d);
      x = ParseExact(buf);
      if (!x && std::isfinite(n.d) && std::fabs(n.d) < 1e38) {
        std::snprintf(buf, sizeof buf, "%.*f", s, n.d);
        x = ParseExact(buf);
      }
    }
  }
  if (x) x->money = money;
  if (!x || !Rescale(&*x, s) || (x->m != 0 && DigitCount(x->m) > p)) {
    ResultError(ctx, "Arithmetic overflow error converting numeric to data type numeric.");
    return std::nullopt;
  }
  return x;
}

}  // namespace

// tsql_store(x, p, s, money): the stored form of x in a decimal_text(p,s)
// or money_text(p,s) column.
void Store(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const std::optional<Exact> x = Converted(ctx, argv[0], sqlite3_value_int(argv[1]),
                                           sqlite3_value_int(argv[2]), sqlite3_value_int(argv[3]));
  if (x) ResultText(ctx, StoredText(*x));
}

// tsql_needs_store(x, p, s, money): 1 unless x is NULL or already in the
// stored form of the column.
void NeedsStore(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_int(ctx, 0);
  if (sqlite3_value_type(argv[0]) != SQLITE_TEXT) return sqlite3_result_int(ctx, 1);
  const std::string_view t = TextOf(argv[0]);
  const char tag = sqlite3_value_int(argv[3]) != 0 ? kMoneyTag : kDecimalTag;
  if (t.empty() || t.front() != tag) return sqlite3_result_int(ctx, 1);
  const std::optional<Exact> x = ParseExact(t);
  const bool ok = x && x->scale == sqlite3_value_int(argv[2]) &&
                  (x->m == 0 || DigitCount(x->m) <= sqlite3_value_int(argv[1]));
  sqlite3_result_int(ctx, ok ? 0 : 1);
}

// CAST(x AS decimal(p, s)) is tsql_decimal(x, p, s); CAST(x AS money) is
// tsql_money(x, p): the computed form, rounded half away from zero.
void ToDecimal(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const std::optional<Exact> x =
      Converted(ctx, argv[0], sqlite3_value_int(argv[1]), sqlite3_value_int(argv[2]), false);
  if (x) ResultExact(ctx, *x);
}

void ToMoney(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const std::optional<Exact> x = Converted(ctx, argv[0], sqlite3_value_int(argv[1]), 4, true);
  if (x) ResultExact(ctx, *x);
}

// The collation of decimal_text columns: by value. Texts that are no
// number sort after every number, by their bytes.
int CompareDecimalTexts(void*, int na, const void* pa, int nb, const void* pb) {
  const std::string_view a(static_cast<const char*>(pa), static_cast<size_t>(na));
  const std::string_view b(static_cast<const char*>(pb), static_cast<size_t>(nb));
  auto value = [](std::string_view t, Exact* x, double* d) -> int {  // 2 exact, 1 double, 0 none
    if (std::optional<Exact> e = ParseExact(t)) {
      *x = *e;
      return 2;
    }
    if (std::optional<Number> n = ParseNumber(
            t.empty() || (t.front() != kDecimalTag && t.front() != kMoneyTag) ? t : t.substr(1))) {
      *d = n->d;
      return 1;
    }
    return 0;
  };
  Exact xa, xb;
  double da = 0, db = 0;
  const int ka = value(a, &xa, &da), kb = value(b, &xb, &db);
  if (ka == 2 && kb == 2) return CompareExact(xa, xb);
  if (ka != 0 && kb != 0) {
    if (ka == 2) da = ToDouble(xa);
    if (kb == 2) db = ToDouble(xb);
    return da < db ? -1 : da > db ? 1 : 0;
  }
  if (ka != kb) return ka != 0 ? -1 : 1;
  const int c = std::memcmp(a.data(), b.data(), a.size() < b.size() ? a.size() : b.size());
  return c != 0 ? c : (a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0);
}

}  // namespace q6::sqlite
