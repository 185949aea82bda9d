// MoveToByRS on the recordsets of GetData, on both engines: moves by mode,
// the filters left on the recordsets, child records, failures as False.
#include <gtest/gtest.h>

#include "records_fixture.h"

namespace q6::records_test {
namespace {

class MoveToByRSTest : public RecordsTest {
 protected:
  // GetData for `eo` into prs_ / crs_.
  void Load(const std::shared_ptr<EntityObject>& eo) {
    eo_ = eo;
    ObjectRef e = eo;
    bool get_child = true;
    ASSERT_TRUE(dm->GetData(con, e, prs_, crs_, get_child));
  }
  bool Move(int32_t mode, bool get_child = true) {
    ObjectRef e = eo_;
    return dm->MoveToByRS(con, e, mode, prs_, crs_, get_child);
  }
  std::string Oid() const { return eo_->OID()->Value(); }
  Recordset& prs() { return *As<Recordset>(prs_); }
  Recordset& crs() { return *As<Recordset>(crs_); }

  std::shared_ptr<EntityObject> eo_;
  ObjectRef prs_, crs_;
};

TEST_P(MoveToByRSTest, ModesAndTheFiltersTheyLeave) {
  AddThreeReceipts();
  Load(Receipt(51));
  struct Row {
    int32_t mode;
    bool result;
    const char* oid;     // after the move
    const char* filter;  // on pRS after the move ("" none)
    int32_t visible;     // rows pRS shows
  } rows[] = {
      {0, true, "510000000000001", "", 3},
      {3, true, "510000000000002", "oid > '510000000000001'", 2},
      {3, true, "510000000000003", "oid > '510000000000002'", 1},
      // on the last row: the filter leaves nothing, the entity keeps its record
      {3, true, "510000000000003", "oid > '510000000000003'", 0},
      {2, true, "510000000000003", "oid = '510000000000003'", 1},
      {1, true, "510000000000002", "oid < '510000000000003'", 2},
      // MoveFirst / MoveLast move within the filter that pRS has
      {0, true, "510000000000001", "oid < '510000000000003'", 2},
      {4, true, "510000000000002", "oid < '510000000000003'", 2},
      {3, true, "510000000000003", "oid > '510000000000002'", 1},
      {7, true, "510000000000003", "oid > '510000000000002'", 1},  // the row pRS stands on
      {4, true, "510000000000003", "oid > '510000000000002'", 1},
      {3, true, "510000000000003", "oid > '510000000000003'", 0},
      // MoveFirst on the empty view fails
      {0, false, "510000000000003", "oid > '510000000000003'", 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE("mode " + std::to_string(r.mode) + " to " + r.oid);
    EXPECT_EQ(Move(r.mode), r.result);
    EXPECT_EQ(Oid(), r.oid);
    EXPECT_EQ(eo_->Fields()->Item("oid")->Value().ToString(), r.oid);
    const Variant f = prs().Filter();
    EXPECT_EQ(f.type() == VarType::String ? f.string() : "", r.filter);
    EXPECT_EQ(prs().RecordCount(), r.visible);
  }
  // Mode 1 on the first record: MoveLast on the empty view fails.
  eo_->SetOIDValue(Variant("510000000000001"));
  NotesFile();
  EXPECT_FALSE(Move(1));
  EXPECT_NE(Notes().find("DataManager.MoveToByRS"), std::string::npos);
  EXPECT_EQ(prs().RecordCount(), 0);
}

TEST_P(MoveToByRSTest, FillsTheEntity) {
  AddThreeReceipts();
  Exec("update fd_receipt set book_name = 'b' where oid = '510000000000002'");
  auto eo = Receipt(51);
  eo->Fields()->Item("memo")->SetValue(Variant("kept"));
  Load(eo);
  ASSERT_TRUE(Move(4));
  EXPECT_EQ(Oid(), "510000000000003");
  ASSERT_TRUE(Move(1));
  EXPECT_EQ(eo->Fields()->Item("code")->Value().ToString(), "r2");
  EXPECT_EQ(eo->Fields()->Item("book_name")->Value().ToString(), "b");
  EXPECT_EQ(eo->Fields()->Item("amount")->Value().ToLong(), 20);
  EXPECT_EQ(eo->Fields()->Item("memo")->Value().ToString(), "kept");
  EXPECT_EQ(eo->EditState(), 1);
}

TEST_P(MoveToByRSTest, ChildRecordsOnlyForTheFirstRecord) {
  AddThreeReceipts();
  AddLine("520000000000002", "510000000000001", 2);
  AddLine("520000000000001", "510000000000001", 1);
  AddLine("520000000000003", "510000000000002", 3);
  Load(ReceiptWithLines(true));
  const auto line_def = eo_->ChildEOs()->ChildEO();
  test::StatementCapture capture;
  ASSERT_TRUE(Move(0));
  EXPECT_TRUE(capture.Sql().empty()) << "no statement runs";
  EXPECT_EQ(ChildKeys(*eo_), (std::vector<std::string>{"520000000000001", "520000000000002"}));
  auto first = eo_->ChildEOs()->Item("K520000000000001");
  EXPECT_EQ(first->EditState(), 1);
  EXPECT_EQ(first->Fields()->Item("qty")->Value().ToLong(), 1);
  EXPECT_EQ(first->ChildEOs()->Count(), 0) << "no nested move";
  EXPECT_EQ(crs().Filter().ToString(), "parent_oid = '510000000000001'");

  ASSERT_TRUE(Move(3));
  EXPECT_EQ(Oid(), "510000000000002");
  EXPECT_EQ(line_def->ParentOID()->Value(), "510000000000002");
  EXPECT_EQ(crs().Filter().ToString(), "parent_oid = '510000000000002'");
  EXPECT_EQ(crs().RecordCount(), 0);
  EXPECT_EQ(eo_->ChildEOs()->Count(), 2) << "cRS holds the first record's lines only";

  ASSERT_TRUE(Move(1));  // back to the first: its lines again, same keys
  EXPECT_EQ(eo_->ChildEOs()->Count(), 2);
}

TEST_P(MoveToByRSTest, GetChildFalseAndMissingChildRecordset) {
  AddThreeReceipts();
  AddLine("520000000000001", "510000000000001", 1);
  Load(ReceiptWithLines());
  const auto line_def = eo_->ChildEOs()->ChildEO();
  ASSERT_TRUE(Move(0, false));
  EXPECT_EQ(eo_->ChildEOs()->Count(), 0);
  EXPECT_EQ(crs().Filter().ToLong(), 0) << "cRS untouched";

  crs_.reset();  // called without cRS
  EXPECT_FALSE(Move(3));
  EXPECT_EQ(Oid(), "510000000000002") << "the entity is filled before the child filter fails";
  EXPECT_EQ(line_def->ParentOID()->Value(), "510000000000002");
  EXPECT_EQ(eo_->ChildEOs()->Count(), 0);
}

TEST_P(MoveToByRSTest, FailuresGiveFalse) {
  AddThreeReceipts();
  Load(Receipt(51));
  struct Row {
    const char* what;
    std::function<void()> spoil;
  } rows[] = {
      {"no pRS", [&] { prs_.reset(); }},
      {"pRS is no recordset", [&] { prs_ = Receipt(51); }},
      {"missing key field", [&] { eo_->SetOIDSourceField(Variant("x")); }},
      // A key column the recordset does not carry (its columns are the aliases).
      {"key column not in the recordset",
       [&] { eo_->Fields()->Item("oid")->SetJoinField(Variant("fd_receipt.oid")); }},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    Load(Receipt(51));
    r.spoil();
    EXPECT_FALSE(Move(3));
  }
  Load(Receipt(51));
  ObjectRef none, e = eo_;
  int32_t mode = 0;
  bool get_child = true;
  EXPECT_TRUE(dm->MoveToByRS(none, e, mode, prs_, crs_, get_child)) << "con is not used";
}

TEST_P(MoveToByRSTest, LateBoundCallWithDefaults) {
  AddThreeReceipts();
  Load(Receipt(51));
  Variant r = dm->Call("MoveToByRS",
                       {Variant(con), Variant(ObjectRef(eo_)), Variant(int32_t{4}), Variant(prs_)});
  EXPECT_TRUE(r.ToBool());
  EXPECT_EQ(Oid(), "510000000000003");
}

Q6_INSTANTIATE_ENGINE_TEST(MoveToByRSTest);

}  // namespace
}  // namespace q6::records_test
