// Every kind of engine failure, provoked once on each engine that has it,
// comes back with its kind and the engine's own code. Which engine has which
// failure, and under which code, is declared in the table below and nowhere
// else.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "platform/drivers/driver.h"
#include "support/test_db.h"

namespace q6 {
namespace {

using test::EngineTest;

class ErrorKindTest : public EngineTest {
 public:
  // For the provocations below, which are plain functions.
  using EngineTest::dsn;
  using EngineTest::engine;
  using EngineTest::folder;
  using EngineTest::quirks;
  std::unique_ptr<Driver> Open() { return OpenDriver(ResolveDataSource(dsn())); }
};

// Runs what makes the failure happen; returns the error it raised.
using Provocation = std::function<void(ErrorKindTest&)>;

void Busy(ErrorKindTest& t) {
  auto writer = t.Open();
  auto reader = t.Open();
  writer->Execute("CREATE TABLE k (n INTEGER PRIMARY KEY)");
  writer->Begin();
  writer->Execute("INSERT INTO k VALUES (1)");
  // A reader that holds a snapshot cannot wait for the write lock (it would
  // wait on a writer that may need it to finish): it fails at once.
  reader->Execute("BEGIN");
  reader->Execute("SELECT count(*) FROM k");
  reader->Execute("INSERT INTO k VALUES (2)");
}

void StaleSnapshot(ErrorKindTest& t) {
  auto a = t.Open();
  auto b = t.Open();
  a->Execute("CREATE TABLE k (n INTEGER PRIMARY KEY, v INTEGER)");
  a->Execute("INSERT INTO k VALUES (1, 0)");
  b->Execute(t.engine() == Engine::SQLite ? "BEGIN" : "BEGIN ISOLATION LEVEL REPEATABLE READ");
  b->Execute("SELECT v FROM k WHERE n = 1");
  a->Execute("UPDATE k SET v = 1 WHERE n = 1");
  b->Execute("UPDATE k SET v = 2 WHERE n = 1");
}

void LockWaitRunsOut(ErrorKindTest& t) {
  auto holder = t.Open();
  auto waiter = t.Open();
  holder->Execute("CREATE TABLE k (n INTEGER PRIMARY KEY)");
  holder->Begin();
  holder->Execute("LOCK TABLE k IN ACCESS EXCLUSIVE MODE");
  waiter->Execute("SET lock_timeout = '20ms'");
  waiter->Execute("SELECT * FROM k");
}

void Deadlock(ErrorKindTest& t) {
  auto a = t.Open();
  auto b = t.Open();
  a->Execute("CREATE TABLE k (n INTEGER PRIMARY KEY, v INTEGER)");
  a->Execute("INSERT INTO k VALUES (1, 0), (2, 0)");
  for (Driver* d : {a.get(), b.get()}) {
    try {
      d->Execute("SET deadlock_timeout = '20ms'");  // for superusers; else 1 s
    } catch (const ComError&) {
    }
    d->Begin();
  }
  a->Execute("UPDATE k SET v = 1 WHERE n = 1");
  b->Execute("UPDATE k SET v = 1 WHERE n = 2");
  // a waits for b's row on its own thread; b then asks for a's row. The
  // server fails one of the two; a's failure is handed over by rethrowing.
  std::exception_ptr a_failed;
  std::thread other([&] {
    try {
      a->Execute("UPDATE k SET v = 2 WHERE n = 2");
    } catch (...) {
      a_failed = std::current_exception();
    }
  });
  try {
    b->Execute("UPDATE k SET v = 2 WHERE n = 1");
  } catch (...) {
    other.join();
    throw;
  }
  other.join();
  if (a_failed) std::rethrow_exception(a_failed);
}

void DuplicateKey(ErrorKindTest& t) {
  auto d = t.Open();
  d->Execute("CREATE TABLE k (n INTEGER PRIMARY KEY)");
  d->Execute("INSERT INTO k VALUES (1)");
  d->Execute("INSERT INTO k VALUES (1)");
}

void SessionGoesAway(ErrorKindTest& t) {
  if (t.engine() == Engine::SQLite) {
    // An embedded database has no session to lose; a file that cannot be
    // opened is its failure to connect.
    DataSource ds = ResolveDataSource(t.dsn());
    ds.database = t.folder() + "/no/such/folder/x.db";
    OpenDriver(ds);
    return;
  }
  auto victim = t.Open();
  auto admin = t.Open();
  std::string pid = victim->Execute("SELECT pg_backend_pid()").cells[0].ToString();
  admin->Execute("SELECT pg_terminate_backend(" + pid + ", 10000)");
  for (int i = 0; i < 100; ++i) victim->Execute("SELECT 1");  // the session ends in between
}

struct KindCase {
  const char* name;
  ErrorKind kind;
  const char* sqlite_code;  // nullptr: SQLite has no such failure
  const char* pg_code;      // nullptr: PostgreSQL has no such failure; "*": any
  Provocation provoke;
};

const KindCase kCases[] = {
    {"Busy", ErrorKind::kBusy, "5", nullptr, Busy},
    {"Serialization", ErrorKind::kSerialization, "517", "40001", StaleSnapshot},
    {"LockTimeout", ErrorKind::kLockTimeout, nullptr, "55P03", LockWaitRunsOut},
    {"Deadlock", ErrorKind::kDeadlock, nullptr, "40P01", Deadlock},
    {"Constraint", ErrorKind::kConstraint, "1555", "23505", DuplicateKey},
    {"ConnectionLost", ErrorKind::kConnectionLost, "14", "*", SessionGoesAway},
};

TEST_P(ErrorKindTest, EachFailureComesWithItsKindAndNativeCode) {
  for (const KindCase& c : kCases) {
    const char* code = engine() == Engine::SQLite ? c.sqlite_code : c.pg_code;
    if (!code) continue;
    // Through a pooler the session ended is not the client's: the client
    // goes on in another, and another client may be handed the one ended.
    if (std::string_view(c.name) == "ConnectionLost" && engine() == Engine::PostgreSQL &&
        !quirks().server_sessions)
      continue;
    SCOPED_TRACE(c.name);
    try {
      c.provoke(*this);
      ADD_FAILURE() << "nothing failed";
    } catch (const ComError& e) {
      EXPECT_EQ(e.hr(), E_FAIL) << e.description();
      EXPECT_EQ(ErrorKindName(e.kind()), std::string(ErrorKindName(c.kind))) << e.description();
      if (std::string(code) != "*") {
        EXPECT_EQ(e.native_code(), code) << e.description();
      }
    }
    Exec("DROP TABLE IF EXISTS k");
  }
}

TEST_P(ErrorKindTest, AnErrorOfNoKindStillKeepsTheEngineCode) {
  auto d = Open();
  try {
    d->Execute("SELECT * FROM no_such_table");
    ADD_FAILURE() << "nothing failed";
  } catch (const ComError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::kOther);
    EXPECT_EQ(e.native_code(), engine() == Engine::SQLite ? "1" : "42P01");
  }
}

Q6_INSTANTIATE_ENGINE_TEST(ErrorKindTest);

}  // namespace
}  // namespace q6
