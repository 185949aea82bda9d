// GetData on both engines: statement texts per type range, what pRS and cRS
// receive, and failures turned into False.
#include <gtest/gtest.h>

#include "records_fixture.h"

namespace q6::records_test {
namespace {

class GetDataTest : public RecordsTest {
 protected:
  // Runs GetData; `crs` starts as `crs_before`.
  bool Run(std::shared_ptr<EntityObject> eo, ObjectRef& prs, ObjectRef& crs,
           bool get_child = true) {
    ObjectRef e = eo;
    return dm->GetData(con, e, prs, crs, get_child);
  }
};

// "{L}" in a golden text stands for `list`.
std::string WithList(std::string text, const std::string& list) {
  const size_t at = text.find("{L}");
  if (at != std::string::npos) text.replace(at, 3, list);
  return text;
}

TEST_P(GetDataTest, StatementAndRecordsPerTypeRange) {
  for (const char* oid : {"050000000000001", "200000000000001", "210000000000001",
                          "300000000000001", "510000000000002", "510000000000001",
                          "630000000000001", "810000000000001", "820000000000001"})
    AddReceipt(oid, std::string("c") + oid[1], 1);
  struct Row {
    int32_t bi;
    int16_t derive;
    const char* sql;
    std::vector<std::string> keys;
  } rows[] = {
      {5,
       0,
       "Select {L} From fd_receipt  Where oid like '05%' Order By oid ASC",
       {"050000000000001"}},
      {20,
       0,
       "Select {L} From fd_receipt  Where oid like '20%' Order By oid ASC",
       {"200000000000001"}},
      {21,
       0,
       "Select {L} From fd_receipt  Where oid like '21%'  Order By oid ASC",
       {"210000000000001"}},
      {51,
       0,
       "Select {L} From fd_receipt  Where oid like '51%'  Order By oid ASC",
       {"510000000000001", "510000000000002"}},
      {63,
       0,
       "Select {L10} From fd_receipt  where oid like '51%'  Order By oid ASC",
       {"510000000000001", "510000000000002"}},
      {81,
       0,
       "Select {L} From fd_receipt  Where oid like '81%'  Order By oid ASC",
       {"810000000000001"}},
      {82,
       0,
       "Select {L} From fd_receipt  Where oid like '82%' Order By oid ASC",
       {"820000000000001"}},
      {30,
       63,
       "Select {L10} From fd_receipt  where oid like '51%'  Order By oid ASC",
       {"510000000000001", "510000000000002"}},
      {5,
       40,
       "Select {L} From fd_receipt  Where oid like '05%'  Order By oid ASC",
       {"050000000000001"}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(r.bi) + "/" + std::to_string(r.derive));
    std::string sql = r.sql;
    const bool expr = sql.find("{L10}") != std::string::npos;
    if (expr) sql.replace(sql.find("{L10}"), 5, "{L}");
    sql = WithList(sql, expr ? kReceiptList10 : kReceiptList);
    test::StatementCapture capture;
    ObjectRef prs, crs;
    ASSERT_TRUE(Run(Receipt(r.bi, r.derive), prs, crs));
    EXPECT_EQ(capture.Sql(), std::vector<std::string>{sql});
    auto rs = As<Recordset>(prs);
    ASSERT_TRUE(rs);
    EXPECT_EQ(Keys(*rs, "oid"), r.keys);
    if (expr) {  // upper(code): the list was asked for with lFlag 10
      rs->MoveFirst();
      EXPECT_EQ(rs->Field("code").ToString(), "C1");
    }
    EXPECT_FALSE(crs) << "no child definition: cRS is Nothing";
  }
}

TEST_P(GetDataTest, ChildRecordsOfTheFirstRecordOnly) {
  AddThreeReceipts();
  AddLine("520000000000002", "510000000000001", 2);
  AddLine("520000000000001", "510000000000001", 1);
  AddLine("520000000000003", "510000000000002", 3);
  auto eo = ReceiptWithLines();
  test::StatementCapture capture;
  ObjectRef prs, crs;
  ASSERT_TRUE(Run(eo, prs, crs));
  const std::vector<std::string> want{
      WithList("Select {L} From fd_receipt  Where oid like '51%'  Order By oid ASC", kReceiptList),
      WithList("Select {L} From fd_receipt_line  Where parent_oid = '510000000000001' order by "
               "line_oid",
               kLineList)};
  EXPECT_EQ(capture.Sql(), want);
  EXPECT_EQ(Keys(*As<Recordset>(prs), "oid"),
            (std::vector<std::string>{"510000000000001", "510000000000002", "510000000000003"}));
  EXPECT_EQ(Keys(*As<Recordset>(crs), "line_oid"),
            (std::vector<std::string>{"520000000000001", "520000000000002"}));
  EXPECT_EQ(eo->ChildEOs()->ChildEO()->ParentOID()->Value(), "510000000000001");
  // GetData fills nothing of the entity itself.
  EXPECT_EQ(eo->OID()->Value(), "");
  EXPECT_EQ(eo->EditState(), 0);
  EXPECT_EQ(eo->ChildEOs()->Count(), 0);
  EXPECT_TRUE(eo->Fields()->Item("code")->Value().IsEmpty());
}

TEST_P(GetDataTest, EmptyTypeGetChildAndMissingChildDefinition) {
  AddThreeReceipts();
  const ObjectRef sentinel = std::make_shared<Recordset>();
  struct Row {
    int32_t bi;
    bool with_child;
    bool get_child;
    size_t statements;
    bool crs_kept;  // else Nothing
  } rows[] = {
      {40, true, true, 1, false},  // no record of the type: no child statement
      {51, true, false, 1, true},  // GetChild False: cRS untouched
      {51, false, true, 1, false},
      {51, true, true, 2, false},  // cRS gets the child recordset (checked below)
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(r.bi) + (r.with_child ? " child" : "") +
                 (r.get_child ? " get" : ""));
    auto eo = r.with_child ? ReceiptWithLines() : Receipt(51);
    eo->SetBIType(Variant(r.bi));
    if (r.with_child) eo->ChildEOs()->ChildEO()->ParentOID()->SetValue(Variant("before"));
    test::StatementCapture capture;
    ObjectRef prs, crs = sentinel;
    ASSERT_TRUE(Run(eo, prs, crs, r.get_child));
    EXPECT_EQ(capture.Sql().size(), r.statements);
    auto rs = As<Recordset>(prs);
    ASSERT_TRUE(rs);
    EXPECT_EQ(rs->EOF(), r.bi == 40);
    if (r.crs_kept)
      EXPECT_EQ(crs, sentinel);
    else if (r.statements == 1)
      EXPECT_FALSE(crs);
    else
      EXPECT_TRUE(As<Recordset>(crs) && As<Recordset>(crs)->EOF());  // no lines stored
    if (r.with_child)
      EXPECT_EQ(eo->ChildEOs()->ChildEO()->ParentOID()->Value(),
                r.statements == 2 ? "510000000000001" : "before");
  }
}

TEST_P(GetDataTest, JoinFieldKeyAndJoinTexts) {
  Exec("create table fd_customer (code varchar(20), name varchar(40))");
  Exec("insert into fd_customer values ('r1', 'Ann')");
  AddThreeReceipts();
  AddLine("520000000000001", "510000000000001", 1);
  auto eo = ReceiptWithLines();
  eo->SetUseExpr(Variant(true));
  eo->SetQryJoin(Variant("left join fd_customer on fd_customer.code = fd_receipt.code"));
  eo->Fields()->Item("oid")->SetJoinField(Variant("fd_receipt.oid"));
  eo->Fields()->Item("code")->SetJoinField(Variant("fd_receipt.code"));
  eo->Fields()->Add(MakeField("cust", "", "fd_customer.name"));
  auto line = eo->ChildEOs()->ChildEO();
  line->SetQryJoin(Variant("l"));  // the child's join follows the parent's UseExpr
  line->Fields()->Item("line_oid")->SetJoinField(Variant("l.line_oid"));
  test::StatementCapture capture;
  ObjectRef prs, crs;
  ASSERT_TRUE(Run(eo, prs, crs));
  const std::vector<std::string> want{
      "Select fd_receipt.oid as 'oid',fd_receipt.code as 'code',book_name as "
      "'book_name',amount as 'amount',fd_customer.name as 'cust' From fd_receipt left join "
      "fd_customer on fd_customer.code = fd_receipt.code Where fd_receipt.oid like '51%'  Order "
      "By fd_receipt.oid ASC",
      "Select l.line_oid as 'line_oid',parent_oid as 'parent_oid',qty as 'qty' From "
      "fd_receipt_line l Where parent_oid = '510000000000001' order by l.line_oid"};
  EXPECT_EQ(capture.Sql(), want);
  auto rs = As<Recordset>(prs);
  EXPECT_EQ(rs->Field("cust").ToString(), "Ann");
  EXPECT_EQ(Keys(*As<Recordset>(crs), "line_oid"), std::vector<std::string>{"520000000000001"});
}

TEST_P(GetDataTest, FailuresGiveFalseAndLeaveTheRecordsets) {
  AddThreeReceipts();
  const ObjectRef p0 = std::make_shared<Recordset>(), c0 = std::make_shared<Recordset>();
  struct Row {
    const char* what;
    std::function<std::shared_ptr<EntityObject>()> entity;
    bool null_con;
  } rows[] = {
      {"missing table",
       [] {
         auto e = Receipt(51);
         e->SetSourceTable(Variant("nosuch"));
         return e;
       },
       false},
      {"missing key field",
       [] {
         auto e = Receipt(51);
         e->SetOIDSourceField(Variant("x"));
         return e;
       },
       false},
      {"missing child table",
       [] {
         auto e = ReceiptWithLines();
         e->ChildEOs()->ChildEO()->SetSourceTable(Variant("nosuch"));
         return e;
       },
       false},
      {"no connection", [] { return Receipt(51); }, true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    NotesFile();
    ObjectRef prs = p0, crs = c0, e = r.entity(), c = r.null_con ? ObjectRef() : con;
    bool get_child = true;
    EXPECT_FALSE(dm->GetData(c, e, prs, crs, get_child));
    EXPECT_EQ(prs, p0);
    EXPECT_EQ(crs, c0);
    EXPECT_NE(Notes().find("DataManager.GetData"), std::string::npos);
  }
}

TEST_P(GetDataTest, LateBoundCallWithOmittedArguments) {
  AddThreeReceipts();
  Variant prs;
  Variant result =
      dm->Call("GetData", {Variant(con), Variant(ObjectRef(Receipt(51))), Variant::Ref(&prs)});
  EXPECT_TRUE(result.ToBool());
  ASSERT_TRUE(prs.IsObject());
  EXPECT_EQ(Keys(*As<Recordset>(prs.object()), "oid").size(), 3u);
}

Q6_INSTANTIATE_ENGINE_TEST(GetDataTest);

}  // namespace
}  // namespace q6::records_test
