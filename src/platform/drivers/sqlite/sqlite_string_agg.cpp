// STRING_AGG on SQLite: tsql_string_agg(x, sep[, key, desc]...), the
// values' text joined by the separator, in the order of the keys of WITHIN
// GROUP (ORDER BY ...) when there are any (`desc` 1 for a descending key).
// NULL values are left out, separator and all; no value at all gives NULL.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/drivers/sqlite/sqlite_exact.h"
#include "platform/drivers/sqlite/sqlite_function_util.h"
#include "platform/tsql/functions.h"

namespace q6::sqlite {
namespace {

struct ValueFree {
  void operator()(sqlite3_value* v) const { sqlite3_value_free(v); }
};
using OwnedValue = std::unique_ptr<sqlite3_value, ValueFree>;

struct Row {
  std::string text;
  std::vector<OwnedValue> keys;
};

struct StringAgg {
  std::string sep;
  std::vector<bool> desc;
  std::vector<Row> rows;
};

// The state's slot in SQLite's aggregate memory; null when memory ran out
// (or, with `create` false, when no row came).
StringAgg** SlotOf(sqlite3_context* ctx, bool create) {
  return static_cast<StringAgg**>(sqlite3_aggregate_context(ctx, create ? sizeof(StringAgg*) : 0));
}

// NULL first, then numbers by value, then texts as the default collation
// orders them, then anything else by its bytes.
int CompareKeys(sqlite3_value* a, sqlite3_value* b) {
  const Operand x = Classify(a), y = Classify(b);
  const auto rank = [](const Operand& o) {
    return o.kind == Operand::kNull ? 0 : o.kind == Operand::kText ? 2 : 1;
  };
  if (rank(x) != rank(y)) return rank(x) < rank(y) ? -1 : 1;
  if (x.kind == Operand::kNull) return 0;
  if (x.kind == Operand::kText) return CompareNoCase(x.text, y.text);
  if (x.kind == Operand::kInt && y.kind == Operand::kInt) return (x.i > y.i) - (x.i < y.i);
  if (x.kind != Operand::kFloat && y.kind != Operand::kFloat) {
    const auto exact = [](const Operand& o) {
      return o.kind == Operand::kInt ? Exact{o.i, 0, false} : o.x;
    };
    return CompareExact(exact(x), exact(y));
  }
  const auto real = [](const Operand& o) {
    return o.kind == Operand::kInt     ? static_cast<double>(o.i)
           : o.kind == Operand::kFloat ? o.d
                                       : ToDouble(o.x);
  };
  return (real(x) > real(y)) - (real(x) < real(y));
}

}  // namespace

void StringAggStep(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (argc % 2 != 0) return ResultError(ctx, "STRING_AGG: every ORDER BY key needs its direction");
  StringAgg** slot = SlotOf(ctx, true);
  if (slot == nullptr) return sqlite3_result_error_nomem(ctx);
  if (*slot == nullptr) {
    *slot = new StringAgg;
    for (int i = 3; i < argc; i += 2) (*slot)->desc.push_back(sqlite3_value_int(argv[i]) != 0);
  }
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  StringAgg& s = **slot;
  if (s.rows.empty()) s.sep = ValueText(argv[1]);
  Row row{ValueText(argv[0]), {}};
  for (int i = 2; i < argc; i += 2) {
    row.keys.emplace_back(sqlite3_value_dup(argv[i]));
    if (row.keys.back() == nullptr) return sqlite3_result_error_nomem(ctx);
  }
  s.rows.push_back(std::move(row));
}

void StringAggFinal(sqlite3_context* ctx) {
  StringAgg** slot = SlotOf(ctx, false);
  if (slot == nullptr || *slot == nullptr) return;
  const std::unique_ptr<StringAgg> s(*slot);
  *slot = nullptr;
  if (s->rows.empty()) return;
  std::stable_sort(s->rows.begin(), s->rows.end(), [&](const Row& a, const Row& b) {
    for (size_t k = 0; k < a.keys.size(); ++k) {
      const int c = CompareKeys(a.keys[k].get(), b.keys[k].get());
      if (c != 0) return s->desc[k] ? c > 0 : c < 0;
    }
    return false;
  });
  std::string out;
  for (size_t i = 0; i < s->rows.size(); ++i) (i == 0 ? out : out += s->sep) += s->rows[i].text;
  ResultText(ctx, out);
}

}  // namespace q6::sqlite
