// DDL of the metadata and lock tables for each engine.
//
// The tables are written once, as column lists with an engine-neutral kind;
// each engine supplies the type text for a kind. Column names keep the
// spelling of the metadata (PostgreSQL folds them to lower case, and the data
// access layer matches names without regard to case anyway).
#include "platform/schema/schema.h"

#include "platform/adodb/connection.h"
#include "platform/drivers/driver.h"
#include "platform/drivers/postgres/tsql_compat.h"

namespace q6 {
namespace {

enum Kind { kKey, kInt, kBigInt, kDouble, kText };

struct Column {
  const char* name;
  Kind kind;
};

struct Table {
  const char* name;
  std::vector<Column> columns;
};

const std::vector<Table>& Tables() {
  static const std::vector<Table> tables = {
      {"FD_Entities",
       {{"iID", kKey},           {"sName", kText},           {"sCaption", kText},
        {"ibitype", kInt},       {"sOIDSourceField", kText}, {"sSourceTable", kText},
        {"sParentField", kText}, {"sTaskID", kText},         {"sHelpContextID", kText},
        {"sDescription", kText}, {"iSheet", kInt},           {"iRows", kInt},
        {"iCols", kInt},         {"iIsUsed", kInt},          {"sPzSign", kText},
        {"iVchType", kInt},      {"iderivebitype", kInt},    {"iWidth", kDouble},
        {"iHeight", kDouble},    {"bIsAutoAlarm", kInt},     {"ialarmdays", kInt},
        {"buseexpr", kInt},      {"sqryjoin", kText},        {"SubjectCode", kText},
        {"bCheckOver", kInt},    {"iparentid", kInt},        {"sMaxOID", kText}}},
      {"FD_Fields",
       {{"iID", kKey},
        {"sName", kText},
        {"sCaption", kText},
        {"iEntityID", kInt},
        {"iFieldOption", kInt},
        {"sHelpContextID", kText},
        {"bPersistent", kInt},
        {"iReferenceType", kInt},
        {"iRefFldSqc", kInt},
        {"iQryFldSqc", kInt},
        {"bIsUsed", kInt},
        {"sTaskID", kText},
        {"iEditProp", kInt},
        {"iDataType", kInt},
        {"iLength", kInt},
        {"iDecimals", kInt},
        {"bAllowNull", kInt},
        {"sDefaultValue", kText},
        {"sSourceField", kText},
        {"iRow", kInt},
        {"iStartCol", kInt},
        {"iEndCol", kInt},
        {"iInputCol", kInt},
        {"dblleft", kDouble},
        {"dblwidth", kDouble},
        {"dblInputLeft", kDouble},
        {"dblInputWidth", kDouble},
        {"dbltop", kDouble},
        {"dblHeight", kDouble},
        {"dblMin", kDouble},
        {"dblMax", kDouble},
        {"sexpr", kText},
        {"sjoinfield", kText},
        {"bNeedCheck", kInt}}},
      {"FD_Locks",
       {{"locks_id", kText},
        {"user_name", kText},
        {"workstation_name", kText},
        {"mod_name", kText},
        {"class_flag", kText},
        {"digest", kText}}},
      // Who holds each lock, beside FD_Locks (which keeps its six columns
      // for the programs that read it): on SQLite one row per lock, naming
      // it by its six texts; on PostgreSQL one row per transaction that took
      // locks, naming them by that transaction (lock_xact, the lock rows'
      // xmin). Then the holder's host, process id and process start ("boot
      // id/start tick"), the server session an earlier release recorded,
      // when the lock was taken (UTC), and the columns added since
      // (kLockHolderAddedColumns).
      {"FD_LockHolders",
       {{"locks_id", kText},
        {"user_name", kText},
        {"workstation_name", kText},
        {"mod_name", kText},
        {"class_flag", kText},
        {"digest", kText},
        {"host", kText},
        {"pid", kInt},
        {"process_start", kText},
        {"backend_pid", kInt},
        {"backend_start", kText},
        {"taken_at", kText},
        {"machine_id", kText},
        {"pid_ns", kText},
        {"renewed_at", kText},
        {"holder_kind", kText},
        {"lock_xact", kBigInt}}},
  };
  return tables;
}

// FD_LockHolders columns that tables created by an earlier release lack:
// the holder's machine id and PID namespace, its lease (renewed by its
// heartbeat, server time UTC), whether an administrator took the lock, and
// on PostgreSQL the transaction whose lock rows the holder row stands for.
struct AddedColumn {
  const char* name;
  Kind kind;
};
constexpr AddedColumn kLockHolderAddedColumns[] = {{"machine_id", kText},
                                                   {"pid_ns", kText},
                                                   {"renewed_at", kText},
                                                   {"holder_kind", kText},
                                                   {"lock_xact", kBigInt}};

const char* TypeOf(Kind k, Engine e) {
  bool pg = e == Engine::PostgreSQL;
  switch (k) {
    case kKey:
      return "INTEGER NOT NULL PRIMARY KEY";
    case kInt:
      return "INTEGER";
    case kBigInt:
      return pg ? "BIGINT" : "INTEGER";
    case kDouble:
      return pg ? "DOUBLE PRECISION" : "REAL";
    case kText:
      return pg ? "CITEXT" : "TEXT COLLATE NOCASE";
  }
  return "";
}

}  // namespace

std::vector<std::string> SchemaStatements(Engine engine) {
  std::vector<std::string> out;
  if (engine == Engine::PostgreSQL) out.push_back("CREATE EXTENSION IF NOT EXISTS citext");
  for (const Table& t : Tables()) {
    std::string sql = std::string("CREATE TABLE IF NOT EXISTS ") + t.name + " (";
    for (size_t i = 0; i < t.columns.size(); ++i) {
      if (i) sql += ", ";
      sql += std::string(t.columns[i].name) + " " + TypeOf(t.columns[i].kind, engine);
    }
    out.push_back(sql + ")");
  }
  out.push_back("CREATE INDEX IF NOT EXISTS FD_Fields_iEntityID ON FD_Fields (iEntityID)");
  out.push_back("CREATE INDEX IF NOT EXISTS FD_Entities_iparentid ON FD_Entities (iparentid)");
  out.push_back("CREATE INDEX IF NOT EXISTS FD_Locks_locks_id ON FD_Locks (locks_id)");
  return out;
}

// The PostgreSQL release trigger: one per statement, reading the deleted
// locks as a transition table. The row-level trigger of earlier releases
// (fd_locks_release) called a PL/pgSQL function per deleted lock, the
// largest part of releasing a long list.
constexpr const char* kReleaseTrigger = "fd_locks_release_set";
// SQLite: whether FD_Locks has this release's trigger (an earlier release's
// finds holder rows by texts only, never by rowid).
constexpr const char* kSqliteReleaseTriggerPresent =
    "EXISTS (SELECT 1 FROM sqlite_master WHERE type = 'trigger' AND name = 'FD_Locks_release' "
    "COLLATE NOCASE AND sql LIKE '%old.rowid%')";

std::vector<std::string> LockHolderCleanupStatements(Engine engine) {
  const char* cols[] = {"locks_id", "user_name",  "workstation_name",
                        "mod_name", "class_flag", "digest"};
  if (engine != Engine::PostgreSQL) {
    // A lock's holder row has the lock row's rowid (also in lock_xact, which
    // a vacuum that renumbers rows does not change): found without an
    // index. Rows of earlier releases (lock_xact null) name their lock by
    // its texts, found by an index that holds only them, so that a new lock
    // writes no index entry. The trigger is replaced, not kept, since an
    // earlier release's finds rows by texts only.
    std::string match;
    for (const char* c : cols)
      match += std::string(match.empty() ? "" : " AND ") + c + " IS old." + c;
    return {"DROP INDEX IF EXISTS FD_LockHolders_locks_id",
            "CREATE INDEX IF NOT EXISTS FD_LockHolders_named ON FD_LockHolders (locks_id) WHERE "
            "lock_xact IS NULL",
            "DROP TRIGGER IF EXISTS FD_Locks_release",
            "CREATE TRIGGER FD_Locks_release AFTER DELETE ON FD_Locks BEGIN DELETE FROM "
            "FD_LockHolders WHERE rowid = old.rowid AND lock_xact = old.rowid; DELETE FROM "
            "FD_LockHolders WHERE lock_xact IS NULL AND " +
                match + "; END"};
  }
  std::vector<std::string> out = {
      "CREATE INDEX IF NOT EXISTS FD_LockHolders_locks_id ON FD_LockHolders (locks_id)"};
  // Only rows that name their lock (written by earlier releases; this
  // release's rows name a transaction in lock_xact) are the trigger's
  // business: while there are none, as there mostly are, a release costs no
  // join. They are found by a join on locks_id (the rows hold the lock's
  // own texts), which the index serves; a NULL identifier by its own test.
  std::string rest;
  for (const char* c : cols)
    if (std::string_view(c) != "locks_id")
      rest += std::string(" AND h.") + c + " IS NOT DISTINCT FROM o." + c;
  const std::string fn = std::string(kReleaseTrigger) + "()";
  // Function and trigger in one statement, the earlier row-level trigger
  // dropped in it: no delete in between finds the one without the other.
  out.push_back(
      "DO $q6$BEGIN EXECUTE $f$CREATE OR REPLACE FUNCTION " + fn +
      " RETURNS trigger LANGUAGE plpgsql AS $b$BEGIN IF EXISTS (SELECT 1 FROM FD_LockHolders "
      "WHERE lock_xact IS NULL) THEN DELETE FROM FD_LockHolders h USING released o WHERE "
      "h.locks_id = o.locks_id" +
      rest +
      "; DELETE FROM FD_LockHolders h USING released o WHERE h.locks_id IS NULL AND "
      "h.lock_xact IS NULL AND o.locks_id IS NULL" +
      rest +
      "; END IF; RETURN NULL; END$b$$f$; DROP TRIGGER IF EXISTS fd_locks_release ON FD_Locks; IF "
      "NOT "
      "EXISTS (SELECT 1 FROM pg_trigger WHERE tgname = '" +
      kReleaseTrigger + "' AND tgrelid = 'fd_locks'::regclass) THEN CREATE TRIGGER " +
      kReleaseTrigger +
      " AFTER DELETE ON FD_Locks REFERENCING OLD TABLE AS released FOR EACH STATEMENT EXECUTE "
      "FUNCTION " +
      fn + "; END IF; END$q6$");
  return out;
}

void UpgradeLockHolders(Driver& driver, Engine engine) {
  for (const AddedColumn& column : kLockHolderAddedColumns) {
    const std::string add = std::string("ALTER TABLE FD_LockHolders ADD COLUMN ") +
                            (engine == Engine::PostgreSQL ? "IF NOT EXISTS " : "") + column.name +
                            " " + TypeOf(column.kind, engine);
    if (engine == Engine::PostgreSQL) {
      driver.Execute(add);  // a probe that fails would end the transaction
      continue;
    }
    try {
      driver.Execute(std::string("SELECT ") + column.name + " FROM FD_LockHolders WHERE 1 = 0");
    } catch (const ComError&) {
      driver.Execute(add);
    }
  }
  // PostgreSQL finds a lock's holder row by the transaction that wrote
  // both; SQLite's holder rows name their lock and never fill lock_xact.
  if (engine == Engine::PostgreSQL)
    driver.Execute(
        "CREATE INDEX IF NOT EXISTS FD_LockHolders_lock_xact ON FD_LockHolders (lock_xact)");
}

bool LockHoldersUpToDate(Driver& driver) {
  try {
    std::string probe = "SELECT ";
    for (const AddedColumn& column : kLockHolderAddedColumns)
      probe += std::string(probe.size() > 7 ? ", " : "") + column.name;
    driver.Execute(probe + " FROM FD_LockHolders WHERE 1 = 0");
    return true;
  } catch (const ComError&) {
    return false;
  }
}

bool LockReleaseTriggerPresent(Driver& driver, Engine engine) {
  try {
    // On PostgreSQL, only the statement-level trigger counts: a database
    // with an earlier release's row-level one gets it replaced.
    ResultSet r =
        driver.Execute(engine == Engine::PostgreSQL
                           ? std::string("SELECT 1 FROM pg_trigger WHERE tgname = '") +
                                 kReleaseTrigger + "' AND tgrelid = to_regclass('fd_locks')"
                           : std::string("SELECT ") + kSqliteReleaseTriggerPresent);
    return r.row_count > 0 && r.cells[0].ToBool();
  } catch (const ComError&) {
    return false;
  }
}

LockHoldersState LockHoldersStateOf(Driver& driver, Engine engine) {
  LockHoldersState state;
  std::string names;
  for (const AddedColumn& column : kLockHolderAddedColumns)
    names += std::string(names.empty() ? "'" : ", '") + column.name + "'";
  const std::string added = std::to_string(std::size(kLockHolderAddedColumns));
  // One question: the table (readable), its added columns, the trigger.
  const std::string sql =
      engine == Engine::PostgreSQL
          ? "SELECT h IS NOT NULL AND has_table_privilege(h, 'SELECT'), (SELECT count(*) FROM "
            "pg_attribute WHERE attrelid = h AND NOT attisdropped AND attname IN (" +
                names + ")) = " + added + ", EXISTS (SELECT 1 FROM pg_trigger WHERE tgname = '" +
                kReleaseTrigger +
                "' AND tgrelid = to_regclass('fd_locks')) FROM to_regclass('fd_lockholders') h"
          : "SELECT EXISTS (SELECT 1 FROM pragma_table_info('FD_LockHolders') WHERE lower(name) = "
            "'locks_id'), (SELECT count(*) FROM pragma_table_info('FD_LockHolders') WHERE "
            "lower(name) IN (" +
                names + ")) = " + added + ", " + kSqliteReleaseTriggerPresent;
  try {
    ResultSet r = driver.Execute(sql);
    if (r.row_count != 1) return state;
    state.present = r.cells[0].ToBool();
    state.up_to_date = state.present && r.cells[1].ToBool();
    state.trigger = r.cells[2].ToBool();
  } catch (const ComError&) {
  }
  return state;
}

void CreateSchema(Connection& con) {
  for (const std::string& sql : SchemaStatements(con.engine()))
    con.driver().Execute(sql);  // native DDL already
  // The holder table's columns first: its index and trigger name them. In
  // one transaction, so that no release runs between dropping a trigger
  // and creating its replacement.
  const bool own = !con.InTransaction();
  if (own) con.BeginTrans();
  try {
    UpgradeLockHolders(con.driver(), con.engine());
    for (const std::string& sql : LockHolderCleanupStatements(con.engine()))
      con.driver().Execute(sql);
  } catch (...) {
    if (own) con.RollbackTrans();
    throw;
  }
  if (own) con.CommitTrans();
  if (con.engine() == Engine::PostgreSQL) postgres::InstallTsqlCompat(con.driver(), true);
}

void UpgradeDataSource(const std::string& data_source) {
  Connection con;
  con.Open(data_source);
  CreateSchema(con);
  if (con.engine() == Engine::PostgreSQL) {
    postgres::InstallTsqlCompat(con.driver(), false);
    // datetime columns of tables made before they were rounded to 1/300 s.
    con.driver().Execute("CALL q6tsql.tsql_tick_triggers()");
  } else {
    // Indexes on NOCASE columns were built under SQLite's own NOCASE, which
    // folds only A-Z; the driver's NOCASE folds every letter and ignores
    // trailing blanks, so their order is rebuilt under it.
    con.driver().Execute("REINDEX NOCASE");
  }
  con.Close();
}

void InitDataSource(const std::string& data_source) {
  Connection con;
  con.Open(data_source);
  CreateSchema(con);
  con.Close();
}

}  // namespace q6
