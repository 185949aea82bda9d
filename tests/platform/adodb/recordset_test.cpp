// Connection and Recordset on both engines: execute, moving, EOF/BOF,
// fields, errors 3021/3265, transactions, calls by name.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/adodb/ado_errors.h"
#include "platform/drivers/driver.h"
#include "runtime/class_table.h"
#include "support/error_of.h"
#include "support/test_db.h"

namespace q6 {
namespace {

using test::EngineTest;
using test::ErrorOf;

class RecordsetTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped()) return;
    con_ = OpenConnection();
    con_->Execute("create table t (k integer primary key, name text, amount double precision)");
    con_->Execute("insert into t values (1, 'one', 1.5)");
    con_->Execute("insert into t values (2, 'two', null)");
    con_->Execute("insert into t values (3, 'three', 3.25)");
  }
  std::shared_ptr<Connection> con_;
};

TEST_P(RecordsetTest, ExecuteReturnsAllRowsAndMovesBothWays) {
  auto rs = con_->Execute("select k, name, amount from t order by k");
  EXPECT_EQ(rs->State(), kAdStateOpen);
  EXPECT_EQ(rs->RecordCount(), 3);
  std::vector<int32_t> seen;
  for (; !rs->EOF(); rs->MoveNext()) seen.push_back(rs->Field("k").ToLong());
  EXPECT_THAT(seen, ::testing::ElementsAre(1, 2, 3));
  EXPECT_FALSE(rs->BOF());
  rs->MovePrevious();
  EXPECT_EQ(rs->Field("K").ToLong(), 3);
  rs->MoveFirst();
  rs->MovePrevious();
  EXPECT_TRUE(rs->BOF());
  EXPECT_FALSE(rs->EOF());
  rs->MoveLast();
  EXPECT_EQ(rs->Field("NAME").ToString(), "three");
}

// A user's own tables, created through the layer with plain text types,
// compare as under SQL Server's default collation: without case, trailing
// blanks ignored, with the literals bound as parameters (each statement runs
// twice, the second time prepared) and between columns.
TEST_P(RecordsetTest, UsersTablesCompareWithoutCaseAndTrailingBlanks) {
  con_->Execute("create table u (id int, code varchar(10), grp nvarchar(max))");
  con_->Execute("alter table u add note char(4)");
  con_->Execute(
      "insert into u values (1, 'abc  ', 'X', 'n'), (2, 'ABD', 'x', 'N'), (3, 'b', 'y', 'm')");
  con_->Execute("create table w (code text)");
  con_->Execute("insert into w values ('ABC'), ('abd  ')");
  const std::pair<const char*, int32_t> kCases[] = {
      {"select count(*) from u where code = 'ABC'", 1},
      {"select count(*) from u where code < 'abc '", 0},
      {"select count(*) from u where code <= 'ABC'", 1},
      {"select count(*) from u where code > 'abc'", 2},
      {"select count(*) from u where code >= 'ABD  '", 2},
      {"select count(*) from u where code <> 'abd'", 2},
      {"select count(*) from u where code in ('ABC', 'b  ')", 2},
      {"select count(*) from u where code not in ('ABC', 'x')", 2},
      {"select count(*) from u join w on w.code = u.code", 2},
      {"select count(*) from u, w where u.code >= w.code", 5},
      {"select count(distinct grp) from u", 2},
      {"select count(*) from (select distinct grp + '' g from u) d", 2},
      {"select count(*) from (select distinct note from u) d", 2},
      {"select count(*) from u where note = 'N   '", 2},
  };
  for (const auto& [sql, want] : kCases)
    for (int run = 0; run < 2; ++run) EXPECT_EQ(Scalar(sql).ToLong(), want) << sql;
  EXPECT_THROW(con_->Execute("insert into u (code) values ('12345678901')"), ComError);
}

TEST_P(RecordsetTest, NullStaysNullAndNamesMatchWithoutCase) {
  auto rs = con_->Execute("select * from t where k = 2");
  auto f = rs->Fields()->Item(Variant("AMOUNT"));
  EXPECT_TRUE(f->Value().IsNull());
  EXPECT_EQ(f->Name(), "amount");
  EXPECT_EQ(rs->Fields()->Item(Variant(int32_t{1}))->Value().ToString(), "two");
  EXPECT_EQ(rs->Fields()->Count(), 3);
}

// Names are found without case, the first of a name winning, alike in
// narrow results (searched in place) and wide ones (looked up by index).
TEST_P(RecordsetTest, ColumnNamesFoundWithoutCaseInNarrowAndWideResults) {
  const HRESULT k3265 = MakeHr(0x800A0CC1u);
  for (int width : {3, 20}) {
    std::string sql = "select 1 as '\xC3\x89tat', 2 as 'ab', 3 as 'AB'";
    for (int i = 3; i < width; ++i) sql += ", 0 as 'c" + std::to_string(i) + "'";
    auto rs = con_->Execute(sql);
    ASSERT_EQ(rs->Fields()->Count(), width);
    EXPECT_EQ(rs->Field("\xC3\xA9tat").ToLong(), 1) << width;
    EXPECT_EQ(rs->Field("\xC3\x89TAT").ToLong(), 1) << width;
    EXPECT_EQ(rs->Field("aB").ToLong(), 2) << width;
    if (width == 20) EXPECT_EQ(rs->Field("C19").ToLong(), 0);
    EXPECT_EQ(ErrorOf([&] { rs->Field("a"); }), k3265) << width;
    EXPECT_EQ(ErrorOf([&] { rs->Field("\xC3\xA9ta"); }), k3265) << width;
  }
}

TEST_P(RecordsetTest, NoCurrentRowAndUnknownColumnErrors) {
  auto empty = con_->Execute("select * from t where 1>1");
  EXPECT_TRUE(empty->EOF());
  EXPECT_TRUE(empty->BOF());
  EXPECT_EQ(empty->RecordCount(), 0);
  const HRESULT k3021 = MakeHr(0x800A0BCDu), k3265 = MakeHr(0x800A0CC1u);
  EXPECT_EQ(ErrorOf([&] { empty->Field("k"); }), k3021);
  EXPECT_EQ(ErrorOf([&] { empty->MoveFirst(); }), k3021);
  EXPECT_EQ(ErrorOf([&] { empty->MoveLast(); }), k3021);
  EXPECT_EQ(ErrorOf([&] { empty->MoveNext(); }), k3021);
  EXPECT_EQ(ErrorOf([&] { empty->Fields()->Item(Variant("nosuch")); }), k3265);
  EXPECT_EQ(ErrorOf([&] { empty->Fields()->Item(Variant(int32_t{3})); }), k3265);
  try {
    empty->Field("k");
  } catch (const ComError& e) {
    EXPECT_EQ(e.description(),
              "Either BOF or EOF is True, or the current record has been deleted. Requested "
              "operation requires a current record.");
  }
  auto rs = con_->Execute("select * from t order by k");
  rs->MoveLast();
  rs->MoveNext();
  EXPECT_EQ(ErrorOf([&] { rs->MoveNext(); }), k3021);
  EXPECT_EQ(ErrorOf([&] { rs->Field("k"); }), k3021);
}

TEST_P(RecordsetTest, FieldHandedOutFollowsTheCurrentRow) {
  auto rs = con_->Execute("select k, name from t order by k");
  auto name = rs->Fields()->Item(Variant("name"));
  Variant held(name);  // as another object would keep it
  EXPECT_EQ(held.ToString(), "one");
  rs->MoveNext();
  EXPECT_EQ(name->DefaultValue().ToString(), "two");
  EXPECT_EQ(held.Unwrapped().ToString(), "two");
  EXPECT_EQ(rs->Fields()->Item(Variant("NAME")), name) << "one Field object per column";
  rs->Close();
  EXPECT_EQ(ErrorOf([&] { name->Value(); }), VbHr(kAdoObjectClosed));
}

TEST_P(RecordsetTest, StatementsWithoutRowsGiveAClosedRecordsetAndCount) {
  Variant affected;
  auto rs = con_->Execute("update t set name = 'x' where k >= 2", &affected);
  EXPECT_EQ(rs->State(), kAdStateClosed);
  EXPECT_EQ(affected.ToLong(), 2);
  EXPECT_EQ(con_->Execute("delete from t", nullptr, kAdExecuteNoRecords), nullptr);
  EXPECT_EQ(Scalar("select count(*) from t").ToLong(), 0);
}

TEST_P(RecordsetTest, EngineErrorsAndClosedConnection) {
  EXPECT_EQ(ErrorOf([&] { con_->Execute("select * from nowhere"); }), E_FAIL);
  con_->Close();
  EXPECT_EQ(con_->State(), kAdStateClosed);
  EXPECT_EQ(ErrorOf([&] { con_->Execute("select 1"); }), VbHr(kAdoConnectionClosed));
}

TEST_P(RecordsetTest, CommitKeepsAndRollbackUndoes) {
  auto other = OpenConnection();
  EXPECT_EQ(con_->BeginTrans(), 1);
  con_->Execute("insert into t values (10, 'ten', 0)");
  con_->CommitTrans();
  EXPECT_EQ(other->Execute("select count(*) as n from t where k = 10")->Field("n").ToLong(), 1);
  con_->BeginTrans();
  con_->Execute("delete from t");
  con_->RollbackTrans();
  EXPECT_EQ(Scalar("select count(*) from t").ToLong(), 4);
}

TEST_P(RecordsetTest, CommitOrRollbackWithoutTransactionFails) {
  EXPECT_EQ(ErrorOf([&] { con_->CommitTrans(); }), kXactNoTransaction);
  EXPECT_EQ(ErrorOf([&] { con_->RollbackTrans(); }), kXactNoTransaction);
  con_->BeginTrans();
  EXPECT_EQ(ErrorOf([&] { con_->BeginTrans(); }), kXactOnlyOneTransaction);
  con_->CommitTrans();
  EXPECT_EQ(ErrorOf([&] { con_->CommitTrans(); }), kXactNoTransaction);
}

TEST_P(RecordsetTest, CloseRollsBackAnOpenTransaction) {
  con_->BeginTrans();
  con_->Execute("delete from t");
  con_->Close();
  EXPECT_EQ(Scalar("select count(*) from t").ToLong(), 3);
}

TEST_P(RecordsetTest, FieldValueReadInPlaceIsTheValueReadByName) {
  auto rs = con_->Execute("select k, name, amount from t order by k");
  auto k = rs->Fields()->Item(Variant("k"));
  const MemberInfo* value = k->Interface().Find("Value", MemberKind::PropertyGet);
  ASSERT_TRUE(value->read_in_place) << "Field.Value is held by the recordset";
  for (; !rs->EOF(); rs->MoveNext())
    for (auto f : {Variant("k"), Variant("name"), Variant("amount")})
      EXPECT_EQ(value->read_in_place(*rs->Fields()->Item(f)), rs->Fields()->Item(f)->Get("Value"));
  EXPECT_EQ(ErrorOf([&] { value->read_in_place(*k); }), MakeHr(0x800A0BCDu));
}

TEST_P(RecordsetTest, LateBoundCallsByName) {
  ObjectRef con = CreateLinkedObject("ADODB.Connection");
  con->Call("Open", {Variant(dsn())});
  Variant affected;
  con->Call("Execute", {Variant("update t set amount = 0"), Variant::Ref(&affected)});
  EXPECT_EQ(affected.ToLong(), 3);
  ObjectRef rs = CreateLinkedObject("adodb.recordset");
  rs->Call("Open", {Variant("select * from t order by k"), Variant(con)});
  EXPECT_FALSE(rs->Get("EOF").ToBool());
  // rs("name") and rs.Fields("name").Value through the default members.
  EXPECT_TRUE(rs->InvokeById(DISPID_VALUE, MemberKind::PropertyGet, {}).IsObject());
  Variant f = rs->InvokeById(DISPID_VALUE, MemberKind::PropertyGet, {Variant("NAME")});
  EXPECT_EQ(f.ToString(), "one");
  ObjectRef fields = rs->Get("Fields").ToObject();
  std::vector<std::string> names;
  for (const Variant& v : fields->Enumerate())
    names.push_back(ToLower(ObjectOf(v)->Get("Name").ToString()));
  EXPECT_THAT(names, ::testing::ElementsAre("k", "name", "amount"));
  rs->Call("MoveNext");
  EXPECT_EQ(fields->Get("Item", {Variant("k")}).ToLong(), 2);
  EXPECT_EQ(rs->Get("RecordCount").ToLong(), 3);
}

Q6_INSTANTIATE_ENGINE_TEST(RecordsetTest);

}  // namespace
}  // namespace q6
