// Statement pieces that the engine tests do not reach: quoting of values,
// the recordset filters and the child join rule. The full statement texts
// per type and mode are checked on the engines (get_data_test, move_to_test).
#include "component/records/record_statements.h"

#include <gtest/gtest.h>

#include "records_fixture.h"

namespace q6::records_test {
namespace {

RecordSource Source51() { return RecordSource{"fd_doc", "", "k", 51, "51"}; }

TEST(RecordStatements, QuotesInValuesAreDoubled) {
  const std::string odd = "51'x";
  EXPECT_EQ(MoveToStatement(Source51(), "*", enum_Current, odd),
            "Select top 1 * From fd_doc  Where k = '51''x'");
  EXPECT_EQ(MoveToRetryStatement(Source51(), "*", enum_Next, false, odd),
            "Select Top 1 * From fd_doc  Where k = '51''x'");
  EXPECT_EQ(*RecordsetMoveFilter(enum_Next, "k", odd), "k > '51''x'");
  EXPECT_EQ(ChildRecordsetFilter("p", odd), "p = '51''x'");
  ChildSource c{"fd_line", "", "p", odd, "lk"};
  EXPECT_EQ(ChildStatement(c, "*"), "Select * From fd_line  Where p = '51''x' order by lk");
}

TEST(RecordStatements, RecordsetFiltersByMode) {
  struct Row {
    int32_t mode;
    const char* filter;  // nullptr: none
  } rows[] = {{0, nullptr},
              {1, "oid < '510000000000002'"},
              {2, "oid = '510000000000002'"},
              {3, "oid > '510000000000002'"},
              {4, nullptr},
              {7, nullptr},
              {-1, nullptr}};
  for (const Row& r : rows) {
    auto f = RecordsetMoveFilter(r.mode, "oid", "510000000000002");
    if (r.filter)
      EXPECT_EQ(f.value_or("<none>"), r.filter) << r.mode;
    else
      EXPECT_FALSE(f.has_value()) << r.mode;
  }
}

TEST(RecordStatements, ChildJoinFollowsTheParentsUseExpr) {
  auto line = Line();
  line->SetQryJoin(Variant("left join fd_item on fd_item.code = fd_receipt_line.item"));
  line->SetUseExpr(Variant(false));
  line->ParentOID()->SetValue(Variant("510000000000001"));
  EXPECT_EQ(ChildSourceOf(*line, true).join, line->QryJoin());
  line->SetUseExpr(Variant(true));
  EXPECT_EQ(ChildSourceOf(*line, false).join, "");
  const ChildSource c = ChildSourceOf(*line, false);
  EXPECT_EQ(c.parent_field, "parent_oid");
  EXPECT_EQ(c.parent_oid, "510000000000001");
  EXPECT_EQ(c.key, "line_oid");
}

TEST(RecordStatements, MasterJoinOnlyWithUseExpr) {
  auto eo = Receipt(51);
  eo->SetQryJoin(Variant("r"));
  EXPECT_EQ(RecordSourceOf(*eo).join, "");
  eo->SetUseExpr(Variant(true));
  EXPECT_EQ(GetDataStatement(RecordSourceOf(*eo), "*"),
            "Select * From fd_receipt r Where oid like '51%'  Order By oid ASC");
}

}  // namespace
}  // namespace q6::records_test
