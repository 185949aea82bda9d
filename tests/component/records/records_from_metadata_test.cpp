// The road of a client on both engines: load a document type's definition
// from the metadata tables, open its records with GetData, step through them
// with MoveToByRS, and read them one at a time with MoveTo.
#include <gtest/gtest.h>

#include "records_fixture.h"
#include "support/metadata_fixture.h"

namespace q6::records_test {
namespace {

class RecordsFromMetadataTest : public RecordsTest {
 protected:
  void SetUp() override {
    RecordsTest::SetUp();
    if (IsSkipped()) return;
    auto c = OpenConnection();
    test::InsertEntity(*c, {.id = 51,
                            .name = "receipt",
                            .caption = "receipt",
                            .oid_source_field = "oid",
                            .source_table = "fd_receipt"});
    test::InsertEntity(*c, {.id = 52,
                            .name = "line",
                            .caption = "line",
                            .oid_source_field = "line_oid",
                            .source_table = "fd_receipt_line",
                            .parent_field = "parent_oid",
                            .parent_id = 51});
    int id = 1;
    for (const char* f : {"oid", "code", "amount"})
      test::InsertField(*c, {.id = id++, .entity_id = 51, .name = f, .source_field = f});
    test::InsertField(*c, {.id = id++, .entity_id = 51, .name = "memo", .source_field = ""});
    for (const char* f : {"line_oid", "parent_oid", "qty"})
      test::InsertField(*c, {.id = id++, .entity_id = 52, .name = f, .source_field = f});
    AddThreeReceipts();
    AddLine("520000000000001", "510000000000001", 1);
    AddLine("520000000000002", "510000000000002", 2);
  }

  std::shared_ptr<EntityObject> LoadReceipt() {
    Variant dsn(this->dsn());
    int32_t bi = 51, only_used = 0;
    bool only_eo = false, get_child = true;
    return As<EntityObject>(dm->LoadEOMetaData(dsn, bi, only_eo, only_used, get_child));
  }
};

TEST_P(RecordsFromMetadataTest, BrowseAndRead) {
  auto eo = LoadReceipt();
  ASSERT_TRUE(eo && eo->ChildEOs()->ChildEO());
  ObjectRef e = eo, prs, crs;
  bool get_child = true;
  ASSERT_TRUE(dm->GetData(con, e, prs, crs, get_child));
  std::vector<std::string> seen;
  for (int32_t mode = 0; dm->MoveToByRS(con, e, mode, prs, crs, get_child); mode = 3) {
    if (!seen.empty() && seen.back() == eo->OID()->Value()) break;
    seen.push_back(eo->OID()->Value());
  }
  EXPECT_EQ(seen,
            (std::vector<std::string>{"510000000000001", "510000000000002", "510000000000003"}));
  EXPECT_EQ(eo->Fields()->Item("amount")->Value().ToLong(), 30);
  EXPECT_EQ(ChildKeys(*eo), std::vector<std::string>{"520000000000001"});

  auto fresh = LoadReceipt();
  ObjectRef f = fresh;
  int32_t mode = 4;
  bool reversal = false;
  ASSERT_TRUE(dm->MoveTo(con, f, mode, reversal, get_child));
  EXPECT_EQ(fresh->OID()->Value(), "510000000000003");
  mode = 1;
  ASSERT_TRUE(dm->MoveTo(con, f, mode, reversal, get_child));
  EXPECT_EQ(fresh->Fields()->Item("code")->Value().ToString(), "r2");
  EXPECT_EQ(ChildKeys(*fresh), std::vector<std::string>{"520000000000002"});
}

Q6_INSTANTIATE_ENGINE_TEST(RecordsFromMetadataTest);

}  // namespace
}  // namespace q6::records_test
