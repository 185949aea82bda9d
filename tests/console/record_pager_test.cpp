// Paging through a type's records by MoveTo, on both engines: every record
// shown once, in key order, with the ends told.
#include "console/record_pager.h"

#include <gtest/gtest.h>

#include "component/frame/data_manager.h"
#include "outside/eso/entity_object.h"
#include "sample/sample_data.h"
#include "support/test_db.h"

namespace q6::console {
namespace {

class RecordPagerTest : public test::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    sample::SeedOptions so;
    so.documents = 7;
    sample::SeedSample(*OpenConnection(), so);
    // The receipts type 51 shows, in key order, read plainly.
    auto rs = OpenConnection()->Execute(
        "select oid from fd_receipt where oid like '51%' and book_name is null order by oid");
    for (; !rs->EOF(); rs->MoveNext()) keys_.push_back(rs->Field("oid").ToString());
  }

  std::shared_ptr<EntityObject> Receipt() {
    DataManager dm;
    Variant d(dsn());
    int32_t type = 51, used = 0;
    bool only = false, child = true;
    return As<EntityObject>(dm.LoadEOMetaData(d, type, only, used, child));
  }

  // The n-th (from 1) and the n-th to the m-th key.
  std::string Key(int n) const { return keys_.at(n - 1); }
  std::vector<std::string> Keys(int from, int to) const {
    return {keys_.begin() + from - 1, keys_.begin() + to};
  }

  std::vector<std::string> keys_;
};

struct PageCase {
  PageStart start;
  int from;  // 0: no key
  int first, last;
  bool reached_start, reached_end;
};

TEST_P(RecordPagerTest, PagesInKeyOrderWithTheEndsTold) {
  auto eo = Receipt();
  ASSERT_EQ(keys_.size(), 6u);  // of the 7 receipts, one belongs to a derived type
  const PageCase cases[] = {
      {PageStart::kFirst, 0, 1, 3, true, false},  {PageStart::kAfter, 2, 3, 5, false, false},
      {PageStart::kAfter, 5, 6, 6, false, true},  {PageStart::kBefore, 4, 1, 3, true, false},
      {PageStart::kBefore, 3, 1, 2, true, false}, {PageStart::kLast, 0, 4, 6, false, true},
      {PageStart::kAt, 4, 4, 6, false, true},
  };
  for (const PageCase& c : cases) {
    std::string from = c.from ? Key(c.from) : "";
    RecordRows page = ReadRecordPage(dsn(), *eo, c.start, from, 3);
    SCOPED_TRACE("start " + std::to_string(static_cast<int>(c.start)) + " from " + from);
    EXPECT_EQ(page.oids, Keys(c.first, c.last));
    EXPECT_EQ(page.reached_start, c.reached_start);
    EXPECT_EQ(page.reached_end, c.reached_end);
    ASSERT_EQ(page.rows.size(), page.oids.size());
    ASSERT_FALSE(page.rows.empty());
    EXPECT_EQ(page.rows.front().size(), page.headers.size());
  }
  // Past either end, and at a key between two records.
  EXPECT_TRUE(ReadRecordPage(dsn(), *eo, PageStart::kAfter, Key(6), 3).oids.empty());
  EXPECT_TRUE(ReadRecordPage(dsn(), *eo, PageStart::kBefore, Key(1), 3).oids.empty());
  EXPECT_EQ(ReadRecordPage(dsn(), *eo, PageStart::kAt, Key(4) + "5", 2).oids, Keys(5, 6));
  // A code typed into the page is a value, never statement text.
  EXPECT_TRUE(ReadRecordPage(dsn(), *eo, PageStart::kAt, "x' or '1'='1", 2).oids.empty());
  EXPECT_EQ(ReadRecordPage(dsn(), *eo, PageStart::kAt, "' or '1'='1", 2).oids, Keys(1, 2));
}

Q6_INSTANTIATE_ENGINE_TEST(RecordPagerTest);

}  // namespace
}  // namespace q6::console
