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

enum Kind { kKey, kInt, kDouble, kText };

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
  };
  return tables;
}

const char* TypeOf(Kind k, Engine e) {
  bool pg = e == Engine::PostgreSQL;
  switch (k) {
    case kKey:
      return "INTEGER NOT NULL PRIMARY KEY";
    case kInt:
      return "INTEGER";
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

void CreateSchema(Connection& con) {
  for (const std::string& sql : SchemaStatements(con.engine())) con.Run(sql);
  if (con.engine() == Engine::PostgreSQL) postgres::InstallTsqlCompat(con.driver(), true);
}

void UpgradeDataSource(const std::string& data_source) {
  Connection con;
  con.Open(data_source);
  CreateSchema(con);
  if (con.engine() == Engine::PostgreSQL) {
    postgres::InstallTsqlCompat(con.driver(), false);
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
