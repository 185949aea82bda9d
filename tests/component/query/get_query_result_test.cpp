// Query objects: the statement they describe, and its rows on both engines.
#include <gtest/gtest.h>

#include "component/frame/query_manager.h"
#include "component/query/query_statement.h"
#include "outside/eso/entity_field.h"
#include "outside/eso/entity_object.h"
#include "support/statement_capture.h"
#include "support/test_db.h"

namespace q6 {
namespace {

struct F {
  const char* name;
  const char* caption;
  int32_t position;
  const char* source;
  const char* join;
  const char* expr;
};

std::shared_ptr<EntityObject> Query(std::initializer_list<F> fields, const char* join) {
  auto eo = NewEntityObject();
  eo->SetBIType(Variant(int32_t{51}));
  eo->SetQryJoin(Variant(join));
  for (const F& f : fields) {
    auto fld = NewEntityField();
    fld->SetName(Variant(f.name));
    fld->SetCaption(Variant(f.caption));
    fld->SetQryFldSqc(Variant(f.position));
    fld->SetSourceField(Variant(f.source));
    fld->SetJoinField(Variant(f.join));
    fld->SetExpr(Variant(f.expr));
    eo->Fields()->Add(fld);
  }
  return eo;
}

TEST(QueryStatement, TextsToTheLetter) {
  struct Row {
    std::shared_ptr<EntityObject> qry;
    bool captions;
    std::string sql;
  } rows[] = {
      {Query({{"a", "A", 0, "x", "x", ""}}, "fd_doc where 1=1"), true,
       "select * from fd_doc where 1=1"},
      {Query({{"b", "B", 2, "", "t.b", ""},
              {"a", "A", 1, "", "t.a", ""},
              {"c", "C", 3, "", "t.c", ""}},
             "from t"),
       true, "select * from  t.a as 'A' , t.b as 'B' , t.c as 'C'  from t"},
      {Query({{"a", "A", 1, "", "t.a", ""}}, "from t"), false, "select * from  t.a as 'a'  from t"},
      {Query({{"amt", "金额", 1, "", "b.amount", "isnull(@,0)"}}, "x"), true,
       "select * from  isnull(b.amount,0) as '金额'  x"},
      // Expression from JoinField only: a SourceField alone gives an empty expression.
      {Query({{"q", "Q", 1, "a.qty", "", ""}}, "x"), true, "select * from   as 'Q'  x"},
      // No source and no join column: not listed.
      {Query({{"n", "N", 1, "", "", "1"}}, "fd_doc"), true, "select * from fd_doc"},
      // A quote in an alias is doubled.
      {Query({{"a", "it's", 1, "", "t.a", ""}}, "x"), true, "select * from  t.a as 'it''s'  x"},
  };
  for (auto& r : rows) EXPECT_EQ(BuildQueryStatement(*r.qry, r.captions), r.sql);
}

TEST(QueryStatement, DuplicateAndMissingPositionsFailWithTheCollectionsErrors) {
  auto dup = Query({{"a", "A", 1, "", "t.a", ""}, {"b", "B", 1, "", "t.b", ""}}, "x");
  auto gap = Query({{"a", "A", 1, "", "t.a", ""}, {"c", "C", 3, "", "t.c", ""}}, "x");
  try {
    BuildQueryStatement(*dup, true);
    FAIL();
  } catch (const ComError& e) {
    EXPECT_EQ(e.hr(), VbHr(kVbDuplicateKey));
  }
  try {
    BuildQueryStatement(*gap, true);
    FAIL();
  } catch (const ComError& e) {
    EXPECT_EQ(e.hr(), VbHr(kVbInvalidProcedureCall));
  }
}

class GetQueryResultTest : public test::EngineTest {};

TEST_P(GetQueryResultTest, RunsThroughPublicServiceAndReturnsTheRows) {
  Exec("create table fd_doc (oid varchar(15) primary key, amount integer)");
  Exec("insert into fd_doc values ('510000000000001', 10)");
  Exec("insert into fd_doc values ('510000000000002', 2500)");
  auto qry = Query({{"oid", "OID", 0, "oid", "", ""}}, "fd_doc where amount > 100 order by oid");
  Querymanager qm;
  Variant dsn(this->dsn());
  ObjectRef q = qry;
  bool captions = true;
  test::StatementCapture capture;
  ObjectRef rs = qm.GetQueryResult(dsn, q, captions);
  auto recordset = As<Recordset>(rs);
  ASSERT_TRUE(recordset);
  ASSERT_FALSE(recordset->EOF());
  EXPECT_EQ(recordset->Field("oid").ToString(), "510000000000002");
  EXPECT_EQ(recordset->RecordCount(), 1);
  ASSERT_FALSE(capture.Sql().empty());
  EXPECT_EQ(capture.Sql().back(), "select * from fd_doc where amount > 100 order by oid");
}

TEST_P(GetQueryResultTest, AnEngineErrorReachesTheCaller) {
  auto qry = Query({}, "no_such_table");
  Querymanager qm;
  Variant dsn(this->dsn());
  ObjectRef q = qry;
  bool captions = true;
  EXPECT_THROW(qm.GetQueryResult(dsn, q, captions), ComError);
}

Q6_INSTANTIATE_ENGINE_TEST(GetQueryResultTest);

}  // namespace
}  // namespace q6
