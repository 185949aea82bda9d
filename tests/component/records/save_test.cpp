// DataManager.Save on both engines: the statements it sends (golden text),
// what lands in the tables, EditState, and the child records saved by their
// own states.
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
using write_test::FieldDef;
using write_test::HrOf;
using write_test::MakeEntity;
using write_test::MakeRecord;
using Statements = std::vector<std::string>;

class SaveTest : public test::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped()) return;
    Exec("create table T (k varchar(40), a varchar(200), b integer, c integer, d varchar(200))");
    Exec("create table C (ck varchar(40), p varchar(40), q varchar(200))");
    con_ = OpenConnection();
  }

  // The worked example: table T, key field e (column k, not persistent),
  // a (1, "x"), b (3, 12, Changed), c (6, True), d (1, Null).
  std::shared_ptr<EntityObject> Parent(int32_t state) {
    return MakeEntity("T", "e",
                      {{"e", "k", 1, Variant("123"), false},
                       {"a", "a", 1, Variant("x")},
                       {"b", "b", 3, Variant(int32_t{12}), true, true},
                       {"c", "c", 6, Variant(true)},
                       {"d", "d", 1, Variant::Null()}},
                      "123", state);
  }

  // The child definition on C: key ck, link field p, value q.
  static std::shared_ptr<EntityObject> ChildDefinition() {
    auto child = MakeEntity(
        "C", "ck",
        {{"ck", "ck", 1, Variant()}, {"p", "p", 1, Variant()}, {"q", "q", 1, Variant()}});
    child->SetParentField(Variant("p"));
    return child;
  }

  bool Save(const std::shared_ptr<EntityObject>& eo) { return write_test::Save(dm_, con_, eo); }

  std::string Text(const std::string& sql) { return Scalar(sql).ToString(); }

  DataManager dm_;
  std::shared_ptr<Connection> con_;
};

TEST_P(SaveTest, InsertSendsTheExampleTextAndWritesTheRow) {
  const auto eo = Parent(2);
  StatementCapture cap;
  EXPECT_TRUE(Save(eo));
  EXPECT_EQ(cap.Sql(), Statements{"Insert Into T (a, b, c, d) Values ('x', 12, 1, NULL);"});
  EXPECT_EQ(eo->EditState(), 1);
  EXPECT_EQ(Text("select count(*) from T where a = 'x' and b = 12 and c = 1 and d is null"), "1");
}

TEST_P(SaveTest, UpdateSendsTheExampleTextAndChangesOnlyChangedColumns) {
  Exec("insert into T (k, a, b, c, d) values ('123', 'old', 1, 0, 'keep')");
  Exec("insert into T (k, a, b, c, d) values ('124', 'other', 1, 0, 'other')");
  for (int32_t state : {3, 5, 6}) {
    Exec("update T set b = 1 where k = '123'");
    const auto eo = Parent(state);
    StatementCapture cap;
    EXPECT_TRUE(Save(eo)) << state;
    EXPECT_EQ(cap.Sql(), Statements{"Update T Set b = 12 Where k = '123'"}) << state;
    EXPECT_EQ(eo->EditState(), 1) << state;
    EXPECT_EQ(Text("select a || '/' || b || '/' || d from T where k = '123'"), "old/12/keep");
    EXPECT_EQ(Text("select b from T where k = '124'"), "1");
  }
}

TEST_P(SaveTest, OtherStatesDoNothingAndLeaveChildrenAlone) {
  for (int32_t state : {0, 1, 7, 8, -1}) {
    auto eo = Parent(state);
    eo->ChildEOs()->SetChildEO(ChildDefinition());
    AddRecord(*eo, MakeRecord(*ChildDefinition(), {{"ck", Variant("c1")}}, "c1", 2));
    StatementCapture cap;
    EXPECT_TRUE(write_test::Save(dm_, nullptr, eo)) << state;
    EXPECT_TRUE(cap.Sql().empty()) << state;
    EXPECT_EQ(eo->EditState(), state);
    EXPECT_TRUE(eo->ChildEOs()->Item(1)->ParentOID()->Value().empty()) << "children not visited";
  }
}

TEST_P(SaveTest, StateFourIsDelete) {
  Exec("insert into T (k, a) values ('123', 'gone')");
  Exec("insert into T (k, a) values ('7', 'stays')");
  Exec("insert into C (ck, p) values ('c1', '123')");
  auto eo = Parent(4);
  eo->ChildEOs()->SetChildEO(ChildDefinition());
  StatementCapture cap;
  EXPECT_TRUE(Save(eo));
  EXPECT_EQ(cap.Sql(),
            (Statements{"Delete From C Where p = '123'", "Delete From T Where k = '123'"}));
  EXPECT_EQ(eo->EditState(), 4);
  EXPECT_EQ(Text("select count(*) from T"), "1");
  EXPECT_EQ(Text("select count(*) from C"), "0");
}

TEST_P(SaveTest, ChildrenAreSavedByTheirOwnStates) {
  Exec("insert into T (k, a) values ('123', 'parent')");
  Exec("insert into C (ck, p, q) values ('u', 'stale', 'before')");
  Exec("insert into C (ck, p, q) values ('d', '123', 'to go')");
  Exec("insert into C (ck, p, q) values ('n', 'elsewhere', 'untouched')");
  auto eo = Parent(3);
  const auto def = ChildDefinition();
  eo->ChildEOs()->SetChildEO(def);
  AddRecord(*eo, MakeRecord(*def, {{"ck", Variant("i")}, {"q", Variant("new")}}, "i", 2));
  AddRecord(*eo, MakeRecord(*def, {{"ck", Variant("u")}, {"q", Variant("after")}}, "u", 3, {"q"}));
  AddRecord(*eo, MakeRecord(*def, {{"ck", Variant("d")}}, "d", 4));
  AddRecord(*eo, MakeRecord(*def, {{"ck", Variant("n")}, {"q", Variant("ignored")}}, "n", 1));
  // A caller that holds the definition's ParentOID sees the save's value in it.
  const ObjectRef held = def->Get("ParentOID").ToObject();
  held->Put("Value", "stale");

  StatementCapture cap;
  EXPECT_TRUE(Save(eo));
  // The link field was put (Changed) before the child's own update.
  EXPECT_EQ(cap.Sql(), (Statements{
                           "Update T Set b = 12 Where k = '123'",
                           "Insert Into C (ck, p, q) Values ('i', '123', 'new');",
                           "Update C Set p = '123', q = 'after' Where ck = 'u'",
                           "Delete From C Where ck = 'd'",
                       }));
  EXPECT_EQ(held->Get("Value"), Variant("123"));
  EXPECT_EQ(def->ParentOID(), held);
  for (const auto& record : *eo->ChildEOs()) {
    EXPECT_EQ(record->ParentOID()->Value(), "123");
    EXPECT_EQ(record->Fields()->Item("p")->Value().ToString(), "123");
  }
  EXPECT_EQ(eo->ChildEOs()->Item(4)->EditState(), 1);
  EXPECT_EQ(eo->ChildEOs()->Item(3)->EditState(), 4);
  EXPECT_EQ(Text("select q from C where ck = 'i' and p = '123'"), "new");
  EXPECT_EQ(Text("select q from C where ck = 'u' and p = '123'"), "after");
  EXPECT_EQ(Text("select count(*) from C where ck = 'd'"), "0");
  EXPECT_EQ(Text("select p || q from C where ck = 'n'"), "elsewhereuntouched");
}

TEST_P(SaveTest, NewParentRowComesBeforeItsChildrenAndGivesThemItsOid) {
  auto eo = Parent(2);
  eo->SetOIDValue(Variant("P1"));  // the OID, not the key field's value, links
  const auto def = ChildDefinition();
  eo->ChildEOs()->SetChildEO(def);
  AddRecord(*eo, MakeRecord(*def, {{"ck", Variant("c1")}}, "c1", 2));
  StatementCapture cap;
  EXPECT_TRUE(Save(eo));
  EXPECT_EQ(cap.Sql(), (Statements{"Insert Into T (a, b, c, d) Values ('x', 12, 1, NULL);",
                                   "Insert Into C (ck, p, q) Values ('c1', 'P1', NULL);"}));
}

TEST_P(SaveTest, RecordsWithoutChildDefinitionAreNotVisited) {
  auto eo = Parent(2);
  AddRecord(*eo, MakeRecord(*ChildDefinition(), {{"ck", Variant("c1")}}, "c1", 2));
  StatementCapture cap;
  EXPECT_TRUE(Save(eo));
  EXPECT_EQ(cap.Sql().size(), 1u);
  EXPECT_TRUE(eo->ChildEOs()->Item(1)->ParentOID()->Value().empty());
}

TEST_P(SaveTest, FailuresBeforeAnyStatementLeaveEverythingAsItWas) {
  struct Row {
    const char* label;
    std::function<std::shared_ptr<EntityObject>()> make;
    HRESULT hr;
  } rows[] = {
      {"update without qualifying field",
       [this] {
         auto eo = Parent(3);
         eo->Fields()->Item("b")->SetChanged(Variant(false));
         return eo;
       },
       VbHr(kVbInvalidProcedureCall)},
      {"update without key field",
       [this] {
         auto eo = Parent(3);
         eo->SetOIDSourceField(Variant("nokey"));
         return eo;
       },
       VbHr(kVbInvalidProcedureCall)},
      {"child without link field",
       [this] {
         auto eo = Parent(2);
         auto def = ChildDefinition();
         def->SetParentField(Variant("nolink"));
         eo->ChildEOs()->SetChildEO(def);
         AddRecord(*eo, MakeRecord(*def, {}, "c1", 2));
         return eo;
       },
       VbHr(kVbInvalidProcedureCall)},
      {"Boolean value out of range",
       [this] {
         auto eo = Parent(2);
         eo->Fields()->Item("c")->SetValue(Variant(int32_t{256}));
         return eo;
       },
       VbHr(kVbOverflow)},
  };
  for (const Row& r : rows) {
    const auto eo = r.make();
    const int32_t state = eo->EditState();
    StatementCapture cap;
    EXPECT_EQ(HrOf([&] { Save(eo); }), r.hr) << r.label;
    EXPECT_TRUE(cap.Sql().empty()) << r.label;
    EXPECT_EQ(eo->EditState(), state) << r.label;
  }
  EXPECT_EQ(Text("select count(*) from T"), "0");
}

TEST_P(SaveTest, RefusedStatementRaisesAndKeepsEditState) {
  auto eo = Parent(2);
  eo->Fields()->Item("d")->SetSourceField(Variant("nosuchcolumn"));
  EXPECT_EQ(HrOf([&] { Save(eo); }), E_FAIL);
  EXPECT_EQ(eo->EditState(), 2);
}

TEST_P(SaveTest, FailingChildLeavesParentAndEarlierChildrenWritten) {
  auto eo = Parent(2);
  const auto def = ChildDefinition();
  eo->ChildEOs()->SetChildEO(def);
  AddRecord(*eo, MakeRecord(*def, {{"ck", Variant("c1")}}, "c1", 2));
  auto bad = MakeRecord(*def, {{"ck", Variant("c2")}}, "c2", 2);
  bad->SetSourceTable(Variant("NoSuchTable"));
  AddRecord(*eo, bad);
  EXPECT_EQ(HrOf([&] { Save(eo); }), E_FAIL);
  EXPECT_EQ(eo->EditState(), 1);
  EXPECT_EQ(Text("select count(*) from T"), "1");
  EXPECT_EQ(Text("select count(*) from C"), "1");
}

// Values that would end the literal, end the statement or start a comment
// if they were not quoted properly; all must be stored exactly.
const char* const kHostile[] = {
    "O'Brien",
    "'); delete from T; --",
    "a;b",
    "-- not a comment",
    "/* nor this */",
    "''",
    "\\'",
    "资金管理 ü € 😀",
    "line\nbreak",
    "tab\there",
    "%_",
    "'",
};

TEST_P(SaveTest, HostileTextIsStoredExactlyByInsertAndUpdate) {
  Exec("insert into T (k, a) values ('guard', 'guard')");
  int n = 0;
  for (const char* text : kHostile) {
    const std::string oid = "o'" + std::to_string(++n);
    auto eo =
        MakeEntity("T", "e", {{"e", "k", 1, Variant(oid)}, {"a", "a", 1, Variant(text)}}, oid, 2);
    EXPECT_TRUE(Save(eo)) << text;
    ASSERT_EQ(Scalar("select a from T where k = '" + SqlEscaped(oid) + "'").ToString(), text);
    eo->Fields()->Item("a")->SetValue(Variant(std::string(text) + "|" + text));
    eo->SetEditState(Variant(int32_t{3}));
    eo->Fields()->Item("a")->SetChanged(Variant(true));
    EXPECT_TRUE(Save(eo)) << text;
    EXPECT_EQ(Scalar("select a from T where k = '" + SqlEscaped(oid) + "'").ToString(),
              std::string(text) + "|" + text);
  }
  EXPECT_EQ(Text("select count(*) from T"), std::to_string(n + 1));
}

Q6_INSTANTIATE_ENGINE_TEST(SaveTest);

}  // namespace
}  // namespace q6
