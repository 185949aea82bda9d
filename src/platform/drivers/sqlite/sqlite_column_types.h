// The declared types of a SQLite connection's columns, for the translator
// (dialect/column_types.h).
#pragma once

#include <string_view>

#include "platform/dialect/column_types.h"

struct sqlite3;

namespace q6::sqlite {

// Answers from the connection's own copy of the schema
// (sqlite3_table_column_metadata): no statement runs, nothing is read that
// the connection's next statement would not read anyway, and the answer is
// always the schema the engine prepares that statement against (the engine
// reloads its copy when the file's schema changed, before it prepares).
class SqliteColumnTypes final : public dialect::ColumnTypes {
 public:
  // REQUIRES: `db` outlives this object.
  explicit SqliteColumnTypes(sqlite3* db) : db_(db) {}
  dialect::ColumnType TypeOf(std::string_view table, std::string_view column) override;

 private:
  sqlite3* db_;
};

}  // namespace q6::sqlite
