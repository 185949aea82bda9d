// Effective BI type, key columns, type prefix and the column-list flag.
#include "component/records/entity_terms.h"

#include <gtest/gtest.h>

#include "records_fixture.h"

namespace q6::records_test {
namespace {

TEST(EntityTerms, EffectiveTypeAndFlag) {
  struct Row {
    int32_t bi;
    int16_t derive;
    int32_t effective;
    int32_t flag;
    const char* prefix;
  } rows[] = {
      {51, 0, 51, 0, "51"}, {63, 0, 63, 10, "63"}, {30, 63, 63, 10, "30"},
      {5, 40, 40, 0, "05"}, {63, 40, 40, 0, "63"}, {123, 0, 123, 0, "23"},
      {0, 0, 0, 0, "00"},   {7, -5, -5, 0, "07"},  {-5, 0, -5, 0, "-5"},
  };
  for (const Row& r : rows) {
    auto eo = Receipt(r.bi, r.derive);
    SCOPED_TRACE(std::to_string(r.bi) + "/" + std::to_string(r.derive));
    EXPECT_EQ(EffectiveBIType(*eo), r.effective);
    EXPECT_EQ(ColumnListFlag(EffectiveBIType(*eo)), r.flag);
    EXPECT_EQ(TypePrefix(*eo), r.prefix);
  }
}

TEST(EntityTerms, KeyColumnPrefersJoinField) {
  auto eo = MakeEntity(51, "fd_doc", "cOID");
  eo->Fields()->Add(MakeField("cOID", "fd_doc.cOID"));
  EXPECT_EQ(KeyColumn(*eo), "fd_doc.cOID");
  EXPECT_EQ(ChildKeyColumn(*eo), "cOID");  // the child statement falls back to the name
  eo->Fields()->Item("coid")->SetJoinField(Variant("d.cOID"));
  EXPECT_EQ(KeyColumn(*eo), "d.cOID");
  EXPECT_EQ(ChildKeyColumn(*eo), "d.cOID");
}

TEST(EntityTerms, MissingKeyFieldRaises) {
  auto eo = MakeEntity(51, "fd_doc", "nokey");
  eo->Fields()->Add(MakeField("cOID", "cOID"));
  for (auto f : {KeyColumn, ChildKeyColumn}) {
    try {
      f(*eo);
      ADD_FAILURE() << "no error";
    } catch (const ComError& e) {
      EXPECT_EQ(e.hr(), VbHr(kVbInvalidProcedureCall));
    }
  }
}

}  // namespace
}  // namespace q6::records_test
