// Turning the literal values of a statement into bound parameters, so that
// statements differing only in those values share one prepared statement.
// Only literals whose meaning cannot change are taken, in a single SELECT,
// INSERT, UPDATE, DELETE or WITH statement: a string or number right after a
// comparison (= < > <= >= <> !=, also behind ^) inside a WHERE, ON, HAVING or
// SET clause, or a whole item of a VALUES row (its column types it, as it
// types the literal). Literals in a select list (they name result columns),
// ORDER BY ordinals, TOP/LIMIT counts, type sizes and LIKE patterns stay in
// the text. Text that already holds parameters, or that this scan cannot
// split reliably, is not taken at all.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/dialect/dialect.h"

namespace q6 {

// One literal taken out of the text, with the type the engine would have
// given it in place.
struct LiteralParam {
  enum Kind : char {
    kText = 'T',     // '...' (value without quotes, '' turned back into ')
    kInteger = 'I',  // digits only, fits 64 bits signed
    kReal = 'R',     // with a decimal point or an exponent
  } kind;
  std::string value;  // the literal's value as text
};

struct ParameterizedSql {
  std::string text;                  // with ?N (SQLite) or $N (PostgreSQL) placeholders
  std::vector<LiteralParam> params;  // in placeholder order
};

// Fills `out` from `sql.native` (text already in `engine`'s dialect) and
// returns true when it is one statement the prepared path can run; false
// otherwise (`out` is then unspecified). A closing ';' is dropped from
// out->text. A translation made from its shape is worked on through that
// shape, scanned once per shape and thread; any other text is scanned
// itself. Never throws except std::bad_alloc.
Q6FD_INTERNAL bool ParameterizeLiterals(const Translation& sql, Engine engine,
                                        ParameterizedSql* out);

// The same for a bare text: the scan of the text itself.
bool ParameterizeLiteralsUncached(std::string_view native, Engine engine, ParameterizedSql* out);

}  // namespace q6
