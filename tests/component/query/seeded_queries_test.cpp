// The query objects of the sample types, run as a user runs them on a fresh
// seed: each returns its rows on both engines, titled by the listed fields'
// captions or names.
#include <gtest/gtest.h>

#include <map>

#include "component/frame/data_manager.h"
#include "component/frame/query_manager.h"
#include "outside/eso/entity_field.h"
#include "outside/eso/entity_object.h"
#include "platform/adodb/fields.h"
#include "sample/sample_data.h"
#include "support/test_db.h"

namespace q6 {
namespace {

// The column titles a query object gives: its listed fields in position
// order; empty when none is listed (the statement then selects every column).
std::vector<std::string> ListedTitles(const EntityObject& qry, bool captions) {
  std::map<int32_t, std::string> by_position;
  for (const auto& f : *qry.Fields())
    if (f->QryFldSqc() > 0) by_position[f->QryFldSqc()] = captions ? f->Caption() : f->Name();
  std::vector<std::string> titles;
  for (const auto& [position, title] : by_position) titles.push_back(title);
  return titles;
}

std::vector<std::string> Titles(Recordset& rs) {
  std::vector<std::string> names;
  for (const Variant& f : rs.Fields()->Enumerate()) names.push_back(As<Field>(f.object())->Name());
  return names;
}

class SeededQueriesTest : public test::EngineTest {};

TEST_P(SeededQueriesTest, EverySampleQueryObjectRuns) {
  sample::SeedOptions options;
  options.documents = 6;
  sample::SeedSample(*OpenConnection(), options);
  // The rows each query object must return, counted directly.
  const std::map<int, std::string> counts = {
      {51, "select count(*) from fd_receipt where approved = 1"},
      {53, "select count(*) from fd_payment"},
      {5, "select count(*) from fd_account"},
      {63, "select count(*) from fd_receipt"},
  };
  DataManager dm;
  Querymanager qm;
  size_t ran = 0;
  for (const sample::SampleType& t : sample::SampleTypes()) {
    if (!t.query) continue;
    SCOPED_TRACE("type " + std::to_string(t.bitype));
    ASSERT_TRUE(counts.count(t.bitype)) << "a query type without an expected count";
    Variant dsn(this->dsn());
    int32_t bitype = t.bitype, only_used = 0;
    bool only_eo = false, get_child = false;
    ObjectRef q = dm.LoadEOMetaData(dsn, bitype, only_eo, only_used, get_child);
    auto qry = As<EntityObject>(q);
    ASSERT_TRUE(qry);
    for (bool captions : {true, false}) {
      auto rs = As<Recordset>(qm.GetQueryResult(dsn, q, captions));
      ASSERT_TRUE(rs);
      EXPECT_GT(rs->RecordCount(), 0);
      EXPECT_EQ(rs->RecordCount(), Scalar(counts.at(t.bitype)).ToLong());
      const std::vector<std::string> listed = ListedTitles(*qry, captions);
      if (!listed.empty()) EXPECT_EQ(Titles(*rs), listed) << "captions " << captions;
    }
    ++ran;
  }
  EXPECT_EQ(ran, counts.size());
}

Q6_INSTANTIATE_ENGINE_TEST(SeededQueriesTest);

}  // namespace
}  // namespace q6
