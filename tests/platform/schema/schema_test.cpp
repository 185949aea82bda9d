// The metadata and lock tables on both engines: idempotent creation, the
// lock table's exact shape, case-insensitive text.
#include "platform/schema/schema.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/drivers/driver.h"
#include "support/test_db.h"

namespace q6 {
namespace {

class SchemaTest : public test::EngineTest {};

TEST_P(SchemaTest, CreatingTwiceIsHarmlessAndKeepsRows) {
  Exec("insert into FD_Entities (iID, sName) values (51, 'x')");
  auto con = OpenConnection();
  CreateSchema(*con);  // the fixture already ran it once
  InitDataSource(dsn());
  EXPECT_EQ(Scalar("select count(*) from FD_Entities").ToLong(), 1);
}

// The release trigger of a database an earlier release made: on SQLite
// one that finds holder rows by their texts only, on PostgreSQL the
// row-level one.
const char* const kEarlierRelease[][2] = {
    {"DROP TRIGGER FD_Locks_release",
     "CREATE TRIGGER FD_Locks_release AFTER DELETE ON FD_Locks BEGIN DELETE FROM FD_LockHolders "
     "WHERE locks_id IS old.locks_id; END"},
    {"DROP TRIGGER fd_locks_release_set ON FD_Locks",
     "CREATE OR REPLACE FUNCTION fd_locks_release() RETURNS trigger LANGUAGE plpgsql AS "
     "$b$BEGIN DELETE FROM FD_LockHolders WHERE locks_id = OLD.locks_id; RETURN NULL; END$b$; "
     "CREATE TRIGGER fd_locks_release AFTER DELETE ON FD_Locks FOR EACH ROW EXECUTE FUNCTION "
     "fd_locks_release()"},
};

// An upgrade in place gives such a database today's trigger, and holder
// rows still leave with their locks, several in one statement, and only
// theirs.
TEST_P(SchemaTest, UpgradeReplacesAnEarlierReleaseTrigger) {
  auto con = OpenConnection();
  for (const char* sql : kEarlierRelease[engine() == Engine::PostgreSQL ? 1 : 0])
    if (*sql) con->driver().Execute(sql);
  EXPECT_FALSE(LockReleaseTriggerPresent(con->driver(), engine()));
  UpgradeDataSource(dsn());
  EXPECT_TRUE(LockReleaseTriggerPresent(con->driver(), engine()));
  for (const char* id : {"a", "b", "c"}) {
    const std::string row = std::string("'") + id + "','u','w','m','7',''";
    Exec("insert into FD_Locks values(" + row + ")");
    Exec(
        "insert into FD_LockHolders (locks_id, user_name, workstation_name, mod_name, "
        "class_flag, digest, pid) values(" +
        row + ", 1)");
  }
  Exec("delete from FD_Locks where locks_id <> 'b'");
  EXPECT_EQ(Scalar("select count(*) from FD_LockHolders").ToLong(), 1);
  EXPECT_EQ(Scalar("select locks_id from FD_LockHolders").ToString(), "b");
}

// A datetime column of a table an earlier release made (PostgreSQL: no
// rounding trigger) holds 1/300 s after an upgrade in place: a bound value
// of .125 is stored as SQL Server stores it, .127.
const char* const kEarlierDatetime[] = {"", "DROP TRIGGER q6_tick_up_dt_at ON up_dt"};

TEST_P(SchemaTest, UpgradeRoundsEarlierDatetimeColumns) {
  auto con = OpenConnection();
  Exec("create table up_dt (id int, at datetime)");
  if (const char* sql = kEarlierDatetime[engine() == Engine::PostgreSQL ? 1 : 0]; *sql)
    con->driver().Execute(sql);
  UpgradeDataSource(dsn());
  con->driver().ExecuteParams("insert into up_dt values (1, " + con->driver().Placeholder(1) + ")",
                              {Variant("2024-03-05 10:20:30.125")});
  EXPECT_EQ(Scalar("select convert(varchar(23), at, 121) from up_dt").ToString(),
            "2024-03-05 10:20:30.127");
}

TEST_P(SchemaTest, EveryMetadataColumnIsThere) {
  auto con = OpenConnection();
  const char* entity_cols[] = {
      "iID",          "sName",         "sCaption", "ibitype",        "sOIDSourceField",
      "sSourceTable", "sParentField",  "sTaskID",  "sHelpContextID", "sDescription",
      "iSheet",       "iRows",         "iCols",    "iIsUsed",        "sPzSign",
      "iVchType",     "iderivebitype", "iWidth",   "iHeight",        "bIsAutoAlarm",
      "ialarmdays",   "buseexpr",      "sqryjoin", "SubjectCode",    "bCheckOver",
      "iparentid",    "sMaxOID"};
  auto e = con->Execute("select * from FD_Entities where 1>1");
  ASSERT_EQ(e->Fields()->Count(), 27);
  for (const char* c : entity_cols) EXPECT_NO_THROW(e->Fields()->Item(Variant(c))) << c;
  auto f = con->Execute("select * from FD_Fields where 1>1");
  EXPECT_EQ(f->Fields()->Count(), 34);
  for (const char* c : {"bNeedCheck", "sjoinfield", "dblMax", "iInputCol", "sDefaultValue"})
    EXPECT_NO_THROW(f->Fields()->Item(Variant(c))) << c;
}

TEST_P(SchemaTest, LockTableHasSixTextColumnsInOrderAndNoKey) {
  auto con = OpenConnection();
  auto rs = con->Execute("select * from FD_Locks");
  const char* want[] = {"locks_id", "user_name",  "workstation_name",
                        "mod_name", "class_flag", "digest"};
  ASSERT_EQ(rs->Fields()->Count(), 6);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(ToLower(rs->Fields()->Item(Variant(i))->Name()), want[i]);
  // No key: the same row twice is accepted.
  Exec("insert into fd_locks values('a','u','w','m','7','d')");
  Exec("insert into fd_locks values('a','u','w','m','7','d')");
  EXPECT_EQ(Scalar("select count(*) from FD_Locks").ToLong(), 2);
  EXPECT_TRUE(con->driver().PrimaryKey("FD_Locks").empty());
}

TEST_P(SchemaTest, TextComparesWithoutCaseAndFlagsAreIntegers) {
  Exec("insert into FD_Fields (iID, sName, bIsUsed, iEntityID) values (1, 'Code', 1, 51)");
  EXPECT_EQ(Scalar("select count(*) from FD_Fields where sName = 'CODE'").ToLong(), 1);
  EXPECT_EQ(Scalar("select count(*) from FD_Fields where sname like 'co%'").ToLong(), 1);
  EXPECT_EQ(Scalar("select count(*) from FD_Fields where bisused = 1").ToLong(), 1);
  EXPECT_EQ(Scalar("select sName from FD_Fields where iEntityID = 51").ToString(), "Code");
}

Q6_INSTANTIATE_ENGINE_TEST(SchemaTest);

TEST(SchemaStatements, CitextOnlyOnPostgres) {
  auto pg = SchemaStatements(Engine::PostgreSQL);
  auto lite = SchemaStatements(Engine::SQLite);
  EXPECT_EQ(pg.front(), "CREATE EXTENSION IF NOT EXISTS citext");
  for (const auto& s : lite) EXPECT_EQ(s.find("CITEXT"), std::string::npos) << s;
}

}  // namespace
}  // namespace q6
