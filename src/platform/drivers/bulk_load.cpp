// The engine-independent half of a bulk load: the INSERT/COPY column list
// and the one trace line per load.
#include "platform/drivers/bulk_load.h"

#include "platform/trace/trace.h"

namespace q6 {

BulkLoad::~BulkLoad() = default;

std::string BulkColumnList(const std::vector<std::string>& columns) {
  std::string out;
  for (size_t i = 0; i < columns.size(); ++i) out += (i ? ", " : "") + columns[i];
  return out;
}

void TraceBulkLoad(int64_t conn, const std::string& native, double ms, int64_t rows,
                   const std::string* error) {
  if (!TraceEnabled()) return;
  std::string built = "bulk load: " + native;
  TraceStatement({conn, built, native, ms, rows, error});
}

}  // namespace q6
