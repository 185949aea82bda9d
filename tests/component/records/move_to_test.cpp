// MoveTo on both engines: statement texts per type range and mode, moving
// through records, wrapping around, children to any depth, errors.
#include <gtest/gtest.h>

#include <functional>
#include <string_view>

#include "records_fixture.h"

namespace q6::records_test {
namespace {

constexpr const char* kC = "510000000000002";

class MoveToTest : public RecordsTest {
 protected:
  bool Move(const std::shared_ptr<EntityObject>& eo, int32_t mode, bool reversal = false,
            bool get_child = true) {
    ObjectRef e = eo;
    return dm->MoveTo(con, e, mode, reversal, get_child);
  }
  // The OID after a move.
  std::string MoveOid(const std::shared_ptr<EntityObject>& eo, int32_t mode,
                      bool reversal = false) {
    EXPECT_TRUE(Move(eo, mode, reversal));
    return eo->OID()->Value();
  }
};

// "{L}" and "{L10}" in a golden text stand for the receipt's column lists.
std::string Golden(std::string text) {
  for (auto [mark, list] : {std::pair{"{L10}", kReceiptList10}, std::pair{"{L}", kReceiptList}})
    for (size_t at; (at = text.find(mark)) != std::string::npos;)
      text.replace(at, std::string(mark).size(), list);
  return text;
}

TEST_P(MoveToTest, StatementsPerTypeRangeAndMode) {
  // No record at all: every move runs its statement and the second one.
  struct Row {
    int32_t bi;
    int16_t derive;
    int32_t mode;
    bool reversal;
    const char* first;
    const char* second;
  } rows[] = {
      {5, 0, 0, true, "Select top 1 {L} From fd_receipt  Where oid like '05%' Order By oid ASC",
       "Select Top 1 {L} From fd_receipt  Where oid like '05%' Order By oid DESC"},
      {5, 0, 3, true,
       "Select top 1 {L} From fd_receipt  Where oid like '05%' and oid > '510000000000002'  Order "
       "By oid ASC",
       "Select Top 1 {L} From fd_receipt  Where oid like '05%' Order By oid ASC"},
      {5, 0, 1, false,
       "Select top 1 {L} From fd_receipt  Where oid like '05%' and oid < '510000000000002'  Order "
       "By oid DESC",
       "Select Top 1 {L} From fd_receipt  Where oid = '510000000000002'"},
      {5, 0, 4, true, "Select top 1 {L} From fd_receipt  Where oid like '05%' Order By oid desc",
       "Select Top 1 {L} From fd_receipt  Where oid like '05%' Order By oid DESC"},
      {20, 0, 0, false, "Select top 1 {L} From fd_receipt  Where oid like '20%' Order By oid ASC",
       "Select Top 1 {L} From fd_receipt  Where oid = '510000000000002'"},
      {20, 0, 3, false,
       "Select top 1 {L} From fd_receipt  Where oid like '20%' and oid > '510000000000002'  Order "
       "By oid ASC",
       "Select Top 1 {L} From fd_receipt  Where oid = '510000000000002'"},
      {21, 0, 0, true,
       "Select top 1 {L} From fd_receipt  Where oid like '21%' and book_name is null Order By oid "
       "ASC",
       "Select Top 1 {L} From fd_receipt  Where oid like '21%' and book_name is null Order By oid "
       "DESC"},
      {21, 0, 3, true,
       "Select top 1 {L} From fd_receipt  Where oid like '21%' and book_name is null  and oid > "
       "'510000000000002'  Order By oid ASC",
       "Select Top 1 {L} From fd_receipt  Where oid like '21%' and book_name is null Order By oid "
       "ASC"},
      {51, 0, 0, false,
       "Select top 1 {L} From fd_receipt  Where oid like '51%' and book_name is null Order By oid "
       "ASC",
       "Select Top 1 {L} From fd_receipt  Where oid = '510000000000002'"},
      {51, 0, 1, true,
       "Select top 1 {L} From fd_receipt  Where oid like '51%' and book_name is null and oid < "
       "'510000000000002'  Order By oid DESC",
       "Select Top 1 {L} From fd_receipt  Where oid like '51%' and book_name is null Order By oid "
       "DESC"},
      {51, 0, 2, true, "Select top 1 {L} From fd_receipt  Where oid = '510000000000002'",
       "Select Top 1 {L} From fd_receipt  Where oid like '51%' and book_name is null Order By oid "
       "DESC"},
      {51, 0, 3, false,
       "Select top 1 {L} From fd_receipt  Where oid like '51%' and book_name is null  and oid > "
       "'510000000000002'  Order By oid ASC",
       "Select Top 1 {L} From fd_receipt  Where oid = '510000000000002'"},
      {51, 0, 4, true,
       "Select top 1 {L} From fd_receipt  Where oid like '51%' and book_name is null  Order By "
       "oid desc",
       "Select Top 1 {L} From fd_receipt  Where oid like '51%' and book_name is null Order By oid "
       "DESC"},
      {51, 0, 7, true, "Select top 1 {L} From fd_receipt ",
       "Select Top 1 {L} From fd_receipt  Where oid like '51%' and book_name is null Order By oid "
       "DESC"},
      {63, 0, 0, true, "Select top 1 {L10} From fd_receipt  where oid like '51%'  Order By oid ASC",
       "Select Top 1 {L10} From fd_receipt  where oid like '51%'  Order By oid DESC"},
      {63, 0, 1, false,
       "Select top 1 {L10} From fd_receipt  where oid like '51%'  and oid < '510000000000002'  "
       "Order By oid DESC",
       "Select Top 1 {L10} From fd_receipt  Where oid = '510000000000002'"},
      {63, 0, 3, true,
       "Select top 1 {L10} From fd_receipt  where oid like '51%'  and oid > '510000000000002'  "
       "Order By oid ASC",
       "Select Top 1 {L10} From fd_receipt  where oid like '51%'  Order By oid ASC"},
      {63, 0, 4, true,
       "Select top 1 {L10} From fd_receipt  where oid like '51%'  Order By oid desc",
       "Select Top 1 {L10} From fd_receipt  where oid like '51%'  Order By oid DESC"},
      {81, 0, 3, true,
       "Select top 1 {L} From fd_receipt  Where oid like '81%' and book_name is null  and oid > "
       "'510000000000002'  Order By oid ASC",
       "Select Top 1 {L} From fd_receipt  Where oid like '81%' and book_name is null Order By oid "
       "ASC"},
      {82, 0, 3, true,
       "Select top 1 {L} From fd_receipt  Where oid like '82%' and oid > '510000000000002'  Order "
       "By oid ASC",
       "Select Top 1 {L} From fd_receipt  Where oid like '82%' Order By oid ASC"},
      {30, 63, 0, false,
       "Select top 1 {L10} From fd_receipt  where oid like '51%'  Order By oid ASC",
       "Select Top 1 {L10} From fd_receipt  Where oid = '510000000000002'"},
      {5, 40, 0, true,
       "Select top 1 {L} From fd_receipt  Where oid like '05%' and book_name is null Order By oid "
       "ASC",
       "Select Top 1 {L} From fd_receipt  Where oid like '05%' and book_name is null Order By oid "
       "DESC"},
      {5, 40, 4, false,
       "Select top 1 {L} From fd_receipt  Where oid like '05%' and book_name is null  Order By "
       "oid desc",
       "Select Top 1 {L} From fd_receipt  Where oid = '510000000000002'"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(r.bi) + "/" + std::to_string(r.derive) + " mode " +
                 std::to_string(r.mode) + (r.reversal ? " reversal" : ""));
    auto eo = Receipt(r.bi, r.derive);
    eo->SetOIDValue(Variant(kC));
    test::StatementCapture capture;
    EXPECT_TRUE(Move(eo, r.mode, r.reversal));
    EXPECT_EQ(capture.Sql(), (std::vector<std::string>{Golden(r.first), Golden(r.second)}));
    EXPECT_EQ(eo->EditState(), 0) << "nothing found: the entity stays as it was";
  }
}

TEST_P(MoveToTest, MovesThroughTheRecordsOfTheType) {
  AddThreeReceipts();
  auto eo = Receipt(51);
  eo->Fields()->Item("memo")->SetValue(Variant("kept"));
  EXPECT_EQ(MoveOid(eo, 0), "510000000000001");
  EXPECT_EQ(eo->Fields()->Item("code")->Value().ToString(), "r1");
  EXPECT_EQ(eo->Fields()->Item("amount")->Value().ToLong(), 10);
  EXPECT_TRUE(eo->Fields()->Item("book_name")->Value().IsNull());
  EXPECT_EQ(eo->Fields()->Item("memo")->Value().ToString(), "kept");
  EXPECT_EQ(eo->EditState(), 1);
  const std::pair<int32_t, const char*> steps[] = {
      {3, "510000000000002"}, {3, "510000000000003"}, {3, "510000000000003"},
      {1, "510000000000002"}, {2, "510000000000002"}, {4, "510000000000003"},
      {1, "510000000000002"}, {1, "510000000000001"}, {1, "510000000000001"},
  };
  for (auto [mode, want] : steps) {
    EXPECT_EQ(MoveOid(eo, mode), want) << "mode " << mode;
    EXPECT_EQ(eo->Fields()->Item("oid")->Value().ToString(), want);
  }
}

// A walk keeps what it works out from the definition between steps; any
// change of the definition between two steps must be seen by the next one.
TEST_P(MoveToTest, DefinitionChangedBetweenStepsIsSeen) {
  AddThreeReceipts();
  struct Row {
    const char* what;
    std::function<void(EntityObject&)> change;
    const char* oid;  // after a move forward from the second record
    const char* field;
    const char* value;  // the field's value then ("" for a field that is gone)
  } rows[] = {
      {"field's column",
       [](EntityObject& e) { e.Fields()->Item("memo")->SetSourceField(Variant("code")); },
       "510000000000003", "memo", "r3"},
      {"field's join column",
       [](EntityObject& e) { e.Fields()->Item("amount")->SetJoinField(Variant("code")); },
       "510000000000003", "amount", "r3"},
      {"field removed", [](EntityObject& e) { e.Fields()->Remove(std::string_view("code")); },
       "510000000000003", "amount", "30"},
      {"field added", [](EntityObject& e) { e.Fields()->Add(MakeField("code2", "code")); },
       "510000000000003", "code2", "r3"},
      {"type", [](EntityObject& e) { e.SetBIType(Variant(int32_t{52})); }, "520000000000001",
       "code", "x52"},
  };
  for (const Row& row : rows) {
    auto eo = Receipt(51);
    EXPECT_EQ(MoveOid(eo, 0), "510000000000001") << row.what;
    EXPECT_EQ(MoveOid(eo, 3), "510000000000002") << row.what;
    row.change(*eo);
    eo->SetOIDValue(Variant(kC));
    EXPECT_EQ(MoveOid(eo, 3, true), row.oid) << row.what;
    EXPECT_EQ(eo->Fields()->Item(row.field)->Value().ToString(), row.value) << row.what;
  }
}

TEST_P(MoveToTest, WrapsAroundWithReversal) {
  AddThreeReceipts();
  auto eo = Receipt(51);
  eo->SetOIDValue(Variant("510000000000003"));
  EXPECT_EQ(MoveOid(eo, 3, true), "510000000000001");
  EXPECT_EQ(MoveOid(eo, 1, true), "510000000000003");
  EXPECT_EQ(MoveOid(eo, 3, false), "510000000000003");
  eo->SetOIDValue(Variant("510000000000001"));
  EXPECT_EQ(MoveOid(eo, 1, false), "510000000000001");
}

TEST_P(MoveToTest, RecordsWithABookNameAreSkippedExceptByCurrent) {
  AddReceipt("300000000000001", "a", 1);
  AddReceipt("300000000000002", "b", 2, "booked");
  AddReceipt("300000000000003", "c", 3);
  AddReceipt("300000000000004", "d", 4, "booked");
  auto eo = Receipt(30);
  EXPECT_EQ(MoveOid(eo, 0), "300000000000001");
  EXPECT_EQ(MoveOid(eo, 3), "300000000000003");
  EXPECT_EQ(MoveOid(eo, 3, true), "300000000000001");
  EXPECT_EQ(MoveOid(eo, 4), "300000000000003");
  EXPECT_EQ(MoveOid(eo, 1), "300000000000001");
  eo->SetOIDValue(Variant("300000000000002"));
  EXPECT_EQ(MoveOid(eo, 2), "300000000000002");
  EXPECT_EQ(eo->Fields()->Item("book_name")->Value().ToString(), "booked");
  // Outside the range 21 to 81 the column plays no part.
  AddReceipt("820000000000001", "e", 5, "booked");
  EXPECT_EQ(MoveOid(Receipt(82), 0), "820000000000001");
}

TEST_P(MoveToTest, DeletedCurrentRecord) {
  AddThreeReceipts();
  auto eo = Receipt(51);
  eo->SetOIDValue(Variant("510000000000002"));
  ASSERT_TRUE(Move(eo, 2));
  Exec("delete from fd_receipt where oid = '510000000000002'");
  EXPECT_EQ(MoveOid(eo, 2, false), "510000000000002");
  EXPECT_EQ(eo->Fields()->Item("code")->Value().ToString(), "r2");
  EXPECT_EQ(MoveOid(eo, 2, true), "510000000000003");
  EXPECT_EQ(eo->Fields()->Item("code")->Value().ToString(), "r3");
}

TEST_P(MoveToTest, TypeWithoutRecordsLeavesTheEntity) {
  AddThreeReceipts();
  for (int32_t mode : {0, 1, 3, 4})
    for (bool reversal : {false, true}) {
      auto eo = Receipt(40);
      EXPECT_TRUE(Move(eo, mode, reversal));
      EXPECT_EQ(eo->OID()->Value(), "");
      EXPECT_EQ(eo->EditState(), 0);
      EXPECT_TRUE(eo->Fields()->Item("code")->Value().IsEmpty());
    }
}

TEST_P(MoveToTest, OtherModeTakesTheFirstRowOfTheTable) {
  AddReceipt("520000000000001", "x52", 52);
  EXPECT_EQ(MoveOid(Receipt(51), 7), "520000000000001");
}

TEST_P(MoveToTest, ChildrenAndGrandchildren) {
  AddThreeReceipts();
  AddLine("520000000000002", "510000000000001", 2);
  AddLine("520000000000001", "510000000000001", 1);
  AddLine("520000000000003", "510000000000002", 3);
  AddDetail("530000000000001", "520000000000001", "d1");
  AddDetail("530000000000002", "520000000000001", "d2");
  AddDetail("530000000000003", "520000000000003", "d3");
  auto eo = ReceiptWithLines(true);
  test::StatementCapture capture;
  ASSERT_TRUE(Move(eo, 0));
  const std::string line_sel = std::string("Select top 1 ") + kLineList + " From fd_receipt_line ";
  const std::string detail_sel = std::string("Select ") + kDetailList + " From fd_line_detail ";
  const std::vector<std::string> want{
      Golden("Select top 1 {L} From fd_receipt  Where oid like '51%' and book_name is null Order "
             "By oid ASC"),
      std::string("Select ") + kLineList +
          " From fd_receipt_line  Where parent_oid = '510000000000001' order by line_oid",
      line_sel + " Where line_oid = '520000000000001'",
      detail_sel + " Where line_oid = '520000000000001' order by detail_oid",
      line_sel + " Where line_oid = '520000000000002'",
      detail_sel + " Where line_oid = '520000000000002' order by detail_oid",
  };
  EXPECT_EQ(capture.Sql(), want);
  EXPECT_EQ(ChildKeys(*eo), (std::vector<std::string>{"520000000000001", "520000000000002"}));
  auto first = eo->ChildEOs()->Item("K520000000000001");
  EXPECT_EQ(first->EditState(), 1);
  EXPECT_EQ(first->Fields()->Item("qty")->Value().ToLong(), 1);
  EXPECT_EQ(ChildKeys(*first), (std::vector<std::string>{"530000000000001", "530000000000002"}));
  EXPECT_EQ(first->ChildEOs()->Item("K530000000000002")->Fields()->Item("note")->Value().ToString(),
            "d2");
  EXPECT_EQ(first->ChildEOs()->ChildEO()->ParentOID()->Value(), "520000000000001");
  EXPECT_EQ(eo->ChildEOs()->Item("K520000000000002")->ChildEOs()->Count(), 0);
  // The definitions themselves hold no record.
  EXPECT_EQ(eo->ChildEOs()->ChildEO()->ParentOID()->Value(), "510000000000001");
  EXPECT_EQ(eo->ChildEOs()->ChildEO()->ChildEOs()->Count(), 0);

  // Records accumulate: the next record's lines join the earlier ones.
  EXPECT_EQ(MoveOid(eo, 3), "510000000000002");
  EXPECT_EQ(ChildKeys(*eo),
            (std::vector<std::string>{"520000000000001", "520000000000002", "520000000000003"}));
  EXPECT_EQ(ChildKeys(*eo->ChildEOs()->Item("K520000000000003")),
            std::vector<std::string>{"530000000000003"});
  // Reading the same record again adds its lines under the same keys.
  EXPECT_EQ(MoveOid(eo, 2), "510000000000002");
  EXPECT_EQ(eo->ChildEOs()->Count(), 3);
}

TEST_P(MoveToTest, GetChildFalseLeavesChildrenAlone) {
  AddThreeReceipts();
  AddLine("520000000000001", "510000000000001", 1);
  auto eo = ReceiptWithLines();
  eo->ChildEOs()->ChildEO()->ParentOID()->SetValue(Variant("before"));
  test::StatementCapture capture;
  ASSERT_TRUE(Move(eo, 0, false, false));
  EXPECT_EQ(capture.Sql().size(), 1u);
  EXPECT_EQ(eo->OID()->Value(), "510000000000001");
  EXPECT_EQ(eo->ChildEOs()->Count(), 0);
  EXPECT_EQ(eo->ChildEOs()->ChildEO()->ParentOID()->Value(), "before");
}

TEST_P(MoveToTest, ErrorsReachTheCaller) {
  AddThreeReceipts();
  struct Row {
    const char* what;
    std::function<std::shared_ptr<EntityObject>()> entity;
    HRESULT hr;
    const char* oid_after;
  } rows[] = {
      {"missing table",
       [] {
         auto e = Receipt(51);
         e->SetSourceTable(Variant("nosuch"));
         return e;
       },
       E_FAIL, ""},
      {"missing key field",
       [] {
         auto e = Receipt(51);
         e->SetOIDSourceField(Variant("x"));
         return e;
       },
       VbHr(kVbInvalidProcedureCall), ""},
      {"missing child table: the record stays filled",
       [] {
         auto e = ReceiptWithLines();
         e->ChildEOs()->ChildEO()->SetSourceTable(Variant("nosuch"));
         return e;
       },
       E_FAIL, "510000000000001"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    auto eo = r.entity();
    try {
      Move(eo, 0);
      ADD_FAILURE() << "no error";
    } catch (const ComError& e) {
      EXPECT_EQ(e.hr(), r.hr) << e.description();
    }
    EXPECT_EQ(eo->OID()->Value(), r.oid_after);
  }
  ObjectRef none, e = Receipt(51);
  int32_t mode = 0;
  bool reversal = false, get_child = true;
  try {
    dm->MoveTo(none, e, mode, reversal, get_child);
    ADD_FAILURE() << "no error";
  } catch (const ComError& err) {
    EXPECT_EQ(err.hr(), VbHr(91));
  }
}

TEST_P(MoveToTest, LateBoundCallWithDefaults) {
  AddThreeReceipts();
  AddLine("520000000000001", "510000000000001", 1);
  auto eo = ReceiptWithLines();
  Variant r = dm->Call("MoveTo", {Variant(con), Variant(ObjectRef(eo)), Variant(int32_t{4})});
  EXPECT_TRUE(r.ToBool());
  EXPECT_EQ(eo->OID()->Value(), "510000000000003");
  r = dm->Call("MoveTo", {Variant(con), Variant(ObjectRef(eo)), Variant(int32_t{0})});
  EXPECT_EQ(ChildKeys(*eo), std::vector<std::string>{"520000000000001"});  // GetChild True
}

Q6_INSTANTIATE_ENGINE_TEST(MoveToTest);

}  // namespace
}  // namespace q6::records_test
