// Applying parsed filter criteria to the rows of a recordset.
//
// Values compare in one total order: Null < numbers (Booleans as -1/0) <
// dates < text; text compares without regard to case. A Null never matches a
// clause. The criteria value is first brought to the kind of the column (the
// text '51' against a number column is the number 51; a number against a
// text column is its text); a value that cannot be, like 'abc' against
// numbers, is refused with error 3001.
//
// A single comparison (=, <, >, <=, >=) on a column whose values are in
// order costs two binary searches: the rows it selects are one range. Whether
// a column is in order is found once (one pass) and kept until a row changes.
// Everything else is one pass over the rows.
#pragma once

#include <string_view>

#include "platform/adodb/filter_parse.h"
#include "platform/adodb/record_data.h"

namespace q6 {

// <0, 0, >0 in the filter order.
int CompareValues(const Variant& a, const Variant& b);

// Case-insensitive match of `text` against `pattern`, where * and % match any
// run of characters (none included) and everything else matches itself.
bool LikeMatch(std::string_view text, std::string_view pattern);

// The rows of `data` that match `criteria`, in row order. Raises 3001 for a
// column the recordset does not have or a value of the wrong kind.
RowView ApplyFilter(RecordData& data, const FilterCriteria& criteria);

}  // namespace q6
