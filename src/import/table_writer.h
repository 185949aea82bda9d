// Creating and filling one imported table inside one transaction.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "import/table_def.h"
#include "platform/drivers/bulk_load.h"
#include "platform/drivers/driver.h"

namespace q6::import {

// The statements that create `t` on `engine`: CREATE TABLE first, then one
// CREATE INDEX per unique constraint or index. Appends to `notes` what the
// engine keeps differently (defaults it cannot keep, identity on SQLite).
std::vector<std::string> TableStatements(const TableDef& t, Engine engine,
                                         std::vector<std::string>* notes);

// Whether the data source already has a table named `table` (any case).
bool TableExists(Driver& driver, const std::string& table);

class TableWriter {
 public:
  // Begins a transaction, drops the table first when `replace` and creates
  // it without its indexes. Raises ComError E_FAIL with the engine's
  // message; nothing is left behind then.
  TableWriter(Driver& driver, const TableDef& def, bool replace);
  // Rolls back unless Commit succeeded: nothing of the table stays.
  ~TableWriter();
  TableWriter(const TableWriter&) = delete;
  TableWriter& operator=(const TableWriter&) = delete;

  // Adds one row of values for `columns`. Rows are loaded through one bulk
  // load per run of rows naming the same columns, so the engine fills the
  // columns a row leaves out with their defaults.
  void Add(const std::vector<std::string>& columns, const std::vector<Variant>& row);
  // Ends the load, creates the indexes, moves identity counters past the
  // values loaded, and commits. Raises as the constructor.
  void Commit();

 private:
  void ContinueIdentity();

  Driver& driver_;
  const TableDef& def_;
  std::vector<std::string> statements_;
  std::unique_ptr<BulkLoad> load_;
  std::vector<std::string> load_columns_;  // the columns `load_` was opened for
  bool done_ = false;
};

}  // namespace q6::import
