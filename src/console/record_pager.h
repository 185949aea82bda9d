// A page of records of one document type, read with the component's own
// navigation (DataManager.MoveTo), one record per step.
//
// Every step is one "top 1" statement by the type's key column from a known
// key (and one step more tells whether the page reached the end), so a page
// costs the same whether the table holds a thousand records
// or a million: nothing counts the records and nothing skips rows to reach
// an offset. The price is that a page cannot say "page 7 of 50000"; it says
// whether it reached either end.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "runtime/variant.h"

namespace q6 {
class EntityObject;
}

namespace q6::console {

// Where a page starts.
enum class PageStart {
  kFirst,   // the first records
  kLast,    // the last records
  kAfter,   // the records after `from` (next page)
  kBefore,  // the records before `from` (previous page)
  kAt,      // `from` itself, or the first record after it when it is not there
};

struct RecordRows {
  std::vector<std::string> headers;        // field captions (names where empty)
  std::vector<std::string> oids;           // each record's key, in key order
  std::vector<std::vector<Variant>> rows;  // each record's field values
  bool reached_start = false;              // no record before the first shown
  bool reached_end = false;                // no record after the last shown
};

// Reads up to `size` records of the type `eo` defines (a definition as
// LoadEOMetaData gives it; its record is overwritten) from data source
// `dsn`, without their child records. Raises what MoveTo raises.
// REQUIRES: size > 0.
RecordRows ReadRecordPage(const std::string& dsn, EntityObject& eo, PageStart start,
                          const std::string& from, int size);

}  // namespace q6::console
