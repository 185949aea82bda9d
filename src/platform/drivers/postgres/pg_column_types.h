// The declared types of a PostgreSQL connection's columns, for the
// translator (dialect/column_types.h).
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/dialect/column_types.h"

struct pg_conn;
struct pg_result;

namespace q6::postgres {

// Answers from the catalogue: the first question about a table reads all
// its columns in one query (pg_attribute, format_type and the column
// comments that record a date column's declared type:
// dialect::PostgresColumnType), and the answers are kept until Forget, or
// until they are older than kFollowEvery at the first question after a
// BeforeStatement: then every table is read again as statements name it,
// so that another session's change of a table is seen within that time
// (the server tells a session nothing of another's changes, and a query to
// ask before each statement would cost a round trip each). A
// table is looked up through the search path, by its name in lower case
// first (as the server folds a bare name), then as written; views and
// other relations answer kUnknown, as on SQLite. A column name matches
// without regard to case; two columns that differ only in case answer
// kUnknown.
//
// The query runs on the connection at the moment of the question, inside
// the caller's transaction when one is open. Inside a failed transaction,
// or when the query fails, nothing is read or kept and the answer is
// kUnknown: the statement then translates as without types.
class PgColumnTypes final : public dialect::ColumnTypes {
 public:
  // Runs one text on the connection (as the driver sends it: a pooled
  // connection's settings go with it); the caller owns the result.
  using Run = std::function<pg_result*(const std::string&)>;

  // How long answers are kept before they are read again (see above).
  static constexpr std::chrono::milliseconds kFollowEvery{200};

  // REQUIRES: `conn` outlives this object.
  PgColumnTypes(pg_conn* conn, Run run) : conn_(conn), run_(std::move(run)) {}

  void BeforeStatement() override { current_ = false; }
  dialect::ColumnType TypeOf(std::string_view table, std::string_view column) override;
  // The names of a table's or a view's columns, read and kept as TypeOf's
  // answers are.
  bool ColumnNames(std::string_view table, std::vector<std::string>* names) override;

  // Drops every answer kept: the next question about a table reads it again.
  void Forget() { tables_.clear(); }

 private:
  struct Column {
    std::string name;
    dialect::ColumnType type;
  };
  struct Table {
    bool found = false;   // an ordinary or partitioned table of the search path
    bool listed = false;  // such a table, or a view: `columns` holds its names
    std::vector<Column> columns;
  };
  // The kept answer for `table`, read when missing; null when it could
  // not be read.
  const Table* Read(std::string_view table);
  // Read, after the age check of the first question after BeforeStatement.
  const Table* Current(std::string_view table);

  pg_conn* conn_;
  Run run_;
  std::unordered_map<std::string, Table> tables_;
  // When the first of the answers kept was read (meaningless while none is).
  std::chrono::steady_clock::time_point since_;
  bool current_ = false;  // checked for age since the last BeforeStatement
};

}  // namespace q6::postgres
