// Recordset.Filter: the criteria grammar, table-driven on both engines, the
// moves within a filtered view, and the range path against a full scan.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/adodb/ado_errors.h"
#include "platform/adodb/filter_eval.h"
#include "platform/adodb/record_data.h"
#include "platform/drivers/driver.h"
#include "support/test_db.h"

namespace q6 {
namespace {

using test::EngineTest;

class FilterTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped()) return;
    con_ = OpenConnection();
    con_->Execute(
        "create table f (k integer primary key, code text, qty double precision, "
        "d text, note text)");
    const char* rows[] = {
        "(1, 'A01', 5, '2024-01-05', 'O''Brien')", "(2, 'a02', 10, '2024-02-01', 'plain')",
        "(3, 'B01', 15.5, '2024-03-01', null)",    "(4, 'b02', 20, '2023-12-31', 'x*y')",
        "(5, 'C 1', -1, '2024-01-05', 'tail%')",
    };
    for (const char* r : rows) con_->Execute(std::string("insert into f values ") + r);
    rs_ = con_->Execute("select * from f order by k");
  }
  std::vector<int32_t> Keys() {
    std::vector<int32_t> out;
    if (rs_->EOF()) return out;
    for (rs_->MoveFirst(); !rs_->EOF(); rs_->MoveNext()) out.push_back(rs_->Field("k").ToLong());
    return out;
  }
  std::shared_ptr<Connection> con_;
  std::shared_ptr<Recordset> rs_;
};

struct FilterRow {
  const char* criteria;
  std::vector<int32_t> keys;
};

TEST_P(FilterTest, CriteriaSelectTheRightRows) {
  const FilterRow rows[] = {
      {"k = 3", {3}},
      {"K <> 3", {1, 2, 4, 5}},
      {"k < 3", {1, 2}},
      {"k <= 3", {1, 2, 3}},
      {"k > 3", {4, 5}},
      {"k >= 3", {3, 4, 5}},
      {"k = '2'", {2}},       // text against a number column
      {"code = 'a01'", {1}},  // text without regard to case
      {"code > 'A02'", {3, 4, 5}},
      {"code LIKE 'b*'", {3, 4}},
      {"code like '%0%'", {1, 2, 3, 4}},
      {"code LIKE '*1'", {1, 3, 5}},
      {"note = 'O''Brien'", {1}},  // a quote written twice
      {"note LIKE 'x*'", {4}},
      {"note <> 'plain'", {1, 4, 5}},  // Null matches nothing
      {"[code] = 'C 1'", {5}},
      {"qty = 15.5", {3}},
      {"qty > $10", {3, 4}},
      {"qty < 1e1", {1, 5}},
      {"qty >= -1 AND qty < 6", {1, 5}},
      {"k = 1 OR k = 5", {1, 5}},
      {"k = 1 AND code = 'A01' OR k = 4", {1, 4}},
      {"(k = 1 AND code = 'A01') OR (k > 3 AND qty > 0)", {1, 4}},
      {"(k = 1 OR k = 2) OR k = 3", {1, 2, 3}},
      {"d = #2024-01-05#", {1, 5}},
      {"d > #1/31/2024#", {2, 3}},
      {"k = 99", {}},
  };
  for (const FilterRow& row : rows) {
    rs_->PutFilter(Variant(row.criteria));
    EXPECT_EQ(rs_->RecordCount(), static_cast<int32_t>(row.keys.size())) << row.criteria;
    EXPECT_EQ(Keys(), row.keys) << row.criteria;
    EXPECT_EQ(rs_->Filter().ToString(), row.criteria);
  }
  rs_->PutFilter(Variant(""));
  EXPECT_EQ(rs_->RecordCount(), 5);
  EXPECT_EQ(rs_->Filter().ToLong(), 0);
}

TEST_P(FilterTest, MalformedCriteriaFailWith3001AndKeepTheView) {
  const char* bad[] = {
      "k =",
      "k 3",
      "= 3",
      "k = 'open",
      "(k = 1",
      "k = 1)",
      "k = Null",
      "nosuch = 1",
      "k = 'abc'",
      "(k = 1 OR k = 2) AND k = 3",
      "k == 1",
      "k = 1 AND",
      "k = #notadate#",
  };
  rs_->PutFilter(Variant("k > 2"));
  for (const char* c : bad) {
    try {
      rs_->PutFilter(Variant(c));
      ADD_FAILURE() << c << " was accepted";
    } catch (const ComError& e) {
      EXPECT_EQ(e.hr(), VbHr(kAdoInvalidArgument)) << c << ": " << e.description();
    }
    EXPECT_EQ(rs_->RecordCount(), 3) << "a failed filter must not change the view: " << c;
  }
}

TEST_P(FilterTest, SettingAFilterMovesToItsFirstRowAndMovesStayInside) {
  rs_->MoveLast();
  rs_->PutFilter(Variant("qty > 6"));
  EXPECT_EQ(rs_->Field("k").ToLong(), 2);
  rs_->MoveLast();
  EXPECT_EQ(rs_->Field("k").ToLong(), 4);
  rs_->MoveNext();
  EXPECT_TRUE(rs_->EOF());
  rs_->MoveFirst();
  rs_->MovePrevious();
  EXPECT_TRUE(rs_->BOF());
  rs_->PutFilter(Variant("k > 100"));
  EXPECT_TRUE(rs_->EOF());
  EXPECT_TRUE(rs_->BOF());
  EXPECT_THROW(rs_->MoveFirst(), ComError);
  rs_->PutFilter(Variant(int32_t{0}));
  EXPECT_EQ(rs_->Field("k").ToLong(), 1) << "clearing moves to the first row of all";
}

Q6_INSTANTIATE_ENGINE_TEST(FilterTest);

// The range path (ordered column, binary search) must select exactly what a
// scan selects, for every operator and for values between, on and outside
// the stored ones, with Nulls and duplicates present.
TEST(FilterRange, OrderedColumnAgreesWithScan) {
  ResultSet r;
  r.has_rows = true;
  r.columns = {ColumnInfo{"K", "", kAdVarWChar}, ColumnInfo{"pad", "", kAdInteger}};
  const std::vector<Variant> keys = {Variant::Null(), Variant("a"), Variant("B"), Variant("b"),
                                     Variant("c"),    Variant("d"), Variant("d"), Variant("E")};
  for (const Variant& k : keys) {
    r.cells.push_back(k);
    r.cells.push_back(Variant(int32_t{0}));
  }
  r.row_count = keys.size();
  RecordData ordered;
  ordered.Load(ResultSet(r), false);
  const char* ops[] = {"=", "<", ">", "<=", ">="};
  const char* values[] = {"'0'", "'a'", "'b'", "'bb'", "'D'", "'e'", "'z'"};
  for (const char* op : ops)
    for (const char* v : values) {
      std::string text = std::string("K ") + op + " " + v;
      RowView fast = ApplyFilter(ordered, ParseFilter(text));
      ASSERT_EQ(fast.kind, RowView::kRange) << text;
      // The same clause twice with OR takes the scanning path.
      RowView scan = ApplyFilter(ordered, ParseFilter(text + " OR " + text));
      ASSERT_EQ(scan.kind, RowView::kList);
      std::vector<size_t> got;
      for (size_t i = fast.lo; i < fast.hi; ++i) got.push_back(i);
      EXPECT_EQ(got, scan.rows) << text;
    }
}

TEST(FilterRange, UnorderedColumnIsScanned) {
  ResultSet r;
  r.has_rows = true;
  r.columns = {ColumnInfo{"K", "", kAdInteger}};
  for (int v : {3, 1, 2}) r.cells.push_back(Variant(int32_t{v}));
  r.row_count = 3;
  RecordData data;
  data.Load(std::move(r), false);
  RowView v = ApplyFilter(data, ParseFilter("K > 1"));
  EXPECT_EQ(v.kind, RowView::kList);
  EXPECT_THAT(v.rows, ::testing::ElementsAre(0, 2));
}

TEST(FilterLike, WildcardsAndCase) {
  struct Row {
    const char* text;
    const char* pattern;
    bool match;
  } rows[] = {
      {"Smith", "smit*", true}, {"Smith", "*MIT*", true}, {"Smith", "S%h", true},
      {"Smith", "Smit", false}, {"", "*", true},          {"abc", "a_c", false},
      {"Grüße", "GRÜ*", true},  {"aXbXc", "*x*x*", true}, {"ab", "*b*b", false},
  };
  for (const Row& row : rows)
    EXPECT_EQ(LikeMatch(row.text, row.pattern), row.match) << row.text << " LIKE " << row.pattern;
}

}  // namespace
}  // namespace q6
