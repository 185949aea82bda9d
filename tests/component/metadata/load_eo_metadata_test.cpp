// LoadEOMetaData on both engines: statement text, read modes, Null and
// overflow, field order and filters, child chains, loops, connections.
#include <gtest/gtest.h>

#include "component/frame/data_manager.h"
#include "outside/eso/entity_object.h"
#include "outside/services/connection_manager.h"
#include "support/metadata_fixture.h"
#include "support/statement_capture.h"
#include "support/test_db.h"

namespace q6 {
namespace {

using test::EntityRow;
using test::FieldRow;

constexpr HRESULT kOk = S_OK;
constexpr HRESULT kNoCurrentRecord = MakeHr(0x800A0BCDu);

class LoadEOMetaDataTest : public test::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (!IsSkipped()) con_ = OpenConnection();
  }
  std::shared_ptr<EntityObject> Load(int32_t bi_type, bool only_eo = false, int32_t only_used = 0,
                                     bool get_child = true) {
    Variant dsn(this->dsn());
    ObjectRef eo = dm_->LoadEOMetaData(dsn, bi_type, only_eo, only_used, get_child);
    return As<EntityObject>(eo);
  }
  // The error a load raises, S_OK when it returns an entity.
  HRESULT LoadError(int32_t bi_type, int32_t only_used = 0, std::string* text = nullptr) {
    try {
      EXPECT_TRUE(Load(bi_type, false, only_used) != nullptr);
    } catch (const ComError& e) {
      if (text) *text = e.description();
      return e.hr();
    }
    return kOk;
  }
  void Entity(const EntityRow& row) { test::InsertEntity(*con_, row); }
  void Field(const FieldRow& row) { test::InsertField(*con_, row); }
  // Entity `id` with one field of its own per name, in that layout order.
  void EntityWithFields(int32_t id, int32_t parent, std::initializer_list<const char*> names) {
    Entity({.id = id, .name = "e" + std::to_string(id), .source_table = "t", .parent_id = parent});
    int32_t n = 0;
    for (const char* name : names)
      Field({.id = id * 100 + ++n, .entity_id = id, .name = name, .source_field = name, .row = n});
  }
  // receipt (51) -> lines (52) -> details (53).
  void ThreeLevels() {
    EntityWithFields(51, 0, {"oid", "code"});
    EntityWithFields(52, 51, {"lineoid", "qty"});
    EntityWithFields(53, 52, {"detail"});
  }
  static std::vector<std::string> Names(const EntityObject& eo) {
    std::vector<std::string> out;
    for (const auto& f : *eo.Fields()) out.push_back(f->Name());
    return out;
  }

  std::shared_ptr<DataManager> dm_ = std::make_shared<DataManager>();
  std::shared_ptr<Connection> con_;
};

TEST_P(LoadEOMetaDataTest, StatementsToTheLetter) {
  ThreeLevels();
  auto level = [](int id, const std::string& filter) {
    std::string n = std::to_string(id);
    return std::vector<std::string>{
        "Select * From FD_Entities Where iID = " + n,
        "Select * From FD_Fields Where iEntityID = " + n + filter + " order by irow,iinputcol,iid ",
        "select ibitype from fd_entities where iparentid=" + n};
  };
  auto chain = [&](const std::string& filter) {
    std::vector<std::string> all;
    for (int id : {51, 52, 53})
      for (std::string& s : level(id, filter)) all.push_back(std::move(s));
    return all;
  };
  struct Row {
    bool only_eo;
    int32_t only_used;
    bool get_child;
    std::vector<std::string> expected;
  } rows[] = {
      {false, 0, true, chain(" and bisused = 1 ")},
      {false, 1, true, chain("")},
      {false, -7, true, chain("")},
      {false, 0, false, {level(51, " and bisused = 1 ")[0], level(51, " and bisused = 1 ")[1]}},
      {true, 0, true, {"Select * From FD_Entities Where iID = 51"}},
  };
  for (const Row& r : rows) {
    test::StatementCapture capture;
    Load(51, r.only_eo, r.only_used, r.get_child);
    EXPECT_EQ(capture.Sql(), r.expected) << r.only_eo << r.only_used << r.get_child;
  }
  test::StatementCapture capture;
  EXPECT_EQ(LoadError(-5), kNoCurrentRecord);
  EXPECT_EQ(capture.Sql(), std::vector<std::string>{"Select * From FD_Entities Where iID = -5"});
}

// One column at a time set to a value, to NULL or to a value at the edge of
// its member's range, in an entity of its own with one field: each member
// comes from its own column, direct columns fail on Null (94), the others
// arrive by their read mode, and values out of range fail (6).
struct ColumnCase {
  bool field_table;
  const char* column;
  const char* value;  // SQL text
  const char* member;
  Variant expected;  // ignored unless error is S_OK
  HRESULT error;
};

const HRESULT kNull = VbHr(kVbInvalidUseOfNull);
const HRESULT kOverflow = VbHr(kVbOverflow);
constexpr bool E = false, F = true;  // FD_Entities, FD_Fields

// clang-format off
const ColumnCase kColumnCases[] = {
    {E, "sName", "'receipt'", "Name", "receipt", kOk},
    {E, "sCaption", "'收款单'", "Caption", "收款单", kOk},
    {E, "ibitype", "7002", "BIType", 7002, kOk},
    {E, "sOIDSourceField", "'coid'", "OIDSourceField", "coid", kOk},
    {E, "sSourceTable", "'fd_receipt'", "SourceTable", "fd_receipt", kOk},
    {E, "sParentField", "'poid'", "ParentField", "poid", kOk},
    {E, "sTaskID", "'T1'", "TaskID", "T1", kOk},
    {E, "sHelpContextID", "'H1'", "HelpContextID", "H1", kOk},
    {E, "sDescription", "'it''s'", "Description", "it's", kOk},
    {E, "iSheet", "2", "Sheet", 2, kOk},
    {E, "iRows", "10", "Rows", 10, kOk},
    {E, "iCols", "6", "Cols", 6, kOk},
    {E, "iIsUsed", "-1", "IsUsed", true, kOk},
    {E, "sPzSign", "'PZ'", "PzSign", "PZ", kOk},
    {E, "iVchType", "-3", "VchType", int16_t{-3}, kOk},
    {E, "iderivebitype", "50", "DeriveBIType", int16_t{50}, kOk},
    {E, "iWidth", "800.5", "Width", 800.5, kOk},
    {E, "iHeight", "600.25", "Height", 600.25, kOk},
    {E, "bIsAutoAlarm", "2", "IsAutoAlarm", true, kOk},
    {E, "ialarmdays", "7", "AlarmDays", int16_t{7}, kOk},
    {E, "buseexpr", "1", "UseExpr", true, kOk},
    {E, "sqryjoin", "' left join b on a.x=b.x'", "QryJoin", " left join b on a.x=b.x", kOk},
    {E, "SubjectCode", "'1001'", "SubjectCode", "1001", kOk},
    {E, "bCheckOver", "1", "CheckOver", true, kOk},
    {E, "sName", "NULL", "", {}, kNull},
    {E, "sCaption", "NULL", "", {}, kNull},
    {E, "ibitype", "NULL", "", {}, kNull},
    {E, "sOIDSourceField", "NULL", "", {}, kNull},
    {E, "sSourceTable", "NULL", "", {}, kNull},
    {E, "sParentField", "NULL", "ParentField", "", kOk},
    {E, "sTaskID", "NULL", "TaskID", "", kOk},
    {E, "sHelpContextID", "NULL", "HelpContextID", "", kOk},
    {E, "sDescription", "NULL", "Description", "", kOk},
    {E, "iSheet", "NULL", "Sheet", 0, kOk},
    {E, "iRows", "NULL", "Rows", 0, kOk},
    {E, "iCols", "NULL", "Cols", 0, kOk},
    {E, "iIsUsed", "NULL", "IsUsed", false, kOk},
    {E, "sPzSign", "NULL", "PzSign", "", kOk},
    {E, "iVchType", "NULL", "VchType", int16_t{0}, kOk},
    {E, "iderivebitype", "NULL", "DeriveBIType", int16_t{0}, kOk},
    {E, "iWidth", "NULL", "Width", 0.0, kOk},
    {E, "iHeight", "NULL", "Height", 0.0, kOk},
    {E, "bIsAutoAlarm", "NULL", "IsAutoAlarm", false, kOk},
    {E, "ialarmdays", "NULL", "AlarmDays", int16_t{0}, kOk},
    {E, "buseexpr", "NULL", "UseExpr", false, kOk},
    {E, "sqryjoin", "NULL", "QryJoin", "", kOk},
    {E, "SubjectCode", "NULL", "SubjectCode", "", kOk},
    {E, "bCheckOver", "NULL", "CheckOver", false, kOk},
    {E, "iVchType", "32767", "VchType", int16_t{32767}, kOk},
    {E, "iVchType", "32768", "", {}, kOverflow},
    {E, "iderivebitype", "-32768", "DeriveBIType", int16_t{-32768}, kOk},
    {E, "iderivebitype", "-32769", "", {}, kOverflow},
    {E, "ialarmdays", "99999", "", {}, kOverflow},
    {F, "iID", "8001", "ID", 8001, kOk},
    {F, "sName", "'amount'", "Name", "amount", kOk},
    {F, "sCaption", "'金额'", "Caption", "金额", kOk},
    {F, "iFieldOption", "3", "FieldOption", 3, kOk},
    {F, "sHelpContextID", "'h7'", "HelpContextID", "h7", kOk},
    {F, "bPersistent", "0", "Persistent", false, kOk},
    {F, "iReferenceType", "4", "ReferenceType", uint8_t{4}, kOk},
    {F, "iRefFldSqc", "5", "RefFldSqc", 5, kOk},
    {F, "iQryFldSqc", "6", "QryFldSqc", 6, kOk},
    {F, "bIsUsed", "0", "IsUsed", false, kOk},
    {F, "sTaskID", "'t9'", "TaskID", "t9", kOk},
    {F, "iEditProp", "2", "EditProp", 2, kOk},
    {F, "iDataType", "5", "DataType", 5, kOk},
    {F, "iLength", "255", "Length", uint8_t{255}, kOk},
    {F, "iDecimals", "2", "Decimals", uint8_t{2}, kOk},
    {F, "bAllowNull", "0", "AllowNull", false, kOk},
    {F, "sDefaultValue", "'0.00'", "DefaultValue", "0.00", kOk},
    {F, "sSourceField", "'a.amount'", "SourceField", "a.amount", kOk},
    {F, "iRow", "3", "Row", 3, kOk},
    {F, "iStartCol", "1", "StartCol", 1, kOk},
    {F, "iEndCol", "4", "EndCol", 4, kOk},
    {F, "iInputCol", "2", "InputCol", 2, kOk},
    {F, "dblleft", "10.5", "Left", 10.5, kOk},
    {F, "dblwidth", "80", "Width", 80.0, kOk},
    {F, "dblInputLeft", "95.25", "InputLeft", 95.25, kOk},
    {F, "dblInputWidth", "120", "InputWidth", 120.0, kOk},
    {F, "dbltop", "33.5", "Top", 33.5, kOk},
    {F, "dblHeight", "18", "Height", 18.0, kOk},
    {F, "dblMin", "-1.5", "Min", -1.5, kOk},
    {F, "dblMax", "1000000000", "Max", 1e9, kOk},
    {F, "sexpr", "'isnull(@,0)'", "Expr", "isnull(@,0)", kOk},
    {F, "sjoinfield", "'j.amount'", "JoinField", "j.amount", kOk},
    {F, "bNeedCheck", "1", "NeedCheck", true, kOk},
    {F, "sName", "NULL", "", {}, kNull},
    {F, "sCaption", "NULL", "", {}, kNull},
    {F, "iFieldOption", "NULL", "", {}, kNull},
    {F, "sHelpContextID", "NULL", "HelpContextID", "0", kOk},
    {F, "bPersistent", "NULL", "", {}, kNull},
    {F, "iReferenceType", "NULL", "ReferenceType", uint8_t{0}, kOk},
    {F, "iRefFldSqc", "NULL", "RefFldSqc", 0, kOk},
    {F, "iQryFldSqc", "NULL", "QryFldSqc", 0, kOk},
    {F, "bIsUsed", "NULL", "", {}, kNull},
    {F, "sTaskID", "NULL", "TaskID", "0", kOk},
    {F, "iEditProp", "NULL", "", {}, kNull},
    {F, "iDataType", "NULL", "", {}, kNull},
    {F, "iLength", "NULL", "", {}, kNull},
    {F, "iDecimals", "NULL", "Decimals", uint8_t{0}, kOk},
    {F, "bAllowNull", "NULL", "", {}, kNull},
    {F, "sDefaultValue", "NULL", "DefaultValue", Variant::Null(), kOk},
    {F, "sSourceField", "NULL", "SourceField", "", kOk},
    {F, "iRow", "NULL", "Row", 0, kOk},
    {F, "iStartCol", "NULL", "StartCol", 0, kOk},
    {F, "iEndCol", "NULL", "EndCol", 0, kOk},
    {F, "iInputCol", "NULL", "InputCol", 0, kOk},
    {F, "dblleft", "NULL", "Left", 0.0, kOk},
    {F, "dblwidth", "NULL", "Width", 0.0, kOk},
    {F, "dblInputLeft", "NULL", "InputLeft", 0.0, kOk},
    {F, "dblInputWidth", "NULL", "InputWidth", 0.0, kOk},
    {F, "dbltop", "NULL", "Top", 0.0, kOk},
    {F, "dblHeight", "NULL", "Height", 0.0, kOk},
    {F, "dblMin", "NULL", "Min", Variant::Null(), kOk},
    {F, "dblMax", "NULL", "Max", Variant::Null(), kOk},
    {F, "sexpr", "NULL", "Expr", "", kOk},
    {F, "sjoinfield", "NULL", "JoinField", "", kOk},
    {F, "bNeedCheck", "NULL", "NeedCheck", false, kOk},
    {F, "iLength", "256", "", {}, kOverflow},
    {F, "iLength", "-1", "", {}, kOverflow},
    {F, "iDecimals", "256", "", {}, kOverflow},
    {F, "iReferenceType", "-1", "", {}, kOverflow},
};
// clang-format on

TEST_P(LoadEOMetaDataTest, ColumnByReadMode) {
  con_->BeginTrans();  // one commit for all the rows
  int32_t id = 100;
  for (const ColumnCase& c : kColumnCases) {
    ++id;
    Entity({.id = id, .name = "e", .source_table = "t"});
    Field({.id = id, .entity_id = id, .name = "f", .source_field = "f"});
    con_->Execute(std::string("update ") + (c.field_table ? "FD_Fields" : "FD_Entities") + " set " +
                  c.column + " = " + c.value + " where iID = " + std::to_string(id));
  }
  con_->CommitTrans();
  id = 100;
  for (const ColumnCase& c : kColumnCases) {
    ++id;
    std::string what = std::string(c.column) + " = " + c.value;
    std::shared_ptr<EntityObject> eo;
    HRESULT error = kOk;
    try {
      eo = Load(id, false, 1);
    } catch (const ComError& e) {
      error = e.hr();
    }
    EXPECT_EQ(error, c.error) << what;
    if (!eo || c.error != kOk) continue;
    if (eo->Fields()->Count() != 1) {
      ADD_FAILURE() << what << ": " << eo->Fields()->Count() << " fields";
      continue;
    }
    Dispatchable& holder = c.field_table ? static_cast<Dispatchable&>(*eo->Fields()->Item(1))
                                         : static_cast<Dispatchable&>(*eo);
    EXPECT_EQ(holder.Get(c.member).Describe(), c.expected.Describe()) << what;
  }
}

TEST_P(LoadEOMetaDataTest, FieldsInLayoutOrderAndFilteredByUse) {
  Entity({.id = 51, .name = "receipt", .source_table = "t"});
  struct {
    int32_t id, row, input_col, is_used;
    const char* name;
  } rows[] = {{1, 2, 1, 1, "r2c1"},   {2, 1, 2, 1, "r1c2"},  {3, 1, 1, 1, "r1c1b"},
              {4, 1, 1, 0, "unused"}, {5, 0, 9, 2, "used2"}, {0, 1, 1, 1, "r1c1a"}};
  for (auto& r : rows)
    Field({.id = r.id,
           .entity_id = 51,
           .name = r.name,
           .is_used = r.is_used,
           .row = r.row,
           .input_col = r.input_col});
  Field({.id = 9, .entity_id = 52, .name = "other"});
  EXPECT_EQ(Names(*Load(51)), (std::vector<std::string>{"r1c1a", "r1c1b", "r1c2", "r2c1"}));
  auto all = Load(51, false, 1);
  EXPECT_EQ(Names(*all),
            (std::vector<std::string>{"used2", "r1c1a", "r1c1b", "unused", "r1c2", "r2c1"}));
  EXPECT_FALSE(all->Fields()->Item("unused")->IsUsed());
  EXPECT_TRUE(all->Fields()->Item("used2")->IsUsed());
}

TEST_P(LoadEOMetaDataTest, ChildChainOfThreeLevels) {
  ThreeLevels();
  EntityWithFields(60, 0, {});
  struct Row {
    bool only_eo;
    bool get_child;
    std::vector<int32_t> chain;  // the IDs down the ChildEO links
    std::vector<size_t> counts;  // fields per level
  } rows[] = {
      {false, true, {51, 52, 53}, {2, 2, 1}},
      {false, false, {51}, {2}},
      {true, true, {51}, {0}},
  };
  for (const Row& r : rows) {
    std::vector<int32_t> chain;
    std::vector<size_t> counts;
    for (auto eo = Load(51, r.only_eo, 0, r.get_child); eo; eo = eo->ChildEOs()->ChildEO()) {
      chain.push_back(eo->ID());
      counts.push_back(eo->Fields()->Items().size());
      EXPECT_EQ(eo->EditState(), 0);
    }
    EXPECT_EQ(chain, r.chain);
    EXPECT_EQ(counts, r.counts);
  }
  EXPECT_EQ(Load(60)->Fields()->Count(), 0);
  EXPECT_EQ(Names(*Load(51)->ChildEOs()->ChildEO()->ChildEOs()->ChildEO()),
            std::vector<std::string>{"detail"});
}

TEST_P(LoadEOMetaDataTest, OnlyTheFirstOfTwoChildren) {
  EntityWithFields(51, 0, {"oid"});
  EntityWithFields(52, 51, {"a"});
  EntityWithFields(54, 51, {"b"});
  auto child = Load(51)->ChildEOs()->ChildEO();
  ASSERT_TRUE(child);
  EXPECT_TRUE(child->ID() == 52 || child->ID() == 54) << child->ID();
}

TEST_P(LoadEOMetaDataTest, LoopsStopWithAnError) {
  ThreeLevels();
  EntityWithFields(61, 62, {"a"});
  EntityWithFields(62, 61, {"b"});
  EntityWithFields(70, 70, {"c"});
  struct Row {
    int32_t id;
    const char* path;
  } rows[] = {{61, "61 -> 62 -> 61"}, {62, "62 -> 61 -> 62"}, {70, "70 -> 70"}};
  for (const Row& r : rows) {
    std::string text;
    EXPECT_EQ(LoadError(r.id, 0, &text), E_FAIL);
    EXPECT_NE(text.find(r.path), std::string::npos) << text;
  }
  // The guard is gone with the failed loads: the same thread loads on.
  EXPECT_EQ(Load(51)->ChildEOs()->ChildEO()->ID(), 52);
  EXPECT_EQ(Load(61, true)->ID(), 61);
}

// Every level gives its connection back, whether the load ends well or not.
TEST_P(LoadEOMetaDataTest, ConnectionsGoBackOnEveryPath) {
  ThreeLevels();
  EntityWithFields(61, 62, {"a"});
  EntityWithFields(62, 61, {"b"});
  auto pool = ApartmentConnectionManager();
  Load(51);  // the pool now holds the three connections of this data source
  const size_t idle = pool->IdleCount();
  Exec("update FD_Fields set iLength = 300 where iEntityID = 53");
  EXPECT_EQ(LoadError(51), kOverflow);
  EXPECT_EQ(pool->IdleCount(), idle);
  EXPECT_EQ(LoadError(61), E_FAIL);
  EXPECT_EQ(pool->IdleCount(), idle);
  EXPECT_EQ(LoadError(99), kNoCurrentRecord);
  EXPECT_EQ(pool->IdleCount(), idle);
}

TEST_P(LoadEOMetaDataTest, LateBoundWithDefaults) {
  ThreeLevels();
  Field({.id = 5199, .entity_id = 51, .name = "unused", .is_used = 0, .row = 9});
  ObjectRef eo = dm_->Call("LoadEOMetaData", {Variant(dsn()), Variant(int32_t{51})}).ToObject();
  auto entity = As<EntityObject>(eo);
  ASSERT_TRUE(entity);
  EXPECT_EQ(Names(*entity), (std::vector<std::string>{"oid", "code"}));
  EXPECT_EQ(entity->ChildEOs()->ChildEO()->ChildEOs()->ChildEO()->ID(), 53);
}

Q6_INSTANTIATE_ENGINE_TEST(LoadEOMetaDataTest);

}  // namespace
}  // namespace q6
