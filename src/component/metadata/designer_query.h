// The one-value queries of the entity designer (MaxTop, MaxQrySqc).
#pragma once

#include <string>

#include "runtime/variant.h"

namespace q6 {

// Runs `sql` on a connection taken for `data_source` and returns the first
// column of its first row, or Null when it returns no row (an aggregate over
// no rows gives Null itself). The connection goes back to the pool on every
// path. Raises what the connection manager or the engine raises (0x80004005
// with their text).
Variant LargestOfEntity(const Variant& data_source, const std::string& sql);

}  // namespace q6
