// Schemas to drop at exit, kept in a list that is never destroyed and
// dropped by one exit handler through libpq alone.
#include "bench_pg.h"

#include <libpq-fe.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "bench_util.h"
#include "platform/adodb/connection.h"
#include "platform/datasource/data_source.h"
#include "platform/dialect/dialect.h"
#include "platform/drivers/driver.h"
#include "platform/drivers/postgres/pg_driver.h"
#include "platform/schema/schema.h"

namespace q6::bench {
namespace {

struct Pending {
  std::mutex mu;
  std::vector<std::pair<std::string, std::string>> schemas;  // conninfo, schema
  pid_t owner = 0;                                           // the process that registered them
};

// Never destroyed: the exit handler may run after other statics are gone.
Pending& Schemas() {
  static Pending* p = new Pending;
  return *p;
}

void DropAll() {
  Pending& p = Schemas();
  std::lock_guard<std::mutex> lock(p.mu);
  if (p.owner != ::getpid()) return;
  for (const auto& [conninfo, schema] : p.schemas) {
    PGconn* c = PQconnectdb(conninfo.c_str());
    if (PQstatus(c) == CONNECTION_OK) {
      PQclear(PQexec(c, "SET client_min_messages TO warning"));  // no notice per table
      PQclear(PQexec(c, ("DROP SCHEMA IF EXISTS " + schema + " CASCADE").c_str()));
    }
    PQfinish(c);
  }
  p.schemas.clear();
}

}  // namespace

void DropSchemaAtExit(const std::string& source, const std::string& schema) {
  DataSource ds = ResolveDataSource(source);
  ds.schema.clear();  // connect to the default path: the schema is being dropped
  Pending& p = Schemas();
  std::lock_guard<std::mutex> lock(p.mu);
  if (p.owner == 0) {
    p.owner = ::getpid();
    std::atexit(DropAll);
  }
  p.schemas.emplace_back(postgres::PgDriver::ConnInfo(ds), schema);
}

const FilledSources& FillSources(const std::string& tag,
                                 const std::function<void(Connection&)>& fill) {
  // Never destroyed: the files are removed by an exit handler.
  static auto* filled = new std::map<std::string, FilledSources>;
  static auto* files = new std::vector<std::string>;
  static std::mutex mu;
  std::lock_guard<std::mutex> lock(mu);
  if (auto it = filled->find(tag); it != filled->end()) return it->second;
  FilledSources out;
  const std::string name = tag + "_" + std::to_string(::getpid());
  const char* shm = "/dev/shm";
  const std::filesystem::path dir = std::filesystem::is_directory(shm)
                                        ? std::filesystem::path(shm)
                                        : std::filesystem::temp_directory_path();
  const std::string file = (dir / (name + ".db")).string();
  std::filesystem::remove(file);
  if (files->empty())
    std::atexit([] {
      std::error_code ec;
      for (const std::string& f : *files) std::filesystem::remove(f, ec);
    });
  files->push_back(file);
  out.sqlite = "Driver=sqlite;Database=" + file;
  {
    Connection con;
    con.Open(out.sqlite);
    fill(con);
  }
  if (const char* server = std::getenv("Q6FD_TEST_PG"); server && *server) {
    Connection admin;
    admin.Open(server);
    admin.Execute("DROP SCHEMA IF EXISTS " + name + " CASCADE");
    admin.Execute("CREATE SCHEMA " + name);
    DropSchemaAtExit(server, name);
    out.pg = std::string(server) + ";Schema=" + name;
    Connection con;
    con.Open(out.pg);
    CreateSchema(con);  // the compatibility schema comes with it
    fill(con);
  }
  return filled->emplace(tag, std::move(out)).first->second;
}

void CompareWithNative(benchmark::State& state, Engine engine, const std::string& source,
                       int64_t rows, const std::string& tsql, const std::string& native,
                       int64_t want, double target, const TranslationCheck& check) {
  if (source.empty()) {
    state.SkipWithError("Q6FD_TEST_PG is not set");
    return;
  }
  Label(state, engine == Engine::SQLite ? "SQLite" : "PostgreSQL", rows);
  Connection con;
  con.Open(source);
  const std::string translated = TranslateSql(tsql, engine).native;
  if (check) {
    const std::string refused = check(con, translated);
    if (!refused.empty()) {
      state.SkipWithError(refused.c_str());
      return;
    }
  }
  con.driver().Execute(translated);
  con.driver().Execute(native);
  double system_s = 0, baseline_s = 0;
  if (TimeInTurns(state, con.driver(), translated, native, want, &system_s, &baseline_s))
    ReportTime(state, system_s, baseline_s, target);
}

void FillRows(Connection& con, const std::string& table, int64_t rows,
              const std::function<std::string(int64_t)>& row, bool translate) {
  Driver& driver = con.driver();
  con.BeginTrans();
  for (int64_t i = 0; i < rows; i += 1000) {
    std::string sql = "insert into " + table + " values ";
    for (int64_t k = i; k < i + 1000 && k < rows; ++k) (sql += k == i ? "" : ",") += row(k);
    if (translate)
      driver.Execute(TranslateSql(sql, driver.engine()));
    else
      driver.Execute(sql);
  }
  con.CommitTrans();
}

}  // namespace q6::bench
