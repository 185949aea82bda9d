// Recognising the statements an updatable recordset can write back.
#pragma once

#include <string>
#include <string_view>

namespace q6 {

// The table of "select * from <table>" optionally followed by a WHERE or
// ORDER BY clause (any case, any blanks); "" for any other statement (joins,
// column lists, several tables). Brackets and double quotes around the name
// are removed: "select * from [FD_Fields] where 1>1" gives "FD_Fields".
std::string SingleTableOf(std::string_view sql);

// Whether `source` is a bare table name rather than a statement.
bool IsTableName(std::string_view source);

}  // namespace q6
