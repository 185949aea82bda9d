// MaxTop, MaxQrySqc and DeleteBIType: their statement texts to the letter,
// their answers over the field rows of an entity, and what a deletion
// leaves.
#include "component/frame/data_manager.h"
#include "outside/services/connection_manager.h"
#include "support/metadata_fixture.h"
#include "support/statement_capture.h"
#include "support/test_db.h"

namespace q6::test {
namespace {

class DesignerQueriesTest : public EngineTest {
 protected:
  void Fields(int32_t entity, const std::vector<double>& tops, const std::vector<int32_t>& sqcs) {
    auto con = OpenConnection();
    for (size_t i = 0; i < std::max(tops.size(), sqcs.size()); ++i) {
      FieldRow row{.id = next_id_++, .entity_id = entity, .name = "f" + std::to_string(next_id_)};
      if (i < tops.size()) row.top = tops[i];
      if (i < sqcs.size()) row.qry_fld_sqc = sqcs[i];
      InsertField(*con, row);
    }
  }
  double MaxTop(int32_t type) {
    Variant d(dsn());
    return dm_->MaxTop(d, type);
  }
  int32_t MaxQrySqc(int32_t type) {
    Variant d(dsn());
    return dm_->MaxQrySqc(d, type);
  }
  int32_t Count(const std::string& sql) { return Scalar(sql).ToLong(); }

  std::shared_ptr<DataManager> dm_ = std::make_shared<DataManager>();
  int32_t next_id_ = 1;
};

struct TopCase {
  std::vector<double> tops;
  double expected;
};

TEST_P(DesignerQueriesTest, MaxTopIsTheLargestTopOrZero) {
  const TopCase cases[] = {
      {{0, 120, 240.5}, 240.5},
      {{0, 0}, 0},
      {{-10, -2.5}, -2.5},
      {{}, 0},  // no field rows: the maximum is Null
  };
  int32_t entity = 50;
  for (const TopCase& c : cases) {
    Fields(++entity, c.tops, {});
    EXPECT_DOUBLE_EQ(MaxTop(entity), c.expected) << "entity " << entity;
  }
  // Rows whose dbltop is Null count as none.
  Fields(70, {5}, {});
  Exec("update FD_Fields set dbltop = NULL where iEntityID = 70");
  EXPECT_DOUBLE_EQ(MaxTop(70), 0);
}

struct SqcCase {
  std::vector<int32_t> sqcs;
  int32_t expected;
};

TEST_P(DesignerQueriesTest, MaxQrySqcIsTheLargestPositionOrZero) {
  const SqcCase cases[] = {
      {{5, 2, 9}, 9},
      {{0, 0, 0}, 0},
      {{-3, -1}, -1},
      {{}, 0},
  };
  int32_t entity = 50;
  for (const SqcCase& c : cases) {
    Fields(++entity, {}, c.sqcs);
    EXPECT_EQ(MaxQrySqc(entity), c.expected) << "entity " << entity;
  }
}

TEST_P(DesignerQueriesTest, StatementTexts) {
  StatementCapture capture;
  MaxTop(51);
  MaxQrySqc(-5);
  auto con = OpenConnection();
  ObjectRef c = con;
  dm_->DeleteBIType(c, 51);
  EXPECT_EQ(capture.Sql(), (std::vector<std::string>{
                               "Select max(dblTop) From FD_Fields Where iEntityID = 51",
                               "Select max(iQryFldsqc) From FD_Fields Where iEntityID = -5",
                               "Delete From fd_fields where iEntityID = '51 '",
                               "Delete From FD_Entities Where iBIType = '51 '",
                           }));
  for (const std::string& e : capture.Errors()) EXPECT_EQ(e, "");
}

TEST_P(DesignerQueriesTest, QueriesGiveTheirConnectionBack) {
  auto pool = ApartmentConnectionManager();
  MaxTop(51);
  size_t idle = pool->IdleCount();
  MaxQrySqc(51);
  MaxTop(52);
  EXPECT_EQ(pool->IdleCount(), idle);
}

TEST_P(DesignerQueriesTest, DeleteBITypeRemovesTheEntityAndItsFieldsOnly) {
  auto con = OpenConnection();
  InsertEntity(*con, {.id = 51, .name = "p", .caption = "父", .source_table = "t"});
  InsertEntity(*con,
               {.id = 52, .name = "c", .caption = "子", .source_table = "t", .parent_id = 51});
  InsertEntity(*con, {.id = 53, .name = "o", .caption = "他", .source_table = "t"});
  Fields(51, {1, 2}, {});
  Fields(52, {1}, {});
  Fields(53, {1}, {});
  ObjectRef c = con;
  EXPECT_TRUE(dm_->DeleteBIType(c, 51));
  EXPECT_EQ(Count("select count(*) from FD_Entities where iID = 51"), 0);
  EXPECT_EQ(Count("select count(*) from FD_Fields where iEntityID = 51"), 0);
  // The child entity and its fields stay, and so does everything else.
  EXPECT_EQ(Count("select count(*) from FD_Entities"), 2);
  EXPECT_EQ(Count("select count(*) from FD_Fields"), 2);
  // A number without rows still answers True.
  EXPECT_TRUE(dm_->DeleteBIType(c, 4711));
  EXPECT_EQ(Count("select count(*) from FD_Entities"), 2);
}

TEST_P(DesignerQueriesTest, DeleteBITypeWorksInsideTheCallersTransaction) {
  auto con = OpenConnection();
  InsertEntity(*con, {.id = 51, .name = "p", .caption = "父", .source_table = "t"});
  Fields(51, {1}, {});
  ObjectRef c = con;
  con->BeginTrans();
  EXPECT_TRUE(dm_->DeleteBIType(c, 51));
  EXPECT_TRUE(con->InTransaction());
  con->RollbackTrans();
  EXPECT_EQ(Count("select count(*) from FD_Entities"), 1);
  EXPECT_EQ(Count("select count(*) from FD_Fields"), 1);
}

TEST_P(DesignerQueriesTest, DeleteBITypeWithoutAConnectionRaises91) {
  ObjectRef nothing;
  try {
    dm_->DeleteBIType(nothing, 51);
    FAIL() << "no error";
  } catch (const ComError& e) {
    EXPECT_EQ(e.hr(), VbHr(91));
  }
}

TEST_P(DesignerQueriesTest, MaxTopOfAnUnknownSourceRaises) {
  Variant d("no-such-source");
  int32_t type = 51;
  EXPECT_THROW(dm_->MaxTop(d, type), ComError);
  EXPECT_THROW(dm_->MaxQrySqc(d, type), ComError);
}

Q6_INSTANTIATE_ENGINE_TEST(DesignerQueriesTest);

}  // namespace
}  // namespace q6::test
