// Schemas to drop at exit, kept in a list that is never destroyed and
// dropped by one exit handler through libpq alone.
#include "bench_pg.h"

#include <libpq-fe.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/datasource/data_source.h"
#include "platform/drivers/postgres/pg_driver.h"

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

}  // namespace q6::bench
