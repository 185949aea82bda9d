// What the data access layer and the file-system object refuse outright
// because the text would otherwise mean something else than it says: a
// second statement behind a caller's condition, NUL characters that C
// interfaces would cut text at, and blanks in a schema name that the server
// would read as further options. Each case runs on both engines.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "outside/services/public_service.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/fields.h"
#include "platform/adodb/recordset.h"
#include "platform/drivers/driver.h"
#include "platform/textfile/file_system_object.h"
#include "runtime/com_error.h"
#include "support/test_db.h"

namespace q6::test {
namespace {

// A string literal with its NUL characters, all bytes but the closing one.
template <size_t N>
std::string Bytes(const char (&s)[N]) {
  return std::string(s, N - 1);
}

Variant First(const std::shared_ptr<Recordset>& rs) {
  return rs->Fields()->Item(Variant(int32_t{0}))->Value();
}

class RefusalsTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped()) return;
    Exec("create table canary (id integer)");
    Exec("insert into canary values (1)");
  }
  int64_t Canaries() { return Scalar("select count(*) from canary").ToLong(); }
};

TEST_P(RefusalsTest, OneStatementModeRunsOneAndRefusesMore) {
  struct Case {
    std::string sql;
    bool runs;
  };
  const std::vector<Case> cases = {
      {"select count(*) from canary", true},
      {"select count(*) from canary;", true},
      {"select count(*) from canary ; -- done", true},
      {"select count(*) from canary /* ; drop table canary */", true},
      {"select count(*) from canary where 'a;b' <> ';'", true},
      {"select count(*) from canary; drop table canary", false},
      {"select count(*) from canary where 1=1; delete from canary", false},
      {"insert into canary values (2); drop table canary", false},
  };
  auto con = OpenConnection();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    if (c.runs) {
      EXPECT_EQ(First(con->Execute(c.sql, nullptr, kExecuteOneStatement)).ToLong(), 1);
    } else {
      try {
        con->Execute(c.sql, nullptr, kExecuteOneStatement);
        ADD_FAILURE() << "ran";
      } catch (const ComError& e) {
        EXPECT_EQ(e.hr(), E_FAIL);
        EXPECT_FALSE(e.description().empty());
      }
    }
    EXPECT_EQ(Canaries(), 1);  // nothing of a refused text ran, not even its first part
  }
}

// A new table's exact and date columns get triggers the dialect adds behind
// the statement: they run with it, and a second statement of the caller's
// is still refused.
TEST_P(RefusalsTest, OneStatementModeRunsTheDialectsOwnStatements) {
  auto con = OpenConnection();
  con->Execute("create table typed (id int, amount decimal(9,2), at smalldatetime)", nullptr,
               kExecuteOneStatement);
  con->Execute("insert into typed values (1, 2.345, '2024-03-05 10:20:31')", nullptr,
               kExecuteOneStatement);
  EXPECT_EQ(Scalar("select cast(amount as varchar(10)) + convert(varchar(20), at, 120) from typed")
                .ToString(),
            "2.352024-03-05 10:21:00");
  EXPECT_THROW(con->Execute("create table typed2 (amount decimal(9,2)); drop table canary", nullptr,
                            kExecuteOneStatement),
               ComError);
  EXPECT_EQ(Canaries(), 1);
  EXPECT_EQ(Scalar("select count(*) from typed").ToLong(), 1);
}

TEST_P(RefusalsTest, PublicServiceRunsOneStatementPerCall) {
  auto ps = ApartmentPublicService();
  Variant columns("count(*)"), missing = Variant::Missing(), dsn(this->dsn()), error;
  Variant tail(" from canary where 1=1; drop table canary");
  EXPECT_THROW(ps->GetFieldValue(columns, missing, tail, dsn, error), ComError);
  EXPECT_FALSE(error.ToString().empty());
  Variant sql("select 1; drop table canary");
  int32_t n = 0;
  EXPECT_THROW(ps->ExecuteSQL(sql, dsn, n, n, n, n), ComError);
  EXPECT_EQ(Canaries(), 1);
}

TEST_P(RefusalsTest, NulCharactersNeverReachTheEngine) {
  auto con = OpenConnection();
  const std::vector<std::string> texts = {
      Bytes("select 1;\0select 2"),                 // SQLite looped at this before
      Bytes("select 1 as a\0 union select 2"),      //   and at this
      Bytes("delete from canary where id = '\0'"),  // cut short: another statement
  };
  for (const std::string& sql : texts) {
    for (int32_t options : {-1, kExecuteOneStatement}) {
      try {
        con->Execute(sql, nullptr, options);
        ADD_FAILURE() << "ran a text with a NUL character";
      } catch (const ComError& e) {
        EXPECT_NE(e.description().find("NUL"), std::string::npos) << e.description();
      }
    }
  }
  Driver& d = con->driver();
  EXPECT_THROW(d.ExecuteParams("insert into canary values (" + d.Placeholder(1) + ")",
                               {Variant(Bytes("7\0"
                                              "8"))}),
               ComError);
  EXPECT_EQ(Canaries(), 1);
}

TEST_P(RefusalsTest, FileNamesWithNulAreRefused) {
  namespace fs = std::filesystem;
  textfile::FileSystemObject fso;
  const std::string kept = folder() + "/kept.txt";
  fso.CreateTextFile(kept, true, false).reset();
  const std::string cut = kept + Bytes("\0.log");
  try {
    fso.CreateTextFile(cut, true, false);
    ADD_FAILURE() << "created a file for a name with a NUL character";
  } catch (const ComError& e) {
    EXPECT_EQ(e.Number(), 52);
  }
  EXPECT_FALSE(fso.FileExists(cut));
  EXPECT_THROW(fso.DeleteFile(cut, true), ComError);
  EXPECT_TRUE(fs::exists(kept));  // the name cut at the NUL would have been this file
}

TEST_P(RefusalsTest, DataSourceTextsWithNulAreRefused) {
  Connection con;
  const std::string text = dsn() + Bytes(";\0Schema=other");
  EXPECT_THROW(con.Open(text), ComError);
  EXPECT_EQ(con.State(), kAdStateClosed);
}

TEST_P(RefusalsTest, ASchemaNameCannotAddServerOptions) {
  if (engine() != Engine::PostgreSQL) GTEST_SKIP() << "schemas are a PostgreSQL key";
  Connection con;
  con.Open(dsn() + ";Schema=nosuch -c statement_timeout=1");
  EXPECT_NE(First(con.Execute("show statement_timeout")).ToString(), "1ms");
  EXPECT_NE(First(con.Execute("show search_path")).ToString().find("nosuch"), std::string::npos);
}

Q6_INSTANTIATE_ENGINE_TEST(RefusalsTest);

}  // namespace
}  // namespace q6::test
