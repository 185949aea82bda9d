// Recordset.GetString and GetRows on both engines: delimiters, Null, row
// counts, start and fields, the cursor after the call, the errors.
#include <gtest/gtest.h>

#include "platform/adodb/ado_errors.h"
#include "platform/adodb/recordset.h"
#include "support/test_db.h"

namespace q6 {
namespace {

using test::EngineTest;

class GetStringTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped()) return;
    con_ = OpenConnection();
    con_->Execute("create table t (k integer primary key, name text)");
    con_->Execute("insert into t values (1, 'one'), (2, null), (3, 'three')");
  }
  std::shared_ptr<Connection> con_;
};

TEST_P(GetStringTest, WritesRowsFromTheCurrentOne) {
  const struct {
    int skip;  // rows moved over first
    int32_t num_rows;
    const char* col;
    const char* row;
    const char* null_expr;
    const char* text;
    bool eof_after;
  } cases[] = {
      {0, -1, "\t", "\r", "", "1\tone\r2\t\r3\tthree\r", true},
      {0, 2, ";", "|", "NULL", "1;one|2;NULL|", false},
      {1, -1, ",", "\n", "-", "2,-\n3,three\n", true},
      {2, 5, "", "", "", "3three", true},
  };
  for (const auto& c : cases) {
    auto rs = con_->Execute("select k, name from t order by k");
    for (int i = 0; i < c.skip; ++i) rs->MoveNext();
    EXPECT_EQ(rs->GetString(kAdClipString, c.num_rows, c.col, c.row, c.null_expr), c.text);
    EXPECT_EQ(rs->EOF(), c.eof_after) << c.text;
    if (!c.eof_after) EXPECT_EQ(rs->Field("k").ToString(), "3");
  }
}

TEST_P(GetStringTest, RaisesAtEofAndForAnotherFormat) {
  auto rs = con_->Execute("select k from t where k > 9");
  try {
    rs->GetString();
    FAIL() << "no error at EOF";
  } catch (const ComError& e) {
    EXPECT_EQ(e.hr(), VbHr(kAdoNoCurrentRecord));
  }
  auto all = con_->Execute("select k from t");
  EXPECT_THROW(all->GetString(1), ComError);
  EXPECT_EQ(all->Field("k").ToString(), "1");  // nothing was read
}

Q6_INSTANTIATE_ENGINE_TEST(GetStringTest);

// The array as text, field by field: "1,2,3|one,,three".
std::string Text(const VariantArray& a) {
  std::string out;
  for (int32_t f = 0; f <= a.UBound(1); ++f) {
    if (f) out += "|";
    for (int32_t r = 0; r <= a.UBound(2); ++r) {
      if (r) out += ",";
      const Variant& v = a.At({f, r});
      if (!v.IsNull()) out += v.ToString();
    }
  }
  return out;
}

using GetRowsTest = GetStringTest;

TEST_P(GetRowsTest, ReadsFieldsByRowFromTheStart) {
  const struct {
    int skip;  // rows moved over first
    int32_t rows;
    int32_t start;
    Variant fields;
    const char* text;
    const char* current_after;  // "" for EOF
  } cases[] = {
      {0, kAdGetRowsRest, kAdBookmarkCurrent, Variant::Missing(), "1,2,3|one,,three", ""},
      {1, 1, kAdBookmarkCurrent, Variant("NAME"), "", "3"},
      {2, 5, kAdBookmarkFirst, Variant(VariantArray::Of({Variant("name"), Variant(int16_t{0})})),
       "one,,three|1,2,3", ""},
      {0, 2, kAdBookmarkLast, Variant(int32_t{0}), "3", ""},
      {1, 0, kAdBookmarkCurrent, Variant::Missing(), "|", "2"},
  };
  for (const auto& c : cases) {
    auto rs = con_->Execute("select k, name from t order by k");
    for (int i = 0; i < c.skip; ++i) rs->MoveNext();
    const VariantArray a = rs->GetRows(c.rows, Variant(c.start), c.fields);
    EXPECT_EQ(Text(a), c.text) << c.text;
    EXPECT_EQ(rs->EOF(), *c.current_after == 0) << c.text;
    if (*c.current_after) EXPECT_EQ(rs->Field("k").ToString(), c.current_after);
  }
  // Late-bound, with the defaults.
  auto rs = con_->Execute("select k from t order by k");
  const Variant v = rs->Call("GetRows", {Variant(int32_t{2})});
  EXPECT_EQ(Text(v.array()), "1,2");
}

TEST_P(GetRowsTest, RaisesWithoutMovingTheCursor) {
  const struct {
    const char* sql;
    Variant start;
    Variant fields;
    int error;
  } cases[] = {
      {"select k from t where k > 9", Variant(int32_t{kAdBookmarkCurrent}), Variant::Missing(),
       kAdoNoCurrentRecord},
      {"select k from t order by k", Variant(int32_t{7}), Variant::Missing(), kAdoInvalidArgument},
      {"select k from t order by k", Variant("x"), Variant::Missing(), kAdoInvalidArgument},
      {"select k from t order by k", Variant(int32_t{kAdBookmarkLast}), Variant("nope"),
       kAdoItemNotFound},
  };
  for (const auto& c : cases) {
    auto rs = con_->Execute(c.sql);
    try {
      rs->GetRows(kAdGetRowsRest, c.start, c.fields);
      ADD_FAILURE() << "no error: " << c.sql;
    } catch (const ComError& e) {
      EXPECT_EQ(e.hr(), VbHr(c.error)) << c.start.Describe();
    }
    if (!rs->EOF()) EXPECT_EQ(rs->Field("k").ToString(), "1");
  }
}

Q6_INSTANTIATE_ENGINE_TEST(GetRowsTest);

}  // namespace
}  // namespace q6
