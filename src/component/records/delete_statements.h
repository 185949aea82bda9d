// The DELETE statements of Delete, exactly as the component has always sent
// them:
//
//   "Delete From " table " Where " column " = '" value "'"
//
// used for the record's own row (its key field's SourceField) and for all
// child rows at once (the child definition's ParentField). The value's
// quotes are doubled; a value without one is placed as it is.
#pragma once

#include <string>
#include <string_view>

namespace q6 {

std::string DeleteStatement(std::string_view table, std::string_view column,
                            std::string_view value);

}  // namespace q6
