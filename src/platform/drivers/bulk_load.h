// Loading many rows into one table through the engine's fastest path.
//
// A BulkLoad is opened on a Driver for one table and a list of its columns
// (Driver::OpenBulkLoad) inside the caller's transaction. Rows are added one
// at a time in that column order, with the binding rules of
// Driver::ExecuteParams (Null and Empty as NULL, Booleans 1/0, numbers as
// numbers, Dates as text, Strings as text). Finish makes every row part of
// the transaction and writes one trace line for the whole load. A load
// destroyed without Finish is abandoned: the engine is left ready for the
// caller's rollback, and rows already sent belong to that transaction.
//
// On SQLite a value for a column kept in a stored form (exact decimals,
// dates) is written in that form, converted (or refused, with the same
// error) as the column's trigger would, so a table may be loaded before its
// triggers are created.
//
// SQLite prepares one INSERT and reuses it for every row; PostgreSQL streams
// the rows with COPY ... FROM STDIN. Errors are ComError E_FAIL with the
// engine's message; on PostgreSQL a row the server rejects may only be
// reported by a later Add or by Finish. While a load is open the driver runs
// no other statement.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "runtime/internal_export.h"
#include "runtime/variant.h"

namespace q6 {

class Q6FD_INTERNAL BulkLoad {
 public:
  virtual ~BulkLoad();
  BulkLoad(const BulkLoad&) = delete;
  BulkLoad& operator=(const BulkLoad&) = delete;

  // Adds one row: exactly one value per column. Raises E_FAIL for a wrong
  // number of values, a text value holding a NUL character, or an engine
  // error.
  virtual void Add(const std::vector<Variant>& row) = 0;
  // Sends what is buffered and ends the load. Raises E_FAIL with the
  // engine's message when a row was rejected.
  virtual void Finish() = 0;
  // Rows added so far.
  int64_t rows() const { return rows_; }

 protected:
  BulkLoad() = default;
  int64_t rows_ = 0;
};

}  // namespace q6

namespace q6 {

// "a, b, c": the column list of the load's statement.
std::string BulkColumnList(const std::vector<std::string>& columns);

// The trace line of a finished (or failed, `error` set) load.
void TraceBulkLoad(int64_t conn, const std::string& native, double ms, int64_t rows,
                   const std::string* error);

}  // namespace q6
