// MoveToBySQL on both engines.
#include <gtest/gtest.h>

#include "outside/services/connection_manager.h"
#include "records_fixture.h"

namespace q6::records_test {
namespace {

class MoveToBySQLTest : public RecordsTest {
 protected:
  std::string Run(std::string sql) {
    Variant dsn(this->dsn());
    return dm->MoveToBySQL(dsn, sql);
  }
};

TEST_P(MoveToBySQLTest, SecondColumnOfTheFirstRowAsText) {
  AddThreeReceipts();
  struct Row {
    const char* sql;
    const char* result;
  } rows[] = {
      {"select oid, amount from fd_receipt where oid like '51%' order by oid desc", "30"},
      {"select amount, code from fd_receipt where oid = '510000000000002'", "r2"},
      {"select oid, 12 from fd_receipt where oid = '510000000000001'", "12"},
      {"select oid, amount from fd_receipt where 1 = 0", "0"},
  };
  for (const Row& r : rows) EXPECT_EQ(Run(r.sql), r.result) << r.sql;
}

TEST_P(MoveToBySQLTest, ErrorsReachTheCallerAndTheConnectionGoesBack) {
  AddThreeReceipts();
  struct Row {
    const char* sql;
    HRESULT hr;
  } rows[] = {
      {"select oid from fd_receipt", VbHr(3265)},
      {"select oid, book_name from fd_receipt where oid = '510000000000001'",
       VbHr(kVbInvalidUseOfNull)},
      {"select oid, amount from nosuch", E_FAIL},
  };
  ASSERT_EQ(Run("select oid, code from fd_receipt where oid = '510000000000001'"), "r1");
  const size_t idle = ApartmentConnectionManager()->IdleCount();
  for (const Row& r : rows) {
    try {
      Run(r.sql);
      ADD_FAILURE() << "no error: " << r.sql;
    } catch (const ComError& e) {
      EXPECT_EQ(e.hr(), r.hr) << r.sql << ": " << e.description();
    }
    EXPECT_EQ(ApartmentConnectionManager()->IdleCount(), idle) << r.sql;
  }
}

Q6_INSTANTIATE_ENGINE_TEST(MoveToBySQLTest);

}  // namespace
}  // namespace q6::records_test
