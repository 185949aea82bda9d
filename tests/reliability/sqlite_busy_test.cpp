// The SQLite database held by another writer for longer than the busy
// timeout (5 s): readers go on at once; every writing call gives up after the
// timeout with an error that says the database is locked (a method that
// answers False or a fixed text by design writes it to the statement trace),
// and nothing of the call nor of the other writer's open transaction stays
// in the database.
//
// The other writer is a child process that has begun BEGIN IMMEDIATE and
// changed rows; the calls run in children of their own, all at once, so the
// whole test waits the timeout about once. GetNewOID tries its begin again a
// few times (it waits about six timeouts) and runs only in the soak run.
#include <chrono>

#include "platform/trace/trace.h"
#include "road.h"
#include "workers.h"

namespace q6::test {
namespace {

struct BusyCase {
  const char* call;
  const char* outcome;  // what the call's outcome begins with
  bool waits;           // runs into the writer: waits the timeout, the trace tells why
  bool soak_only;
};

const BusyCase kCases[] = {
    {"LoadEOMetaData", "True", false, false},
    {"GetData", "True", false, false},
    {"SaveEOMetaData", "False", true, false},
    {"LockIt", "Error 0x80040C1E 由于并发原因不能进行操作！", true, false},
    {"UnlockIt", "Error 0x80004005 Waited 5000 ms (BusyTimeout)", true, false},
    {"Save", "Error 0x80004005 Waited 5000 ms (BusyTimeout)", true, false},
    {"GetNewOID", "Error 0x80004005 Waited 5000 ms (BusyTimeout)", true, false},
};

constexpr const char* kLocked = "database is locked";

class SqliteBusyTest : public ReliabilityTest {};

TEST_P(SqliteBusyTest, WritersGiveUpWithAClearErrorAndNothingIsHalfWritten) {
  if (engine() != Engine::SQLite) GTEST_SKIP() << "a busy timeout is SQLite's";
  const std::string& source = SharedSource();
  SeedSampleData(3);
  const std::vector<std::string> before = DataSnapshot();

  const std::string ready = folder() + "/writer.ready";
  const std::string release = folder() + "/writer.release";
  Workers writer;
  writer.Spawn(
      [&] {
        Connection con;
        con.Open(source);
        con.BeginTrans();
        con.Execute("update fd_receipt set remark = 'half-written'");
        con.Execute("update FD_Entities set sCaption = 'half-written' where iID = 51");
        AppendLine(ready, "ready");
        WaitForFile(release, std::chrono::seconds(120));
        con.RollbackTrans();
        return 0;
      },
      false);
  ASSERT_TRUE(WaitForFile(ready, std::chrono::seconds(20)));

  Workers callers;
  std::vector<const BusyCase*> ran;
  for (const BusyCase& c : kCases) {
    if (c.soak_only && !SoakRun()) continue;
    ran.push_back(&c);
    callers.Spawn([&] {
      SetTraceFile(folder() + "/" + c.call + ".trace");
      const auto start = std::chrono::steady_clock::now();
      std::string outcome = Outcome([&] { return RoadCallNamed(c.call).call(source); });
      auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now() - start)
                    .count();
      return AppendLine(folder() + "/" + c.call + ".out", outcome + "\n" + std::to_string(ms)) ? 0
                                                                                               : 1;
    });
  }
  EXPECT_EQ(callers.WaitAll(std::chrono::seconds(120)), std::vector<int>(ran.size(), 0));
  AppendLine(release, "go");
  EXPECT_EQ(writer.WaitAll(std::chrono::seconds(20)), std::vector<int>{0});

  for (const BusyCase* c : ran) {
    SCOPED_TRACE(c->call);
    std::vector<std::string> out = ReadLines(folder() + "/" + c->call + ".out");
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].rfind(c->outcome, 0), 0u) << out[0];
    const long ms = std::stol(out[1]);
    std::printf("[ figures  ] busy writer: %s -> %s after %ld ms\n", c->call, out[0].c_str(), ms);
    const std::vector<std::string> trace = ReadLines(folder() + "/" + c->call + ".trace");
    const bool trace_tells = std::any_of(trace.begin(), trace.end(), [](const std::string& l) {
      return l.find(kLocked) != std::string::npos;
    });
    if (c->waits) {
      EXPECT_GE(ms, 4500) << "gave up before the busy timeout";
      EXPECT_TRUE(trace_tells) << "the statement trace does not say the database was locked";
    } else {
      EXPECT_LT(ms, 4000) << "a reader waited for the writer";
    }
  }
  EXPECT_EQ(DataSnapshot(), before) << "something was written";
  EXPECT_EQ(IntegrityCheck(), "ok");
}

Q6_INSTANTIATE_ENGINE_TEST(SqliteBusyTest);

}  // namespace
}  // namespace q6::test
