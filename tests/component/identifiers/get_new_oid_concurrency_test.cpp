// Several processes allocating OIDs of one type at the same time: every OID
// is handed out once, and the counter moves by exactly the number handed out;
// an allocation waits for another that holds the counter and continues from
// the value that one stored.
//
// Each worker is a forked child that opens its own connections (through its
// own copy of the apartment's pool, which holds nothing for the data source
// used here) and leaves with _exit, so no test teardown runs twice. The
// SQLite case uses a database file the parent has closed before forking: a
// child must not inherit an open SQLite handle on the file it uses.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "component/frame/oid_manager.h"
#include "outside/eso/oid_object.h"
#include "platform/schema/schema.h"
#include "support/test_db.h"

namespace q6 {
namespace {

constexpr int kWorkers = 4;
constexpr int kPerWorker = 250;

// How long a holder keeps the counter: well inside the data source's wait
// (5 s by default), so the allocation waits for it and then goes on.
int HoldSeconds(Engine) { return 1; }

// Waits on `go` (until the parent closes its end), allocates `count` OIDs of
// type 51 on `source` and writes them one per line to `out_path`; on a
// failure it writes "ERROR <text>". Never returns.
[[noreturn]] void Worker(const std::string& source, int go, const std::string& out_path,
                         int count) {
  char c;
  while (::read(go, &c, 1) > 0) {
  }
  std::ofstream out(out_path);
  int code = 0;
  try {
    OIDManager mgr;
    Variant dsn(source);
    for (int i = 0; i < count; ++i) {
      int32_t type = 51;
      bool locked = true;
      out << As<OIDObject>(mgr.GetNewOID(dsn, type, locked))->Value() << '\n';
    }
  } catch (const std::exception& e) {
    out << "ERROR " << e.what() << '\n';
    code = 1;
  }
  out.close();
  ::_exit(code);
}

class GetNewOidConcurrencyTest : public test::EngineTest {
 protected:
  // The data source the workers share, with type 51 seeded; nothing of the
  // parent stays connected to it on SQLite.
  std::string PrepareSource() {
    std::string source = dsn();
    if (engine() == Engine::SQLite) {
      source = "Driver=sqlite;Database=" + folder() + "/race.db";
      InitDataSource(source);
    }
    Connection con;
    con.Open(source);
    con.Execute(
        "insert into FD_Entities (iID, sName, sCaption, ibitype, sOIDSourceField, sSourceTable, "
        "sMaxOID) values (51, 'doc', 'Doc', 51, 'coid', 'fd_doc', '510000000000000')");
    con.Close();
    return source;
  }
};

TEST_P(GetNewOidConcurrencyTest, FourProcessesGetDistinctOidsAndTheCounterMovesByAll) {
  const std::string source = PrepareSource();
  int go[2];
  ASSERT_EQ(::pipe(go), 0);
  std::vector<pid_t> pids;
  for (int w = 0; w < kWorkers; ++w) {
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::close(go[1]);
      Worker(source, go[0], folder() + "/worker" + std::to_string(w), kPerWorker);
    }
    pids.push_back(pid);
  }
  ::close(go[0]);
  ::close(go[1]);  // all workers start now
  for (pid_t pid : pids) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "worker " << pid;
  }

  std::set<std::string> oids;
  size_t lines = 0;
  for (int w = 0; w < kWorkers; ++w) {
    std::ifstream in(folder() + "/worker" + std::to_string(w));
    for (std::string line; std::getline(in, line);) {
      ++lines;
      ASSERT_EQ(line.rfind("ERROR", 0), std::string::npos) << line;
      EXPECT_EQ(line.size(), 15u) << line;
      oids.insert(line);
    }
  }
  EXPECT_EQ(lines, size_t{kWorkers * kPerWorker});
  EXPECT_EQ(oids.size(), size_t{kWorkers * kPerWorker});  // no OID twice

  Connection con;
  con.Open(source);
  auto rs = con.Execute("select sMaxOID from FD_Entities where iID = 51");
  const std::string final_counter = rs->Field("sMaxOID").ToString();
  EXPECT_EQ(final_counter, "510000000001000");
  // Every OID is one of the counter's steps: together they are exactly the
  // thousand values after the seed.
  ASSERT_FALSE(oids.empty());
  EXPECT_EQ(*oids.begin(), "510000000000001");
  EXPECT_EQ(*oids.rbegin(), final_counter);
}

TEST_P(GetNewOidConcurrencyTest, AllocationWaitsForTheHolderAndContinuesFromItsValue) {
  const std::string source = PrepareSource();
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const int hold = HoldSeconds(engine());
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::close(ready[0]);
    int code = 0;
    try {
      Connection con;
      con.Open(source);
      con.BeginTrans();
      con.Execute("Select sMaxOID From FD_Entities with(updlock) Where iID = 51");
      con.Execute(" update fd_entities set smaxoid='510000000000500' where iid= 51");
      (void)!::write(ready[1], "r", 1);
      ::sleep(hold);
      con.CommitTrans();
    } catch (const std::exception&) {
      code = 1;
    }
    ::_exit(code);
  }
  ::close(ready[1]);
  char c = 0;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);  // the holder has the counter now
  ::close(ready[0]);

  OIDManager mgr;
  Variant dsn(source);
  int32_t type = 51;
  bool locked = true;
  std::string oid;
  try {
    oid = As<OIDObject>(mgr.GetNewOID(dsn, type, locked))->Value();
  } catch (const ComError& e) {
    ADD_FAILURE() << e.description();
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(oid, "510000000000501");
}

Q6_INSTANTIATE_ENGINE_TEST(GetNewOidConcurrencyTest);

}  // namespace
}  // namespace q6
