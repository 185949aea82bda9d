// The command line, run as a user runs it: the demo end to end on both
// engines, every command once against a seeded database, bad arguments.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "cli/run_q6fd.h"
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
      {"type " + D() + " 99", 1, "not defined"},
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

Q6_INSTANTIATE_ENGINE_TEST(CliTest);

}  // namespace
}  // namespace q6
