// The sample record tables on both engines: a new record saved without its
// key is refused, with its key it is stored.
#include "sample/sample_data.h"

#include <gtest/gtest.h>

#include <set>

#include "component/frame/data_manager.h"
#include "outside/eso/entity_field.h"
#include "outside/eso/entity_object.h"
#include "support/test_db.h"

namespace q6 {
namespace {

class SampleDataTest : public test::EngineTest {};

TEST_P(SampleDataTest, ANewRecordNeedsItsKeyInEveryRecordTable) {
  sample::SeedOptions options;
  options.documents = 2;
  sample::SeedSample(*OpenConnection(), options);
  DataManager dm;
  ObjectRef con = OpenConnection();
  std::set<std::string> tables;
  for (const sample::SampleType& t : sample::SampleTypes()) {
    if (!tables.insert(t.table).second) continue;  // a query over a table seen already
    SCOPED_TRACE(t.table);
    Variant dsn(this->dsn());
    int32_t bitype = t.bitype, only_used = 0;
    bool only_eo = false, get_child = false;
    auto def = As<EntityObject>(dm.LoadEOMetaData(dsn, bitype, only_eo, only_used, get_child));
    ASSERT_TRUE(def);
    const std::string count = std::string("select count(*) from ") + t.table;
    const std::string key = def->OIDSourceField();
    for (bool with_key : {false, true}) {
      const int32_t before = Scalar(count).ToLong();
      auto doc = def->Clone(0);
      doc->SetEditState(Variant(int32_t{2}));
      doc->Fields()->Item(2)->SetValue(Variant("x"));
      if (with_key) {
        doc->SetOIDValue(Variant("990000000000001"));
        doc->Fields()->Item(key)->SetValue(Variant("990000000000001"));
      }
      ObjectRef eo = doc;
      if (with_key) {
        EXPECT_TRUE(dm.Save(con, eo));
      } else {
        EXPECT_THROW(dm.Save(con, eo), ComError);
      }
      EXPECT_EQ(Scalar(count).ToLong(), before + (with_key ? 1 : 0)) << "with key " << with_key;
      EXPECT_EQ(Scalar(count + " where " + key + " is null").ToLong(), 0);
    }
  }
  EXPECT_EQ(tables.size(), 5u);
}

Q6_INSTANTIATE_ENGINE_TEST(SampleDataTest);

}  // namespace
}  // namespace q6
