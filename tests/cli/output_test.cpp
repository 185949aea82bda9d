// What scripts rely on: JSON documents that match the schemas checked in
// beside this file (on both engines), exit codes by kind, help and usage
// errors from the command table, and read commands that create nothing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli/error_kind.h"
#include "cli/run_q6fd.h"
#include "component/frame/lock_manager.h"
#include "platform/drivers/driver.h"
#include "support/test_db.h"

namespace q6 {
namespace {

using test::CmdResult;
using test::Quote;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

// True when `json` conforms to schemas/<schema>.json; `why` says why not.
bool Conforms(const std::string& json, const std::string& schema, const std::string& folder,
              std::string* why) {
  std::string file = folder + "/.doc.json";
  std::ofstream(file) << json;
  CmdResult r = test::RunShell(
      "python3 " + Quote(std::string(Q6FD_CLI_DIR) + "/validate_json.py") + " " +
          Quote(std::string(Q6FD_CLI_DIR) + "/schemas/" + schema + ".json") + " < " + Quote(file),
      folder);
  *why = r.err;
  return r.status == 0;
}

class CliOutputTest : public test::EngineTest {
 protected:
  CmdResult Cmd(const std::string& args) { return test::Q6fd(args, folder()); }
  std::string D() { return Quote(dsn()); }
};

TEST_P(CliOutputTest, JsonDocumentsMatchTheirSchemasAndExitCodesTheirKinds) {
  ASSERT_EQ(Cmd("seed " + D() + " --documents 3").status, 0);
  const std::string lock = "--id 510000000000002 --as ann --at pc1 --module fd";
  struct Row {
    std::string args;
    int status;
    std::string schema;    // of standard output ("error": of standard error)
    std::string contains;  // in that document
  } rows[] = {
      {"types " + D(), 0, "types", "\"caption\": \"收款单\""},
      {"type " + D() + " 51", 0, "type", "\"key\": true"},
      {"records " + D() + " 51 --first", 0, "records", "\"remark\": null"},
      {"records " + D() + " 51 --last", 0, "records", "\"line_no\": 1,"},
      {"records " + D() + " 51 --oid 519999", 6, "error", "\"kind\": \"not_found\""},
      {"browse " + D() + " 53 --limit 2", 0, "browse", "\"count\": 3"},
      {"query " + D() + " 51 --names", 0, "query", "\"transactions_code\": \"0000000003\""},
      {"oid " + D() + " 51", 0, "oid", "\"oid\": \"510000000000003\""},
      {"code " + D() + " 51 --peek", 0, "code", "\"allocated\": false"},
      {"lock " + D() + " " + lock, 0, "lock", "\"locked\": true"},
      {"locks " + D(), 0, "locks", "\"user_name\": \"ann\""},
      {"lock " + D() + " --class 51 --as bob --at pc2 --module fd", 3, "error",
       "\"holder\": {\"user\": \"ann\", \"workstation\": \"pc1\", \"module\": \"fd\", "
       "\"level\": 7"},
      {"unlock " + D() + " " + lock, 0, "lock", "\"released\": true"},
      {"seed " + D(), 0, "seed", "\"documents_added\": 0"},
      {"init " + D(), 0, "init", "\"initialized\""},
      {"--version", 0, "version", "1.2.0"},
      {"sql " + D() + " \"select iID as id, sCaption as caption from FD_Entities where iID = 51\"",
       0, "sql", "\"rows\": [\n  {\"id\": 51, \"caption\": \"收款单\"}]"},
      {"sql " + D() + " \"insert into FD_Locks values('1','u','w','m','7','d')\"", 0, "sql",
       "{\"rows_affected\": 1}"},
      {"sql " + D() + " \"insert into FD_Entities (iID) values (51)\"", 1, "error",
       "\"kind\": \"constraint\", \"native\": "},
      {"classes No.Such", 6, "error", "\"kind\": \"not_found\""},
      {"types " + D() + " extra", 2, "error", "unexpected argument extra"},
      {"type " + D() + " 99", 6, "error", "\"kind\": \"not_found\""},
      {"types 'Driver=sqlite;Database=" + folder() + "/missing.db'", 5, "error", "q6fd init"},
      {"types 'Driver=postgresql;Server=127.0.0.1;Port=1;Database=x;UID=u'", 5, "error",
       "\"kind\": \"connection_lost\""},
  };
  for (const Row& row : rows) {
    CmdResult r = Cmd("--json " + row.args);
    EXPECT_EQ(r.status, row.status) << row.args << "\n" << r.both();
    const std::string& doc = row.schema == "error" ? r.err : r.out;
    std::string why;
    EXPECT_TRUE(Conforms(doc, row.schema, folder(), &why)) << row.args << ": " << why << "\n"
                                                           << doc;
    EXPECT_THAT(doc, HasSubstr(row.contains)) << row.args;
    // A failure is on standard error only (a statement of sql that ran
    // before it keeps its result: none here).
    if (row.schema == "error") {
      EXPECT_THAT(r.out, ::testing::AnyOf("", "{\"results\": []}\n")) << row.args;
    }
  }
  CmdResult csv = Cmd("--csv types " + D());
  EXPECT_EQ(csv.out.substr(0, csv.out.find('\r')),
            "type,caption,name,table,last_oid,child,child_caption");
  EXPECT_EQ(Cmd("lock " + D() + " " + lock + " --digest why").status, 0);
  // Without --json too, failures and "not found" are on standard error
  // only, with the exit code of their kind.
  const struct {
    std::string args;
    int status;
    std::string err;
  } plain[] = {
      {"lock " + D() + " --id 510000000000002 --as bob --at pc2 --module fd", 3, "原因如下"},
      {"records " + D() + " 51 --oid 519999", 6, "q6fd records: no record at 519999"},
      {"type " + D() + " 99", 6, "not defined"},
      {"lock " + D() + " --user", 1, "returned False"},
      {"sql " + D() + " \"select * from no_such_table\"", 1, "no_such_table"},
  };
  for (const auto& row : plain) {
    CmdResult r = Cmd(row.args);
    EXPECT_EQ(r.status, row.status) << row.args << "\n" << r.both();
    EXPECT_THAT(r.err, HasSubstr(row.err)) << row.args;
    EXPECT_EQ(r.out, "") << row.args;
  }
}

Q6_INSTANTIATE_ENGINE_TEST(CliOutputTest);

TEST(CliHelp, HelpAndUsageComeFromTheCommandTable) {
  std::string dir = fs::temp_directory_path();
  struct Row {
    std::string args;
    int status;
    bool on_stdout;
    std::string contains;
  } rows[] = {
      {"help", 0, true, "5  cannot connect"},
      {"help lock", 0, true, "--class PREFIX          level 6"},
      {"lock --help", 0, true, "--digest TEXT"},
      {"seed -h", 0, true, "--force"},
      {"--version", 0, true, "q6fd 1.2.0"},
      {"-V", 0, true, "q6fd 1.2.0"},
      {"help", 0, true, "6  not found"},
      {"sql a", 2, false, "give a STATEMENT or -f FILE"},
      {"", 2, false, "usage: q6fd"},
      {"help nosuch", 2, false, "unknown command nosuch"},
      {"nosuch", 2, false, "unknown command nosuch"},
      {"types a b", 2, false, "unexpected argument b"},
      {"types a --limit 3", 2, false, "unknown option --limit"},
      {"browse a 51 --limit", 2, false, "--limit needs a value N"},
      {"browse a 51 --limit x", 2, false, "--limit must be a whole number"},
      {"records a", 2, false, "missing BITYPE"},
      {"records a 51 --first --last", 2, false, "give one of"},
      {"lock a --as x", 2, false, "give a level"},
      {"--csv lock a --id 1", 2, false, "table commands"},
  };
  for (const Row& row : rows) {
    CmdResult r = test::Q6fd(row.args, dir);
    EXPECT_EQ(r.status, row.status) << row.args << "\n" << r.both();
    EXPECT_THAT(row.on_stdout ? r.out : r.err, HasSubstr(row.contains)) << row.args;
    EXPECT_EQ(row.on_stdout ? r.err : r.out, "") << row.args;
  }
}

TEST(CliReadOnly, ReadCommandsNeverCreateOrChangeADatabaseFile) {
  std::string dir = fs::temp_directory_path() / ("q6ro." + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::string empty = dir + "/empty.db", missing = dir + "/missing.db";
  std::ofstream(empty).close();
  for (const char* cmd : {"types", "locks", "type", "records", "browse", "query", "oid", "code"}) {
    for (const std::string& path : {empty, missing}) {
      std::string args = std::string(cmd) + " " + Quote("Driver=sqlite;Database=" + path);
      if (std::string(cmd) != "types" && std::string(cmd) != "locks") args += " 51";
      CmdResult r = test::Q6fd(args, dir);
      EXPECT_EQ(r.status, 5) << args << "\n" << r.both();
      EXPECT_THAT(r.err, HasSubstr(path)) << args;
      EXPECT_THAT(r.err, HasSubstr("q6fd init")) << args;
    }
    EXPECT_FALSE(fs::exists(missing)) << cmd;
    EXPECT_EQ(fs::file_size(empty), 0u) << cmd;
  }
  fs::remove_all(dir);
}

TEST(CliErrorKind, EachEnginesFailuresMapToTheirKind) {
  using Kind = q6::ErrorKind;
  struct Row {
    HRESULT hr;
    std::string description;
    Kind engine_kind;  // as the driver set it
    Kind kind;         // as the command line reports it
    int exit;
  } rows[] = {
      {Q6_E_LOCKED, "held by a", Kind::kLockConflict, Kind::kLockConflict, 3},
      // A conflict is told by its kind: the conflict text alone is the
      // concurrency failure of the lock methods.
      {Q6_E_LOCKED, "当前记录已被用户[a]锁定(级别7)，请稍后再试！", Kind::kOther, Kind::kBusy, 4},
      {Q6_E_LOCKED, "由于并发原因不能进行操作！", Kind::kOther, Kind::kBusy, 4},
      {Q6_E_LOCKED, "由于并发原因不能进行操作！", Kind::kConnectionLost, Kind::kConnectionLost, 5},
      {E_FAIL, "database is locked (SQLITE_BUSY)", Kind::kBusy, Kind::kBusy, 4},
      {E_FAIL, "canceling statement due to lock timeout", Kind::kLockTimeout, Kind::kLockTimeout,
       4},
      {E_FAIL, "deadlock detected", Kind::kDeadlock, Kind::kDeadlock, 4},
      {E_FAIL, "could not serialize access", Kind::kSerialization, Kind::kSerialization, 4},
      {E_FAIL, "Cannot connect to PostgreSQL (Server=x): refused", Kind::kConnectionLost,
       Kind::kConnectionLost, 5},
      {E_FAIL, "duplicate key value", Kind::kConstraint, Kind::kConstraint, 1},
      // The text alone decides nothing.
      {E_FAIL, "deadlock detected (SQLSTATE 40P01)", Kind::kOther, Kind::kOther, 1},
      {DISP_E_TYPEMISMATCH, "Type mismatch", Kind::kOther, Kind::kOther, 1},
  };
  for (const Row& row : rows) {
    ComError e(row.hr, row.description, "", row.engine_kind, "");
    EXPECT_EQ(cli::KindOf(e), row.kind) << row.description;
    EXPECT_EQ(cli::ExitCode(cli::KindOf(e)), row.exit) << row.description;
  }
  // The holder comes from the error's data, whatever the text says.
  auto h = cli::HolderOf(ComError(Q6_E_LOCKED, "工作站[x]用户[y]", "", Kind::kLockConflict, "",
                                  {{kConflictReason, "check"},
                                   {kConflictUser, "张三"},
                                   {kConflictWorkstation, "pc-01"},
                                   {kConflictModule, "fd"},
                                   {kConflictLevel, "6"}}));
  ASSERT_TRUE(h);
  EXPECT_EQ(h->workstation, "pc-01");
  EXPECT_EQ(h->user, "张三");
  EXPECT_EQ(h->module, "fd");
  EXPECT_EQ(h->level, 6);
  EXPECT_EQ(h->reason, "check");
  EXPECT_FALSE(cli::HolderOf(
      ComError(Q6_E_LOCKED,
               "当前记录已被工作站[pc-01]上的用户[张三]于模块[fd]中锁定(级别6)，请稍后再试！")));
}

}  // namespace
}  // namespace q6
