// DELETE text of Delete.
#include "component/records/delete_statements.h"

#include "component/frame/sql_text.h"

namespace q6 {

std::string DeleteStatement(std::string_view table, std::string_view column,
                            std::string_view value) {
  std::string sql = "Delete From ";
  sql += table;
  sql += " Where ";
  sql += column;
  sql += " = ";
  sql += SqlQuoted(value);
  return sql;
}

}  // namespace q6
