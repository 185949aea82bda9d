// Filling entity objects from the current row of a recordset.
#include "component/records/row_filling.h"

#include <gtest/gtest.h>

#include "platform/drivers/driver.h"
#include "records_fixture.h"

namespace q6::records_test {
namespace {

// A recordset over `rows` of the columns `names` (no database).
std::shared_ptr<Recordset> Rows(std::vector<std::string> names,
                                std::vector<std::vector<Variant>> rows) {
  ResultSet r;
  r.has_rows = true;
  for (const auto& n : names) r.columns.push_back(ColumnInfo{n, "TEXT", kAdVarWChar});
  for (auto& row : rows)
    for (auto& v : row) r.cells.push_back(std::move(v));
  r.row_count = rows.size();
  auto rs = std::make_shared<Recordset>();
  rs->Attach(std::move(r));
  return rs;
}

std::shared_ptr<Recordset> ReceiptRows() {
  return Rows({"OID", "code", "book_name", "amount"},
              {{Variant("510000000000001"), Variant("r1"), Variant::Null(), Variant(int32_t{10})},
               {Variant("510000000000002"), Variant("r2"), Variant("b"), Variant(int32_t{20})}});
}

HRESULT HrOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const ComError& e) {
    return e.hr();
  }
  return S_OK;
}

TEST(RowFilling, FillsKeyFieldsAndEditState) {
  auto eo = Receipt(51);
  eo->Fields()->Item("memo")->SetValue(Variant("kept"));
  eo->Fields()->Item("code")->SetValue(Variant("old"));
  ASSERT_TRUE(eo->Fields()->Item("code")->Changed());
  auto rs = ReceiptRows();
  rs->MoveNext();
  FillEntityFromRow(*eo, *rs);
  EXPECT_EQ(eo->OID()->Value(), "510000000000002");
  EXPECT_EQ(eo->Fields()->Item("code")->Value().ToString(), "r2");
  EXPECT_EQ(eo->Fields()->Item("book_name")->Value().ToString(), "b");
  EXPECT_EQ(eo->Fields()->Item("amount")->Value().ToLong(), 20);
  EXPECT_EQ(eo->Fields()->Item("memo")->Value().ToString(), "kept");
  EXPECT_EQ(eo->EditState(), 1);
  EXPECT_FALSE(eo->Fields()->Item("code")->Changed());
  // The field holds the value, not the column: moving the recordset leaves it.
  rs->MoveFirst();
  EXPECT_EQ(eo->Fields()->Item("code")->Value().ToString(), "r2");
}

TEST(RowFilling, NullIsKeptAndJoinOnlyFieldsAreFilled) {
  auto eo = Receipt(51);
  eo->Fields()->Item("book_name")->SetSourceField(Variant(""));
  eo->Fields()->Item("book_name")->SetJoinField(Variant("x.book_name"));
  auto rs = ReceiptRows();
  FillEntityFromRow(*eo, *rs);
  EXPECT_TRUE(eo->Fields()->Item("book_name")->Value().IsNull());
}

TEST(RowFilling, ErrorsLeaveWhatWasCopied) {
  auto eo = Receipt(51);
  auto missing = Rows({"oid", "code"}, {{Variant("510000000000001"), Variant("r1")}});
  EXPECT_EQ(HrOf([&] { FillEntityFromRow(*eo, *missing); }), VbHr(3265));
  EXPECT_EQ(eo->OID()->Value(), "510000000000001");
  EXPECT_EQ(eo->Fields()->Item("code")->Value().ToString(), "r1");
  EXPECT_EQ(eo->EditState(), 0);

  auto null_key = Rows({"oid", "code", "book_name", "amount"},
                       {{Variant::Null(), Variant("r"), Variant("b"), Variant(int32_t{1})}});
  EXPECT_EQ(HrOf([&] { FillEntityFromRow(*Receipt(51), *null_key); }), VbHr(kVbInvalidUseOfNull));

  auto empty = Rows({"oid", "code", "book_name", "amount"}, {});
  EXPECT_EQ(HrOf([&] { FillEntityFromRow(*Receipt(51), *empty); }), VbHr(3021));
}

TEST(RowFilling, ChildRecordIsACloneKeyedByItsKeyField) {
  auto line = Line();
  line->ChildEOs()->SetChildEO(Detail());
  auto rs = Rows({"line_oid", "parent_oid", "qty"},
                 {{Variant("520000000000007"), Variant("510000000000001"), Variant(int32_t{3})}});
  auto record = NewChildRecord(*line, *rs);
  EXPECT_NE(record, line);
  EXPECT_EQ(record->OID()->Value(), "520000000000007");
  EXPECT_EQ(record->Fields()->Item("qty")->Value().ToLong(), 3);
  EXPECT_EQ(record->EditState(), 1);
  ASSERT_TRUE(record->ChildEOs()->ChildEO());
  EXPECT_NE(record->ChildEOs()->ChildEO(), line->ChildEOs()->ChildEO());
  EXPECT_TRUE(line->Fields()->Item("qty")->Value().IsEmpty());  // definition untouched
  EXPECT_EQ(line->EditState(), 0);

  auto parent = Receipt(51);
  AddChildRecord(*parent, record);
  EXPECT_EQ(parent->ChildEOs()->Item("K520000000000007"), record);
}

TEST(RowFilling, ChildRecordWithNullKeyRaises) {
  auto rs = Rows({"line_oid", "parent_oid", "qty"},
                 {{Variant::Null(), Variant("510000000000001"), Variant(int32_t{3})}});
  EXPECT_EQ(HrOf([&] { NewChildRecord(*Line(), *rs); }), VbHr(kVbInvalidUseOfNull));
}

}  // namespace
}  // namespace q6::records_test
