// Filter evaluation: the value order, LIKE, and the range fast path.
#include "platform/adodb/filter_eval.h"

#include <algorithm>

#include "platform/adodb/ado_errors.h"
#include "runtime/value_date.h"
#include "runtime/value_number_text.h"
#include "runtime/value_utf8.h"

namespace q6 {
namespace {

constexpr const char* kSource = "ADODB.Recordset";

enum Kind { kNullKind = 0, kNumberKind = 1, kDateKind = 2, kTextKind = 3 };

Kind KindOf(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty:
    case VarType::Null:
    case VarType::Missing:
      return kNullKind;
    case VarType::Date:
      return kDateKind;
    case VarType::String:
    case VarType::Object:
    case VarType::ByteArray:
      return kTextKind;
    default:
      return kNumberKind;
  }
}

// The next character of `s` at `i`, lower-cased; ASCII without decoding.
char32_t NextFolded(std::string_view s, size_t* i) {
  unsigned char c = static_cast<unsigned char>(s[*i]);
  if (c < 0x80) {
    ++*i;
    return (c >= 'A' && c <= 'Z') ? c + 32 : c;
  }
  size_t len = 1;
  bool valid = false;
  char32_t cp = value::DecodeAt(s, *i, &len, &valid);
  *i += len;
  return valid ? value::LowerOf(cp) : 0x110000 + c;  // invalid bytes sort after all
}

int CompareNoCase(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    char32_t x = NextFolded(a, &i), y = NextFolded(b, &j);
    if (x != y) return x < y ? -1 : 1;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

int Sign(double d) { return d < 0 ? -1 : (d > 0 ? 1 : 0); }

// The kind of the first non-Null value of column `col`.
Kind ColumnKind(const RecordData& data, size_t col) {
  for (size_t r = 0; r < data.row_count(); ++r) {
    Kind k = KindOf(data.cell(r, col));
    if (k != kNullKind) return k;
  }
  return kNullKind;
}

// Brings the criteria value to the column's kind.
Variant Coerce(const Variant& v, Kind column_kind, const std::string& column) {
  Kind k = KindOf(v);
  if (k == column_kind || column_kind == kNullKind) return v;
  auto wrong = [&]() -> Variant {
    ThrowAdo(kAdoInvalidArgument, kSource,
             "the value " + v.ToString() + " does not fit column " + column);
  };
  switch (column_kind) {
    case kTextKind:
      return k == kDateKind ? Variant(value::FormatDate(v.ToDate().days)) : Variant(v.ToString());
    case kNumberKind: {
      double d = 0;
      if (k == kTextKind && value::ParseDouble(v.string(), &d) == value::ParseStatus::kOk)
        return Variant(d);
      return wrong();
    }
    case kDateKind: {
      double days = 0;
      if (k == kTextKind && value::ParseDate(v.string(), &days)) return Variant(DateValue{days});
      return wrong();
    }
    default:
      return v;
  }
}

bool Matches(FilterOp op, const Variant& cell, const Variant& value) {
  if (KindOf(cell) == kNullKind) return false;
  if (op == FilterOp::kLike) return LikeMatch(cell.ToString(), value.ToString());
  int c = CompareValues(cell, value);
  switch (op) {
    case FilterOp::kEq:
      return c == 0;
    case FilterOp::kNe:
      return c != 0;
    case FilterOp::kLt:
      return c < 0;
    case FilterOp::kGt:
      return c > 0;
    case FilterOp::kLe:
      return c <= 0;
    case FilterOp::kGe:
      return c >= 0;
    case FilterOp::kLike:
      break;
  }
  return false;
}

// Finds, once, whether column `col` is in non-decreasing order.
const ColumnOrder& OrderOf(RecordData& data, size_t col) {
  ColumnOrder& o = data.order(col);
  if (o.state != ColumnOrder::kUnknown) return o;
  size_t n = data.row_count();
  size_t r = 0;
  while (r < n && KindOf(data.cell(r, col)) == kNullKind) ++r;
  o.null_prefix = r;
  o.state = ColumnOrder::kOrdered;
  for (++r; r < n; ++r)
    if (CompareValues(data.cell(r - 1, col), data.cell(r, col)) > 0 ||
        KindOf(data.cell(r, col)) == kNullKind) {
      o.state = ColumnOrder::kUnordered;
      break;
    }
  return o;
}

// The rows a single comparison selects on an ordered column: one range.
RowView RangeOf(RecordData& data, size_t col, const ColumnOrder& o, FilterOp op,
                const Variant& value) {
  size_t n = data.row_count();
  auto first_not_below = [&](bool strict) {  // first row with cell >= value (> when strict)
    size_t lo = o.null_prefix, hi = n;
    while (lo < hi) {
      size_t mid = lo + (hi - lo) / 2;
      int c = CompareValues(data.cell(mid, col), value);
      if (strict ? c <= 0 : c < 0)
        lo = mid + 1;
      else
        hi = mid;
    }
    return lo;
  };
  RowView v;
  v.kind = RowView::kRange;
  switch (op) {
    case FilterOp::kEq:
      v.lo = first_not_below(false);
      v.hi = first_not_below(true);
      break;
    case FilterOp::kLt:
      v.lo = o.null_prefix;
      v.hi = first_not_below(false);
      break;
    case FilterOp::kLe:
      v.lo = o.null_prefix;
      v.hi = first_not_below(true);
      break;
    case FilterOp::kGt:
      v.lo = first_not_below(true);
      v.hi = n;
      break;
    case FilterOp::kGe:
      v.lo = first_not_below(false);
      v.hi = n;
      break;
    default:
      break;
  }
  return v;
}

struct BoundClause {
  size_t col;
  FilterOp op;
  Variant value;
};

}  // namespace

int CompareValues(const Variant& a, const Variant& b) {
  Kind ka = KindOf(a), kb = KindOf(b);
  if (ka != kb) return ka < kb ? -1 : 1;
  switch (ka) {
    case kNullKind:
      return 0;
    case kNumberKind:
      if (a.type() == VarType::Long && b.type() == VarType::Long) {
        int32_t x = a.Deref().ToLong(), y = b.Deref().ToLong();
        return x < y ? -1 : (x > y ? 1 : 0);
      }
      return Sign(a.ToDouble() - b.ToDouble());
    case kDateKind:
      return Sign(a.ToDate().days - b.ToDate().days);
    case kTextKind:
      if (a.type() == VarType::String && b.type() == VarType::String)
        return CompareNoCase(a.string(), b.string());
      return CompareNoCase(a.ToString(), b.ToString());
  }
  return 0;
}

bool LikeMatch(std::string_view text, std::string_view pattern) {
  // Iterative wildcard match with one backtrack point (the last star).
  size_t t = 0, p = 0, star = std::string_view::npos, mark = 0;
  while (t < text.size()) {
    if (p < pattern.size() && (pattern[p] == '*' || pattern[p] == '%')) {
      star = ++p;
      mark = t;
      continue;
    }
    if (p < pattern.size()) {
      size_t t2 = t, p2 = p;
      if (NextFolded(text, &t2) == NextFolded(pattern, &p2)) {
        t = t2;
        p = p2;
        continue;
      }
    }
    if (star == std::string_view::npos) return false;
    p = star;
    NextFolded(text, &mark);  // the star takes one more character
    t = mark;
  }
  while (p < pattern.size() && (pattern[p] == '*' || pattern[p] == '%')) ++p;
  return p == pattern.size();
}

RowView ApplyFilter(RecordData& data, const FilterCriteria& criteria) {
  std::vector<std::vector<BoundClause>> bound;
  for (const auto& conj : criteria.any_of) {
    std::vector<BoundClause> b;
    for (const FilterClause& c : conj) {
      int col = data.FindColumn(c.column);
      if (col < 0)
        ThrowAdo(kAdoInvalidArgument, kSource, "the recordset has no column " + c.column);
      Variant value = c.value;
      if (c.op != FilterOp::kLike)
        value = Coerce(c.value, ColumnKind(data, static_cast<size_t>(col)), c.column);
      b.push_back({static_cast<size_t>(col), c.op, std::move(value)});
    }
    bound.push_back(std::move(b));
  }
  if (bound.size() == 1 && bound[0].size() == 1) {
    const BoundClause& only = bound[0][0];
    if (only.op != FilterOp::kNe && only.op != FilterOp::kLike) {
      const ColumnOrder& o = OrderOf(data, only.col);
      if (o.state == ColumnOrder::kOrdered) return RangeOf(data, only.col, o, only.op, only.value);
    }
  }
  RowView v;
  v.kind = RowView::kList;
  for (size_t r = 0; r < data.row_count(); ++r) {
    bool any = false;
    for (const auto& conj : bound) {
      bool all = true;
      for (const BoundClause& c : conj)
        if (!Matches(c.op, data.cell(r, c.col), c.value)) {
          all = false;
          break;
        }
      if (all) {
        any = true;
        break;
      }
    }
    if (any) v.rows.push_back(r);
  }
  return v;
}

}  // namespace q6
