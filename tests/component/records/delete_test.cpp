// DataManager.Delete on both engines: child rows by one statement or by
// recursion into loaded child records, the record's own row, golden text,
// and what stays untouched.
#include <gtest/gtest.h>

#include "component/frame/data_manager.h"
#include "component/frame/sql_text.h"
#include "component/records/write_test_util.h"
#include "support/statement_capture.h"
#include "support/test_db.h"

namespace q6 {
namespace {

using test::StatementCapture;
using write_test::AddRecord;
using write_test::HrOf;
using write_test::MakeEntity;
using write_test::MakeRecord;
using Statements = std::vector<std::string>;

class DeleteTest : public test::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped()) return;
    Exec("create table T (k varchar(40), a varchar(40))");
    Exec("create table C (ck varchar(40), p varchar(40))");
    Exec("create table G (gk varchar(40), gp varchar(40))");
    con_ = OpenConnection();
  }

  // Record table T, key field "key" on column k, value `key`.
  static std::shared_ptr<EntityObject> Record(const Variant& key) {
    return MakeEntity("T", "key", {{"key", "k", 1, key}, {"a", "a", 1, Variant("v")}},
                      key.IsNull() || key.IsEmpty() ? "" : key.ToString(), 1);
  }
  // Child table C linked by p; with `grandchild`, G linked by gp below it.
  static std::shared_ptr<EntityObject> ChildDefinition(bool grandchild) {
    auto child = MakeEntity("C", "ckey", {{"ckey", "ck", 1, Variant()}, {"p", "p", 1}});
    child->SetParentField(Variant("p"));
    if (grandchild) {
      auto g = MakeEntity("G", "gkey", {{"gkey", "gk", 1, Variant()}, {"gp", "gp", 1}});
      g->SetParentField(Variant("gp"));
      child->ChildEOs()->SetChildEO(g);
    }
    return child;
  }

  bool Delete(const std::shared_ptr<EntityObject>& eo) { return write_test::Delete(dm_, con_, eo); }
  std::string Rows(const std::string& table, const std::string& key) {
    auto rs = con_->Execute("select " + key + " from " + table + " order by " + key);
    std::string out;
    for (; !rs->EOF(); rs->MoveNext()) out += rs->Field(key).ToString() + " ";
    return out;
  }

  DataManager dm_;
  std::shared_ptr<Connection> con_;
};

TEST_P(DeleteTest, WithoutChildDefinitionOneStatement) {
  Exec("insert into T values ('123', 'x')");
  Exec("insert into T values ('124', 'y')");
  StatementCapture cap;
  EXPECT_TRUE(Delete(Record(Variant("123"))));
  EXPECT_EQ(cap.Sql(), Statements{"Delete From T Where k = '123'"});
  EXPECT_EQ(Rows("T", "k"), "124 ");
}

TEST_P(DeleteTest, ChildRowsGoByParentFieldLoadedOrNot) {
  Exec("insert into T values ('123', 'x')");
  Exec("insert into C values ('c1', '123')");
  Exec("insert into C values ('c2', '123')");
  Exec("insert into C values ('c3', '999')");
  auto eo = Record(Variant("123"));
  eo->ChildEOs()->SetChildEO(ChildDefinition(false));
  StatementCapture cap;
  EXPECT_TRUE(Delete(eo));
  EXPECT_EQ(cap.Sql(),
            (Statements{"Delete From C Where p = '123'", "Delete From T Where k = '123'"}));
  EXPECT_EQ(Rows("C", "ck"), "c3 ");
  EXPECT_EQ(Rows("T", "k"), "");
}

TEST_P(DeleteTest, GrandchildrenGoThroughRecursiveDelete) {
  Exec("insert into T values ('123', 'x')");
  for (const char* c : {"c1", "c2", "c3"})
    Exec(std::string("insert into C values ('") + c + "', '123')");
  for (const char* g : {"c1", "c2", "c3"}) {
    Exec(std::string("insert into G values ('g-") + g + "', '" + g + "')");
  }
  auto eo = Record(Variant("123"));
  const auto def = ChildDefinition(true);
  eo->ChildEOs()->SetChildEO(def);
  // c3 is not loaded: the recursive form only reaches loaded records.
  for (const char* c : {"c1", "c2"}) AddRecord(*eo, MakeRecord(*def, {{"ckey", Variant(c)}}, c, 1));
  StatementCapture cap;
  EXPECT_TRUE(Delete(eo));
  EXPECT_EQ(cap.Sql(), (Statements{
                           "Delete From G Where gp = 'c1'",
                           "Delete From C Where ck = 'c1'",
                           "Delete From G Where gp = 'c2'",
                           "Delete From C Where ck = 'c2'",
                           "Delete From T Where k = '123'",
                       }));
  EXPECT_EQ(Rows("C", "ck"), "c3 ");
  EXPECT_EQ(Rows("G", "gk"), "g-c3 ");
}

TEST_P(DeleteTest, NullOrEmptyKeyComparesWithEmptyText) {
  Exec("insert into T values ('', 'blank')");
  Exec("insert into T values ('1', 'one')");
  for (const Variant& key : {Variant::Null(), Variant()}) {
    StatementCapture cap;
    EXPECT_TRUE(Delete(Record(key)));
    EXPECT_EQ(cap.Sql(), Statements{"Delete From T Where k = ''"});
  }
  EXPECT_EQ(Rows("T", "k"), "1 ");
}

TEST_P(DeleteTest, EntityObjectIsLeftAsItWas) {
  auto eo = Record(Variant("123"));
  eo->SetEditState(Variant(int32_t{4}));
  eo->Fields()->Item("a")->SetChanged(Variant(true));
  const auto def = ChildDefinition(true);
  eo->ChildEOs()->SetChildEO(def);
  AddRecord(*eo, MakeRecord(*def, {{"ckey", Variant("c1")}}, "c1", 2));
  EXPECT_TRUE(Delete(eo));
  EXPECT_EQ(eo->EditState(), 4);
  EXPECT_TRUE(eo->Fields()->Item("a")->Changed());
  EXPECT_EQ(eo->Fields()->Item("key")->Value().ToString(), "123");
  EXPECT_EQ(eo->ChildEOs()->Count(), 1);
  EXPECT_EQ(eo->ChildEOs()->Item(1)->EditState(), 2);
}

TEST_P(DeleteTest, KeysWithQuotesAndOtherTextDeleteExactlyTheirRow) {
  const char* keys[] = {"a'b", "a", "' or '1'='1", "x; delete from T; --", "资金'ü", "\\"};
  for (const char* k : keys) {
    Exec("insert into T values ('" + SqlEscaped(k) + "', 'v')");
    Exec("insert into C values ('c', '" + SqlEscaped(k) + "')");
  }
  size_t left = std::size(keys);
  for (const char* k : keys) {
    auto eo = Record(Variant(k));
    eo->ChildEOs()->SetChildEO(ChildDefinition(false));
    EXPECT_TRUE(Delete(eo)) << k;
    --left;
    EXPECT_EQ(Scalar("select count(*) from T").ToLong(), static_cast<int32_t>(left)) << k;
    EXPECT_EQ(Scalar("select count(*) from C").ToLong(), static_cast<int32_t>(left)) << k;
  }
}

TEST_P(DeleteTest, MissingKeyFieldFailsBeforeAnyStatement) {
  Exec("insert into C values ('c1', '')");
  auto eo = Record(Variant("123"));
  eo->SetOIDSourceField(Variant("nokey"));
  eo->ChildEOs()->SetChildEO(ChildDefinition(false));
  StatementCapture cap;
  EXPECT_EQ(HrOf([&] { Delete(eo); }), VbHr(kVbInvalidProcedureCall));
  EXPECT_TRUE(cap.Sql().empty());
  EXPECT_EQ(Rows("C", "ck"), "c1 ");
}

TEST_P(DeleteTest, FailingChildStopsTheCall) {
  Exec("insert into T values ('123', 'x')");
  for (const char* c : {"c1", "c2", "c3"})
    Exec(std::string("insert into C values ('") + c + "', '123')");
  auto eo = Record(Variant("123"));
  const auto def = ChildDefinition(true);
  eo->ChildEOs()->SetChildEO(def);
  AddRecord(*eo, MakeRecord(*def, {{"ckey", Variant("c1")}}, "c1", 1));
  auto bad = MakeRecord(*def, {{"ckey", Variant("c2")}}, "c2", 1);
  bad->SetSourceTable(Variant("NoSuchTable"));
  AddRecord(*eo, bad);
  AddRecord(*eo, MakeRecord(*def, {{"ckey", Variant("c3")}}, "c3", 1));
  EXPECT_EQ(HrOf([&] { Delete(eo); }), E_FAIL);
  EXPECT_EQ(Rows("C", "ck"), "c2 c3 ");
  EXPECT_EQ(Rows("T", "k"), "123 ");
}

TEST_P(DeleteTest, NothingObjectsRaise) {
  ObjectRef none;
  ObjectRef con = con_;
  ObjectRef eo = Record(Variant("1"));
  EXPECT_EQ(HrOf([&] { dm_.Delete(con, none); }), VbHr(91));
  EXPECT_EQ(HrOf([&] { dm_.Delete(none, eo); }), VbHr(91));
}

Q6_INSTANTIATE_ENGINE_TEST(DeleteTest);

}  // namespace
}  // namespace q6
