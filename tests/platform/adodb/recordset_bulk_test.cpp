// Recordset.GetString on both engines: delimiters, Null, row counts, the
// cursor after the call, its errors.
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

}  // namespace
}  // namespace q6
