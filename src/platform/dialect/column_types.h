// The declared types of the columns a statement names, as the translator
// sees them.
//
// The dialect layer knows no connection: whoever translates for one hands it
// a ColumnTypes that answers from that connection's schema (the drivers do:
// Driver::column_types()). Rules ask only for what they need, so a statement
// whose rules need no type reads no schema. What a translation read is kept
// with it (TypeReads): a cached translation is used again only while every
// answer it was made with still holds for the connection at hand.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/internal_export.h"

namespace q6::dialect {

// A column's type, as far as the rules tell types apart.
struct ColumnType {
  enum Kind : uint8_t {
    kUnknown,   // not known (no schema at hand, a view, an expression not followed)
    kNoColumn,  // the table is known and has no such column
    kInt,       // int, integer, smallint, tinyint: arithmetic checked at the type's range
    kBigint,    // bigint: 64-bit integers
    kNumber,    // float, real, bit: numbers stored as numbers
    kExact,     // decimal, numeric, money: the engine's exact form
    kText,      // char, varchar, text, ... of a table: compares under its own collation
    kDate,      // datetime, smalldatetime, datetime2, date, time
    kBinary,
    kOther,
  };
  Kind kind = kUnknown;
  // For kDate: 1 datetime, 2 smalldatetime, 3 datetime2, 4 date, 5 time (as
  // ExactColumn::date_kind); 0 otherwise.
  uint8_t date_kind = 0;
  // For kDate: the fractional digits of datetime2(n) and time(n) (7 when
  // not given); 0 otherwise.
  uint8_t digits = 0;
  // For kInt: the width in bytes, 4 int, 2 smallint, 1 tinyint; 0 otherwise.
  uint8_t int_bytes = 0;

  friend bool operator==(const ColumnType&, const ColumnType&) = default;
};

// The type of a column declared `decl`, the declared type as the engine keeps
// it: SQLite's declared type text ("int", "varchar(20)", "datetime2_text(3)",
// "decimal_text(18,2)") or PostgreSQL's format_type ("integer", "citext",
// "timestamp(3) without time zone"). kOther for a type the rules do not
// tell apart; kUnknown for "".
Q6FD_INTERNAL ColumnType ParseDeclaredType(std::string_view decl);

// PostgreSQL: what begins the comment that records the declared type of a
// datetime2 or time column ("q6tsql:datetime2(7)"), which its stored type
// does not tell (timestamp(3) is also datetime, time(6) also time(7)).
inline constexpr std::string_view kTypeRecordTag = "q6tsql:";

// PostgreSQL: the type of a column whose format_type is `stored` and whose
// comment is `comment` ("" when none): the declared type the comment
// records while `stored` is still what that type is stored as (a column
// altered since, or a comment of the user's, leaves the stored type alone),
// otherwise ParseDeclaredType(stored).
Q6FD_INTERNAL ColumnType PostgresColumnType(std::string_view stored, std::string_view comment);

// Answers for one connection. Not thread-safe: it belongs to its
// connection's thread, as the connection does.
class Q6FD_INTERNAL ColumnTypes {
 public:
  virtual ~ColumnTypes();
  // Called before the answers for one statement are asked (its
  // translation, or the check that a kept translation still holds): the
  // answers after it follow the schema as other connections have committed
  // it by now, not only this connection's own changes. Cheap: an engine
  // that has to ask does so at the first question after it, once.
  // Baseline: nothing to do.
  virtual void BeforeStatement() {}
  // The type of `column` of `table` (names unquoted, as written in the
  // statement; the engine decides whether case counts). kUnknown when the
  // table is not known (or no table at all), kNoColumn when it has no such
  // column. Never throws except std::bad_alloc.
  virtual ColumnType TypeOf(std::string_view table, std::string_view column) = 0;
  // The names of the columns of `table` (a table or a view; name as for
  // TypeOf) in their order, as the engine keeps them, into `names`. False,
  // and `names` empty, when the table is not known. Never throws except
  // std::bad_alloc. Baseline: not known.
  virtual bool ColumnNames(std::string_view table, std::vector<std::string>* names);
};

// One answer a translation was made with: the type of `column` of `table`,
// or, when `column` is empty, the names of `table`'s columns (ColumnNames;
// none when not known).
struct TypeRead {
  std::string table;
  std::string column;
  ColumnType type;
  std::vector<std::string> names;
};
using TypeReads = std::vector<TypeRead>;

// Whether every answer of `reads` is still what `types` gives (kUnknown
// throughout when `types` is null). True for no reads.
bool ReadsStillHold(const std::shared_ptr<const TypeReads>& reads, ColumnTypes* types);

}  // namespace q6::dialect
