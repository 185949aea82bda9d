// Importing scripts and bcp exports into a data source.
//
//   Connection con; con.Open("erp");
//   ImportReport r = Import(con, {"legacy.sql", "orders.dat"}, {});
//
// Every file is read and checked first (plan.h). Then, unless dry_run, each
// table that checked out is created and filled in a transaction of its own;
// a table that fails (a bad batch, a bad row, an engine error) leaves
// nothing behind and the others go on. When a table to be created already
// exists the import refuses before writing anything, unless `replace`, which
// drops it in the short transaction that swaps the new table in (see
// WriteMode in table_writer.h). The component's own tables (FD_Entities,
// FD_Fields, FD_Locks) are never created or dropped: their rows are merged
// into them; FD_LockHolders is never carried. A dry run may be given a
// closed connection (no database yet): existing tables are then not looked
// for.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/adodb/connection.h"
#include "runtime/com_error.h"

namespace q6::import {

struct ImportOptions {
  bool dry_run = false;
  bool replace = false;
  std::string encoding;  // of scripts without a byte-order mark; "" for UTF-8
  // Called every few thousand rows and once at the end of each table (with
  // done == total). `total` is 0 while the rows of bcp exports are not yet
  // counted.
  std::function<void(const std::string& table, int64_t done, int64_t total, double seconds)>
      progress;
};

struct TableReport {
  std::string name;
  int64_t rows = 0;
  bool written = false;
  std::string error;               // why it was not written
  std::vector<std::string> notes;  // dropped or changed, and why
  double seconds = 0;
  ErrorKind kind = ErrorKind::kOther;  // of the engine failure behind `error`, if any
};

struct ImportReport {
  std::vector<TableReport> tables;
  std::vector<std::string> skipped;   // objects not carried
  std::vector<std::string> errors;    // syntax errors and files not used
  std::vector<std::string> existing;  // tables that exist (refused without replace)
  std::vector<std::string> replaced;  // existing tables dropped and imported again
  bool refused = false;
  bool dry_run = false;

  // Nothing refused, no error, every table written (or, dry, writable).
  bool ok() const;
  // What stopped the import, when an engine did: the kind of the first table
  // that met a wait that ran out (busy, lock timeout, deadlock,
  // serialization) or a lost connection; kOther otherwise.
  ErrorKind failure_kind() const;
};

// Raises E_FAIL for a file that cannot be read and ComError for a
// connection that fails outside a table's transaction. A table that meets a
// wait that ran out or a lost connection stops the import: the tables after
// it are reported as not imported, since they would meet the same.
ImportReport Import(Connection& con, const std::vector<std::string>& files,
                    const ImportOptions& options);

}  // namespace q6::import
