// The command line, run as a user runs it: the demo end to end on both
// engines, every command once against a seeded database, bad arguments.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "cli/run_q6fd.h"
#include "platform/datasource/data_source.h"
#include "platform/drivers/driver.h"
#include "support/test_db.h"

namespace q6 {
namespace {

using test::CmdResult;
using test::Quote;

class CliTest : public test::EngineTest {
 protected:
  CmdResult Cmd(const std::string& args) {
    CmdResult r = test::Q6fd(args, folder());
    r.out = r.both();
    return r;
  }
  std::string D() { return Quote(dsn()); }
};

TEST_P(CliTest, DemoWalksTheWholeRoadTwice) {
  for (int round = 0; round < 2; ++round) {
    CmdResult r = Cmd("demo --dsn " + D());
    ASSERT_EQ(r.status, 0) << r.out;
    for (const char* expected :
         {"LoadEOMetaData", "收款单", "MoveToByRS First", "MoveTo Previous", "LockIt -> True",
          "error 0x80040C1E", "当前记录已被工作站[pc-01]上的用户[张三]", "GetNewCode",
          "Save -> True, EditState now 1", "lines left (MoveToBySQL): 0", "UnlockIt -> True",
          "locks left: 0", "-----------开始------------", "approved receipts", "Try next"})
      EXPECT_NE(r.out.find(expected), std::string::npos) << "missing: " << expected;
  }
}

TEST_P(CliTest, EveryCommandAgainstASeededDatabase) {
  ASSERT_EQ(Cmd("init " + D()).status, 0);
  CmdResult seed = Cmd("seed " + D() + " --documents 5");
  ASSERT_EQ(seed.status, 0) << seed.out;
  EXPECT_NE(seed.out.find("13 documents added"), std::string::npos) << seed.out;
  struct Row {
    std::string args;
    int status;
    std::string expected;
  } rows[] = {
      {"types " + D(), 0, "收款单明细"},
      {"type " + D() + " 51", 0, "transactions_code"},
      {"records " + D() + " 51 --first", 0, "510000000000001"},
      {"records " + D() + " 51 --next 510000000000001", 0, "510000000000002"},
      {"records " + D() + " 51 --last", 0, "510000000000005"},
      {"browse " + D() + " 53 --limit 2", 0, "5 records of type 53"},
      {"lock " + D() + " --id 510000000000002 --as ann --at pc1 --module fd", 0, "True"},
      {"lock " + D() + " --class 51 --as bob --at pc2 --module fd", 3, "用户[ann]"},
      {"locks " + D(), 0, "510000000000002"},
      {"unlock " + D() + " --id 510000000000002 --as ann --at pc1", 0, "True"},
      {"oid " + D() + " 51", 0, "510000000000005"},
      {"oid " + D() + " 51 --allocate", 0, "510000000000006"},
      {"code " + D() + " 51", 0, "0000000006"},
      {"query " + D() + " 51", 0, "transactions_code"},
      {"query " + D() + " 63", 0, "未审核"},
      {"query " + D() + " 63 --names", 0, "status"},
      {"--json types " + D(), 0, "\"caption\": \"收款单\""},
      {"classes Q6FDMgr.DataManager", 0, "MoveToByRS"},
      {"call Q6FDMgr.DataManager.MaxQrySqc " + D() + " 51", 0, "0"},
      {"type " + D() + " 99", 6, "not defined"},
      {"records " + D(), 2, "usage: q6fd records"},
      {"oid " + D() + " x51", 2, "usage"},
      {"lock " + D() + " --bogus", 2, "unknown option --bogus"},
      {"nosuchcommand", 2, "unknown command"},
      {"types 'Driver=sqlite;Database=" + folder() + "/empty.db'", 5, "q6fd init"},
      {"types nosuchsource", 1, "nosuchsource"},
  };
  for (const Row& row : rows) {
    CmdResult r = Cmd(row.args);
    EXPECT_EQ(r.status, row.status) << row.args << "\n" << r.out;
    EXPECT_NE(r.out.find(row.expected), std::string::npos) << row.args << "\n" << r.out;
  }
}

// Each command resolves its data source once and opens one connection,
// which the component's methods then share; only a method that keeps one
// connection while it asks for another makes a second (LoadEOMetaData
// holds the type's while it loads the child type).
TEST_P(CliTest, ACommandSharesOneConnectionWithTheComponent) {
  ASSERT_EQ(Cmd("seed " + D() + " --documents 2").status, 0);
  const struct {
    std::string args;
    size_t connections;
  } rows[] = {
      {"types " + D(), 1},
      {"locks " + D(), 1},
      {"oid " + D() + " 51 --allocate", 1},
      {"lock " + D() + " --id 510000000000001 --as ann --at pc1", 1},
      {"unlock " + D() + " --id 510000000000001 --as ann --at pc1", 1},
      {"type " + D() + " 51", 2},
      {"records " + D() + " 51 --first", 2},
      {"browse " + D() + " 51", 2},
      {"query " + D() + " 51", 2},
      {"code " + D() + " 51 --peek", 2},
  };
  const std::string trace = folder() + "/conns.jsonl";
  for (const auto& row : rows) {
    std::filesystem::remove(trace);
    CmdResult r = test::RunShell(
        "Q6FD_TRACE=" + Quote(trace) + " " + Quote(Q6FD_BIN) + " " + row.args, folder());
    ASSERT_EQ(r.status, 0) << row.args << "\n" << r.both();
    std::set<std::string> ids;
    std::ifstream in(trace);
    for (std::string line; std::getline(in, line);) {
      const size_t at = line.find("\"conn\": ");
      if (at != std::string::npos) ids.insert(line.substr(at + 8, line.find(',', at) - at - 8));
    }
    EXPECT_EQ(ids.size(), row.connections) << row.args;
  }
}

// The data source as a file path (SQLite) or a postgresql:// URI, the
// socket folder or host percent-encoded and the test's schema a parameter.
std::string PathOrUri(const DataSource& ds) {
  if (ds.engine == Engine::SQLite) return ds.database;
  std::string host;
  for (char c : ds.server) host += c == '/' ? std::string("%2F") : std::string(1, c);
  return "postgresql://" + ds.uid + "@" + host + (ds.port.empty() ? "" : ":" + ds.port) + "/" +
         ds.database + "?Schema=" + ds.schema + (ds.pooled ? "&Pooler=transaction" : "");
}

// q6fd sql on a script of batches, its data source given as a path or URI:
// each statement's result in order in each format, and the first failing
// statement ending the run, named by its line, with the exit code of its
// kind and the results before it kept.
// An import that meets a table held by another client's open write exits
// with the wait status (4, "try again") as other commands do, on either
// engine (SQLite: the database is busy; PostgreSQL: the swap's wait runs out).
TEST_P(CliTest, AnImportThatMeetsAHeldTableExitsWithTheWaitStatus) {
  const std::string script = folder() + "/held.sql";
  std::ofstream(script) << "CREATE TABLE [dbo].[held]([k] [int] NOT NULL)\nGO\n"
                           "INSERT [dbo].[held] ([k]) VALUES (1)\n";
  const std::string waits = Quote(dsn() + ";BusyTimeout=300;LockTimeout=300");
  ASSERT_EQ(Cmd("import " + waits + " " + Quote(script)).status, 0);
  auto holder = OpenConnection();
  holder->BeginTrans();
  holder->Execute("insert into held (k) values (2)");
  CmdResult r = Cmd("--json import --replace " + waits + " " + Quote(script));
  holder->RollbackTrans();
  EXPECT_EQ(r.status, 4) << r.out;
  EXPECT_NE(r.out.find(std::string("\"kind\": \"") + ErrorKindName(quirks().wait_ran_out_kind)),
            std::string::npos)
      << r.out;
}

TEST_P(CliTest, SqlRunsAScriptOfBatchesInEachFormat) {
  const std::string src = Quote(PathOrUri(ResolveDataSource(dsn())));
  const std::string script = folder() + "/batches.sql";
  std::ofstream(script) << "create table t_sql (id int primary key, name nvarchar(20), n int);\n"
                           "insert into t_sql values (1, N'甲', 10); insert into t_sql\n"
                           "  values (2, 'b;c', null)\n"
                           "GO\n"
                           "-- only a comment; not a statement\n"
                           "update t_sql set n = n + 1 where id = 1;\n"
                           "select id, name, n from t_sql order by id;\n"
                           "select name + '!' as shout from t_sql where id = 2\n"
                           "go\n";
  CmdResult json = test::Q6fd("--json sql " + src + " -f " + Quote(script), folder());
  ASSERT_EQ(json.status, 0) << json.out;
  EXPECT_EQ(json.out,
            "{\"results\": [\n"
            " {\"rows_affected\": null},\n {\"rows_affected\": 1},\n {\"rows_affected\": 1},\n"
            " {\"rows_affected\": 1},\n"
            " {\"columns\": [{\"name\": \"id\"}, {\"name\": \"name\"}, {\"name\": \"n\"}],\n"
            " \"rows\": [\n  {\"id\": 1, \"name\": \"甲\", \"n\": 11},\n"
            "  {\"id\": 2, \"name\": \"b;c\", \"n\": null}]},\n"
            " {\"columns\": [{\"name\": \"shout\"}],\n \"rows\": [\n  {\"shout\": \"b;c!\"}]}\n"
            "]}\n");
  const std::string select =
      "select id, name from t_sql order by id; select count(*) as c from t_sql";
  CmdResult csv = test::Q6fd("--csv sql " + src + " " + Quote(select), folder());
  EXPECT_EQ(csv.out, "id,name\r\n1,甲\r\n2,b;c\r\n\r\nc\r\n2\r\n");
  CmdResult text =
      test::RunShell("printf 'delete from t_sql where id = 2\\nGO\\nselect id from t_sql' | " +
                         Quote(Q6FD_BIN) + " sql " + src + " -f -",
                     folder());
  EXPECT_EQ(text.out, "(1 row affected)\n\nid\n--\n1\n(1 row)\n") << text.err;

  std::ofstream(script) << "select 1 as one;\nGO\n\ninsert into t_sql values (1, 'x', 0);\n"
                           "select 2 as two\n";
  CmdResult failed = test::Q6fd("--json sql " + src + " -f " + Quote(script), folder());
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.out,
            "{\"results\": [\n {\"columns\": [{\"name\": \"one\"}],\n \"rows\": [\n  "
            "{\"one\": 1}]}\n]}\n");
  EXPECT_NE(failed.err.find(script + " line 4: "), std::string::npos) << failed.err;
  EXPECT_NE(failed.err.find("\"kind\": \"constraint\""), std::string::npos) << failed.err;
}

Q6_INSTANTIATE_ENGINE_TEST(CliTest);

}  // namespace
}  // namespace q6
