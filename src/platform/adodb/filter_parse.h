// Recordset filter criteria: the text form and its parsed shape.
//
// Grammar (keywords and column names in any case):
//   criteria := group { (AND | OR) group }        AND binds tighter than OR
//   group    := '(' criteria ')' | clause
//   clause   := column op value
//   column   := name | [name with blanks]
//   op       := = | <> | < | > | <= | >= | LIKE
//   value    := 'text' (a quote inside written twice) | number ($ and an
//               exponent allowed) | #date# (yyyy-mm-dd or m/d/yyyy, optional
//               time) | #'text'#
// LIKE patterns use * or % for any run of characters. A parenthesised group
// that holds an OR may only be joined with OR: "(A OR B) AND C" is refused,
// as the criteria form does not allow it; write "(A AND C) OR (B AND C)".
// The parsed form is therefore always an OR of ANDs of clauses.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/variant.h"

namespace q6 {

enum class FilterOp { kEq, kNe, kLt, kGt, kLe, kGe, kLike };

struct FilterClause {
  std::string column;
  FilterOp op = FilterOp::kEq;
  Variant value;  // String, Double or Date
};

// An OR of ANDs: a row matches when every clause of some conjunction does.
struct FilterCriteria {
  std::vector<std::vector<FilterClause>> any_of;
};

// Parses `text`. Raises error 3001 (0x800A0BB9) with a note on what is wrong
// for malformed text, a null value, or an OR group joined with AND.
FilterCriteria ParseFilter(std::string_view text);

}  // namespace q6
