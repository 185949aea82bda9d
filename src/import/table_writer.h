// Creating and filling one imported table inside one transaction.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "import/table_def.h"
#include "platform/drivers/bulk_load.h"
#include "platform/drivers/driver.h"

namespace q6::import {

// Where imported tables go: the schema named in every statement (PostgreSQL:
// the data source's current schema, so that no name resolves into the
// system catalogue; SQLite: "main"), as SQL. Raises E_FAIL on PostgreSQL
// when the search path names no schema that exists.
std::string TargetSchema(Driver& driver);

// The statements that create `t` on `engine`: CREATE TABLE first, then one
// CREATE INDEX per unique constraint or index. Appends to `notes` what the
// engine keeps differently (defaults it cannot keep, identity on SQLite).
// `schema` (as SQL, "" for none) qualifies every name; the table is named
// `table` ("" for t.name) and, when `staging_indexes` is not empty, index i
// `staging_indexes`_ix<i> (renamed when the table is swapped in). The
// CREATE TABLE statement is followed by the table's StoredFormTriggers
// unless `triggers` is false.
std::vector<std::string> TableStatements(const TableDef& t, Engine engine,
                                         std::vector<std::string>* notes,
                                         const std::string& schema = "",
                                         const std::string& table = "",
                                         const std::string& staging_indexes = "",
                                         bool triggers = true);

// The statements (each after "; ") creating the triggers that keep stored
// forms (SQLite), round smalldatetime and record the declared type of datetime2
// and time columns (PostgreSQL) on `t` named `table`
// ("" for t.name), as on tables made through the data access layer; "" when
// no column needs one.
std::string StoredFormTriggers(const TableDef& t, Engine engine, const std::string& table = "");

// The name of index `i` of `t` once imported.
std::string IndexName(const TableDef& t, size_t i);

// Whether the data source already has a table named `table` (any case) in
// the target schema.
bool TableExists(Driver& driver, const std::string& table);

// How a table's rows arrive:
//   kCreate, kReplace: into a staging table of a fresh name, created and
//     filled in a transaction of its own (no existing table is touched, so
//     a frozen or killed import holds no lock a reader waits on), then
//     swapped in by one short transaction (kReplace: the old table is
//     dropped there, and stays readable until then);
//   kMerge: into the existing table, in one transaction (the component's
//     own tables: their triggers and rows stay).
enum class WriteMode { kCreate, kReplace, kMerge };

class TableWriter {
 public:
  // Begins the load. Raises ComError E_FAIL with the engine's message;
  // nothing is left behind then.
  TableWriter(Driver& driver, const TableDef& def, WriteMode mode, const std::string& schema);
  // Rolls back unless Commit succeeded: nothing of the table stays.
  ~TableWriter();
  TableWriter(const TableWriter&) = delete;
  TableWriter& operator=(const TableWriter&) = delete;

  // Adds one row of values for `columns`. Rows are loaded through one bulk
  // load per run of rows naming the same columns, so the engine fills the
  // columns a row leaves out with their defaults.
  void Add(const std::vector<std::string>& columns, const std::vector<Variant>& row);
  // Ends the load, creates the indexes, moves identity counters past the
  // values loaded, commits, and swaps the staging table in. Raises as the
  // constructor.
  void Commit();

 private:
  void ContinueIdentity(const std::string& table);
  void Swap();
  void DropStaging();

  Driver& driver_;
  const TableDef& def_;
  WriteMode mode_;
  std::string schema_;   // as SQL
  std::string target_;   // the table's qualified name
  std::string loading_;  // the qualified name rows go into (staging or target)
  std::string staging_;  // the staging table's bare name; "" when merging
  std::vector<std::string> statements_;
  std::unique_ptr<BulkLoad> load_;
  std::vector<std::string> load_columns_;  // the columns `load_` was opened for
  std::vector<size_t> sevens_;             // of those, the ones whose values are cut to six digits
  std::vector<Variant> cut_row_;           // a row with values cut
  bool staged_ = false;                    // the staging table was committed
  bool done_ = false;
};

}  // namespace q6::import
