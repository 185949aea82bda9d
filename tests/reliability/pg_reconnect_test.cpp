// The PostgreSQL server drops the connections the apartment's pool holds
// between two calls: the next call of every kind gets a fresh connection
// and succeeds; the pool never hands out a dead one.
//
// The connections are ended from another session with pg_terminate_backend,
// which is what a restart does to them and touches nothing else on the
// server; the soak run restarts the server itself with pg_ctl (the data
// folder is the Server folder of the connection string + "/data", its log
// that folder's server.log, as scripts/pg.sh lays them out). Calls run in the test process: it is
// the process's own pool that must notice.
#include <unistd.h>

#include <chrono>
#include <set>
#include <thread>

#include "outside/services/connection_manager.h"
#include "platform/datasource/data_source.h"
#include "road.h"

namespace q6::test {
namespace {

// The backend process ids of the connections idle in this apartment's
// pool for `source`: each is taken (all at once) and asked.
std::set<int64_t> PooledBackends(const std::string& source) {
  const size_t idle = ApartmentConnectionManager()->IdleCount();
  std::vector<std::unique_ptr<ConnectionLease>> leases;
  std::set<int64_t> pids;
  for (size_t i = 0; i < idle; ++i) {
    leases.push_back(std::make_unique<ConnectionLease>(Variant(source)));
    pids.insert(CountOf(**leases.back(), "select pg_backend_pid()"));
  }
  return pids;
}

// Ends the sessions `pids` from a session of its own and waits until they
// are gone.
void Terminate(const std::string& source, const std::set<int64_t>& pids) {
  Connection admin;
  admin.Open(source);
  std::string list;
  for (int64_t pid : pids) list += (list.empty() ? "" : ",") + std::to_string(pid);
  admin.Execute("select pg_terminate_backend(pid) from pg_stat_activity where pid in (" + list +
                ")");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (CountOf(admin, "select count(*) from pg_stat_activity where pid in (" + list + ")") > 0) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the sessions did not end";
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// Restarts the server of `source` with pg_ctl, as the user that runs it.
void RestartServer(const std::string& source) {
  const DataSource ds = ResolveDataSource(source);
  const std::string data = ds.server + "/data";
  const std::string pg_ctl = "$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n1)/pg_ctl";
  std::string cmd = pg_ctl + " -D '" + data + "' -l '" + ds.server +
                    "/server.log' -m fast -w restart >/dev/null 2>&1";
  if (::geteuid() == 0) cmd = "su postgres -s /bin/bash -c \"" + cmd + "\"";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
}

class PgReconnectTest : public ReliabilityTest {};

TEST_P(PgReconnectTest, EveryCallAfterTheServerDroppedThePoolSucceeds) {
  if (engine() != Engine::PostgreSQL) GTEST_SKIP() << "a file database has no server to lose";
  if (!quirks().server_sessions) GTEST_SKIP() << "no server sessions of its own to end";
  const std::string& source = SharedSource();
  SeedSampleData(3);
  for (const RoadCall& c : RoadCalls()) {
    if (std::string(c.name) == "Save") continue;  // on a connection of the caller's
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Outcome([&] { return c.call(source); }), "True");
    OpenShared()->Execute("delete from FD_Locks");  // LockIt again must not conflict
    const std::set<int64_t> dropped = PooledBackends(source);
    ASSERT_FALSE(dropped.empty()) << "nothing pooled";
    Terminate(source, dropped);
    EXPECT_EQ(Outcome([&] { return c.call(source); }), "True");
    std::set<int64_t> now = PooledBackends(source);
    for (int64_t pid : now) EXPECT_EQ(dropped.count(pid), 0u) << "a dead connection is pooled";
  }
}

TEST_P(PgReconnectTest, EveryCallAfterAServerRestartSucceeds) {
  if (engine() != Engine::PostgreSQL) GTEST_SKIP() << "a file database has no server to lose";
  if (!SoakRun()) GTEST_SKIP() << "restarts the shared test server: soak run only (Q6_SOAK=1)";
  const std::string& source = SharedSource();
  SeedSampleData(3);
  for (const RoadCall& c : RoadCalls()) {
    if (std::string(c.name) == "Save") continue;
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Outcome([&] { return c.call(source); }), "True");
    OpenShared()->Execute("delete from FD_Locks");
    RestartServer(source);
    EXPECT_EQ(Outcome([&] { return c.call(source); }), "True");
  }
}

Q6_INSTANTIATE_ENGINE_TEST(PgReconnectTest);

}  // namespace
}  // namespace q6::test
