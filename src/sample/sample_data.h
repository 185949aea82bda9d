// The sample fund-management document types and documents that `q6fd seed`
// and `q6fd demo` put into a data source, and that the multi-process tests
// run their whole road on (static library q6sample, outside the component).
//
// Types: 51 receipt (收款单) with lines 52, 53 payment (付款单) with lines 54,
// 5 bank account (银行账户, a type outside 21 to 81), 63 receipt summary
// (收款汇总, a view of the receipts whose columns are expressions). Each
// document type gets its own record table; OIDs are fifteen characters that
// begin with the type number, and each type's counter (sMaxOID) is set to
// the last OID handed out.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace q6 {
class Connection;
}

namespace q6::sample {

struct SampleType {
  int bitype;
  const char* caption;
  const char* table;
  int child;   // 0: none
  bool query;  // its query object runs (GetQueryResult); line types have none
};

// The sample types, parents before children.
const std::vector<SampleType>& SampleTypes();

struct SeedOptions {
  int documents = 12;  // per document type, when its table is empty
  bool force = false;  // add `documents` more to tables that have some
  // Called now and then with (done, total) documents.
  std::function<void(int, int)> progress;
};

struct SeedResult {
  bool metadata_created = false;
  int documents_added = 0;
  int types_skipped = 0;  // document types left alone because they had documents
};

// Creates the metadata and lock tables, the sample metadata and the record
// tables where absent, and fills empty record tables with documents. Safe to
// run again: what exists is left alone, unless options.force asks for more
// documents after the ones there (their OIDs and codes follow the count).
SeedResult SeedSample(Connection& con, const SeedOptions& options);

}  // namespace q6::sample
