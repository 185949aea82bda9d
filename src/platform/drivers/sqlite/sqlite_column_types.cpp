// Column types from SQLite's schema copy, without running a statement.
#include "platform/drivers/sqlite/sqlite_column_types.h"

#include <sqlite3.h>

#include <string>

namespace q6::sqlite {

dialect::ColumnType SqliteColumnTypes::TypeOf(std::string_view table, std::string_view column) {
  const std::string t(table), c(column);
  const char* decl = nullptr;
  const char* collation = nullptr;
  int not_null = 0, primary_key = 0, autoincrement = 0;
  if (sqlite3_table_column_metadata(db_, nullptr, t.c_str(), c.c_str(), &decl, &collation,
                                    &not_null, &primary_key, &autoincrement) == SQLITE_OK)
    return dialect::ParseDeclaredType(decl ? decl : "");
  // A table that exists without the column, or no such table (or a view).
  if (sqlite3_table_column_metadata(db_, nullptr, t.c_str(), nullptr, nullptr, nullptr, nullptr,
                                    nullptr, nullptr) == SQLITE_OK)
    return {dialect::ColumnType::kNoColumn};
  return {};
}

}  // namespace q6::sqlite
