// The recordset Filter: parsing criteria text and applying what parses to a
// few rows whose columns are the ones the criteria name.
//
// Invariants besides "no crash, no sanitizer report": malformed text is
// refused with error 3001 and nothing else; a filter selects each row at
// most once and only rows that exist.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "platform/adodb/filter_eval.h"
#include "platform/adodb/filter_parse.h"
#include "platform/adodb/record_data.h"
#include "runtime/com_error.h"

namespace {

constexpr q6::HRESULT kFilterError = q6::MakeHr(0x800A0BB9u);  // 3001

// Rows for the columns the criteria name: text, a number, Null, a date and
// the clause's own value, so that every comparison kind is reached.
q6::ResultSet RowsFor(const q6::FilterCriteria& criteria) {
  q6::ResultSet r;
  r.has_rows = true;
  std::set<std::string> seen;
  std::vector<const q6::FilterClause*> first;
  for (const auto& all_of : criteria.any_of)
    for (const auto& c : all_of)
      if (seen.insert(c.column).second) {
        r.columns.push_back({c.column, "", q6::kAdVariant});
        first.push_back(&c);
      }
  const q6::Variant fixed[] = {q6::Variant("abc"), q6::Variant(42.5), q6::Variant::Null(),
                               q6::Variant(q6::DateValue{45000.25})};
  for (const q6::Variant& v : fixed) {
    for (size_t c = 0; c < r.columns.size(); ++c) r.cells.push_back(v);
    ++r.row_count;
  }
  for (size_t c = 0; c < r.columns.size(); ++c) r.cells.push_back(first[c]->value);
  ++r.row_count;
  return r;
}

void Apply(const q6::FilterCriteria& criteria) {
  q6::RecordData data;
  q6::ResultSet rows = RowsFor(criteria);
  const size_t count = rows.row_count;
  data.Load(std::move(rows), false);
  q6::RowView view;
  try {
    view = q6::ApplyFilter(data, criteria);
  } catch (const q6::ComError& e) {
    Q6_FUZZ_CHECK(e.hr() == kFilterError, "applying a filter raised another error");
    return;
  }
  if (view.kind == q6::RowView::kRange) {
    Q6_FUZZ_CHECK(view.lo <= view.hi && view.hi <= count, "a filter range beyond the rows");
  } else if (view.kind == q6::RowView::kList) {
    std::set<size_t> distinct(view.rows.begin(), view.rows.end());
    Q6_FUZZ_CHECK(distinct.size() == view.rows.size(), "a filter selected a row twice");
    for (size_t r : view.rows) Q6_FUZZ_CHECK(r < count, "a filter selected a missing row");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  q6::FilterCriteria criteria;
  try {
    criteria = q6::ParseFilter(text);
  } catch (const q6::ComError& e) {
    Q6_FUZZ_CHECK(e.hr() == kFilterError, "malformed criteria raised another error");
    Q6_FUZZ_CHECK(!e.description().empty(), "a refused filter says nothing");
    return 0;
  }
  Apply(criteria);
  // LIKE on its own: the first half of the input against the second.
  const size_t half = size / 2;
  q6::LikeMatch(text.substr(0, half), text.substr(half));
  return 0;
}
