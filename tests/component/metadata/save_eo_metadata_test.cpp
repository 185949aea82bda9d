// SaveEOMetaData, what it writes: the entity row on the insert and the
// update path column by column, every rule that turns a member into Null,
// the field rows, OnlyEO, and a round trip through LoadEOMetaData. Rows are
// read back with plain SQL on a connection of the test's own.
#include <functional>

#include "save_support.h"
#include "support/metadata_fixture.h"

namespace q6::test {
namespace {

struct Cell {
  const char* column;
  Variant expected;
};

// The row FullEntity(id, caption) inserts.
std::vector<Cell> InsertedEntity(int32_t id, const std::string& caption) {
  return {
      {"iID", id},
      {"sName", "ent" + std::to_string(id)},
      {"sCaption", caption},
      {"ibitype", id},
      {"sMaxOID", std::to_string(id) + "0000000000000"},
      {"sOIDSourceField", "oid"},
      {"sSourceTable", "fd_t" + std::to_string(id)},
      {"sParentField", "parent_oid"},
      {"sTaskID", "T1"},
      {"sHelpContextID", "H1"},
      {"sDescription", "描述"},
      {"iSheet", int32_t{2}},
      {"iRows", int32_t{10}},
      {"iCols", int32_t{6}},
      {"iIsUsed", int32_t{1}},
      {"sPzSign", "记"},
      {"iVchType", int32_t{3}},
      {"iderivebitype", int32_t{7}},
      {"iWidth", 800.5},
      {"iHeight", 600.25},
      {"bIsAutoAlarm", int32_t{1}},
      {"ialarmdays", int32_t{5}},
      {"sqryjoin", "left join x on x.a=a.b"},
      {"SubjectCode", "1001"},
      {"buseexpr", int32_t{1}},
      {"bCheckOver", int32_t{1}},
      {"iparentid", Variant::Null()},
  };
}

void ExpectRow(Recordset& rs, const std::vector<Cell>& cells, const std::string& what) {
  ASSERT_FALSE(rs.EOF()) << what << ": no row";
  for (const Cell& c : cells) ExpectCell(rs.Field(c.column), c.expected, what + " " + c.column);
}

// A stored entity whose every column differs from what FullEntity holds.
EntityRow StoredEntity(int32_t id) {
  return {.id = id,
          .name = "old",
          .caption = "旧" + std::to_string(id),
          .oid_source_field = "old_oid",
          .source_table = "old_table",
          .parent_field = "old_parent",
          .task_id = "OT",
          .help_context_id = "OH",
          .description = "old",
          .sheet = 9,
          .rows = 9,
          .cols = 9,
          .is_used = 0,
          .pz_sign = "旧",
          .vch_type = 9,
          .derive_bi_type = 8,
          .width = 1,
          .height = 1,
          .is_auto_alarm = 0,
          .alarm_days = 1,
          .use_expr = 0,
          .qry_join = "old",
          .subject_code = "9999",
          .check_over = 0,
          .parent_id = 50,
          .max_oid = std::to_string(id) + "0000000000042"};
}

class SaveRowsTest : public SaveTest {};

TEST_P(SaveRowsTest, NewEntityInsertsEveryColumn) {
  auto eo = FullEntity(51, "收款单");
  ASSERT_TRUE(Save(eo));
  ExpectRow(*EntityRow(51), InsertedEntity(51, "收款单"), "inserted");
  EXPECT_EQ(eo->EditState(), 2) << "the object is only read";
  EXPECT_EQ(Count("select count(*) from FD_Entities"), 1);
}

TEST_P(SaveRowsTest, UpdateRewritesBothPathColumnsOnly) {
  // Any EditState but 2 takes the update path, 0 (after a load) included.
  for (int32_t state : {0, 1, 4}) {
    SCOPED_TRACE("EditState " + std::to_string(state));
    const int32_t id = 60 + state;
    auto con = OpenConnection();
    InsertEntity(*con, StoredEntity(id));
    auto eo = FullEntity(id, "新" + std::to_string(id));
    eo->SetEditState(Variant(state));
    ASSERT_TRUE(Save(eo));
    std::vector<Cell> expected = InsertedEntity(id, "新" + std::to_string(id));
    for (Cell& c : expected) {
      std::string col = c.column;
      if (col == "sMaxOID") c.expected = Variant(std::to_string(id) + "0000000000042");
      if (col == "iVchType") c.expected = Variant(int32_t{9});
      if (col == "iderivebitype") c.expected = Variant(int32_t{8});
      if (col == "iparentid") c.expected = Variant(int32_t{50});
    }
    ExpectRow(*EntityRow(id), expected, "updated");
    EXPECT_EQ(eo->EditState(), state);
  }
}

struct EntityRule {
  const char* name;
  std::function<void(EntityObject&)> change;
  const char* column;
  Variant expected;
};

class SaveEntityRulesTest : public SaveTest {};

TEST_P(SaveEntityRulesTest, EmptyAndZeroMembersOnBothPaths) {
  const std::vector<EntityRule> rules = {
      {"empty parent field", [](EntityObject& e) { e.SetParentField(Variant("")); }, "sParentField",
       Variant::Null()},
      {"empty task", [](EntityObject& e) { e.SetTaskID(Variant("")); }, "sTaskID", Variant::Null()},
      {"empty help", [](EntityObject& e) { e.SetHelpContextID(Variant("")); }, "sHelpContextID",
       Variant::Null()},
      {"empty description", [](EntityObject& e) { e.SetDescription(Variant("")); }, "sDescription",
       Variant::Null()},
      {"empty voucher sign", [](EntityObject& e) { e.SetPzSign(Variant("")); }, "sPzSign",
       Variant::Null()},
      {"empty join", [](EntityObject& e) { e.SetQryJoin(Variant("")); }, "sqryjoin",
       Variant::Null()},
      {"empty subject", [](EntityObject& e) { e.SetSubjectCode(Variant("")); }, "SubjectCode",
       Variant::Null()},
      {"zero sheet", [](EntityObject& e) { e.SetSheet(Variant(int32_t{0})); }, "iSheet",
       Variant::Null()},
      {"zero rows", [](EntityObject& e) { e.SetRows(Variant(int32_t{0})); }, "iRows",
       Variant::Null()},
      {"zero cols", [](EntityObject& e) { e.SetCols(Variant(int32_t{0})); }, "iCols",
       Variant::Null()},
      // Written as they are, empty or zero.
      {"empty name", [](EntityObject& e) { e.SetName(Variant("")); }, "sName", Variant("")},
      {"empty key field", [](EntityObject& e) { e.SetOIDSourceField(Variant("")); },
       "sOIDSourceField", Variant("")},
      {"empty table", [](EntityObject& e) { e.SetSourceTable(Variant("")); }, "sSourceTable",
       Variant("")},
      {"zero width", [](EntityObject& e) { e.SetWidth(Variant(0.0)); }, "iWidth", Variant(0.0)},
      {"zero alarm days", [](EntityObject& e) { e.SetAlarmDays(Variant(int32_t{0})); },
       "ialarmdays", Variant(int32_t{0})},
      // Booleans arrive as 1/0 whichever way they are handed over.
      {"not used", [](EntityObject& e) { e.SetIsUsed(Variant(false)); }, "iIsUsed",
       Variant(int32_t{0})},
      {"no alarm", [](EntityObject& e) { e.SetIsAutoAlarm(Variant(false)); }, "bIsAutoAlarm",
       Variant(int32_t{0})},
      {"no expressions", [](EntityObject& e) { e.SetUseExpr(Variant(false)); }, "buseexpr",
       Variant(int32_t{0})},
      {"no check-over", [](EntityObject& e) { e.SetCheckOver(Variant(false)); }, "bCheckOver",
       Variant(int32_t{0})},
  };
  auto con = OpenConnection();
  for (size_t i = 0; i < rules.size(); ++i) {
    const EntityRule& r = rules[i];
    for (bool update : {false, true}) {
      SCOPED_TRACE(std::string(r.name) + (update ? " (update)" : " (insert)"));
      const int32_t id = static_cast<int32_t>(100 + 2 * i + (update ? 1 : 0));
      if (update) InsertEntity(*con, StoredEntity(id));
      auto eo = FullEntity(id, "c" + std::to_string(id));
      if (update) eo->SetEditState(Variant(int32_t{0}));
      r.change(*eo);
      ASSERT_TRUE(Save(eo));
      auto rs = EntityRow(id);
      ASSERT_FALSE(rs->EOF());
      ExpectCell(rs->Field(r.column), r.expected, r.column);
    }
  }
}

struct FieldRule {
  const char* name;
  std::function<void(EntityField&)> change;
  const char* column;
  Variant expected;
};

class SaveFieldRulesTest : public SaveTest {};

TEST_P(SaveFieldRulesTest, FieldRowColumnByColumn) {
  auto eo = FullEntity(51, "收款单");
  eo->Fields()->Add(FullField(5101, 51, "amount"));
  ASSERT_TRUE(Save(eo));
  const std::vector<Cell> expected = {
      {"iID", int32_t{5101}},
      {"sName", "amount"},
      {"sCaption", "字段amount"},
      {"iEntityID", int32_t{51}},
      {"iFieldOption", int32_t{3}},
      {"sHelpContextID", "FH"},
      {"bPersistent", int32_t{1}},
      {"iReferenceType", int32_t{2}},
      {"iRefFldSqc", int32_t{4}},
      {"iQryFldSqc", int32_t{5}},
      {"bIsUsed", int32_t{1}},
      {"sTaskID", "FT"},
      {"iEditProp", int32_t{1}},
      {"iDataType", int32_t{6}},
      {"iLength", int32_t{20}},
      {"iDecimals", int32_t{2}},
      {"bAllowNull", int32_t{1}},
      {"sDefaultValue", "dv"},
      {"sSourceField", "a.amount"},
      {"iRow", int32_t{3}},
      {"iStartCol", int32_t{1}},
      {"iEndCol", int32_t{4}},
      {"iInputCol", int32_t{2}},
      {"dblleft", 10.5},
      {"dblwidth", 80.0},
      {"dblInputLeft", 95.0},
      {"dblInputWidth", 120.0},
      {"dbltop", 240.5},
      {"dblHeight", 18.0},
      {"dblMin", 1.5},
      {"dblMax", 99.0},
      {"sexpr", "isnull(@,0)"},
      {"sjoinfield", "b.amount"},
      {"bNeedCheck", int32_t{1}},
  };
  ExpectRow(*FieldRow(5101), expected, "field");
}

TEST_P(SaveFieldRulesTest, EmptyZeroAndUnusedMembers) {
  auto unused = [](EntityField& f) { f.SetIsUsed(Variant(false)); };
  const std::vector<FieldRule> rules = {
      {"empty help", [](EntityField& f) { f.SetHelpContextID(Variant("")); }, "sHelpContextID",
       Variant::Null()},
      {"empty task", [](EntityField& f) { f.SetTaskID(Variant("")); }, "sTaskID", Variant::Null()},
      {"empty source", [](EntityField& f) { f.SetSourceField(Variant("")); }, "sSourceField",
       Variant::Null()},
      {"empty expr", [](EntityField& f) { f.SetExpr(Variant("")); }, "sexpr", Variant::Null()},
      {"empty join", [](EntityField& f) { f.SetJoinField(Variant("")); }, "sjoinfield",
       Variant::Null()},
      {"zero decimals", [](EntityField& f) { f.SetDecimals(Variant(int32_t{0})); }, "iDecimals",
       Variant::Null()},
      {"zero row", [](EntityField& f) { f.SetRow(Variant(int32_t{0})); }, "iRow", Variant::Null()},
      {"zero start", [](EntityField& f) { f.SetStartCol(Variant(int32_t{0})); }, "iStartCol",
       Variant::Null()},
      {"zero end", [](EntityField& f) { f.SetEndCol(Variant(int32_t{0})); }, "iEndCol",
       Variant::Null()},
      {"zero input col", [](EntityField& f) { f.SetInputCol(Variant(int32_t{0})); }, "iInputCol",
       Variant::Null()},
      {"zero left", [](EntityField& f) { f.SetLeft(Variant(0.0)); }, "dblleft", Variant::Null()},
      {"zero top", [](EntityField& f) { f.SetTop(Variant(0.0)); }, "dbltop", Variant::Null()},
      {"unused left", unused, "dblleft", Variant::Null()},
      {"unused width", unused, "dblwidth", Variant::Null()},
      {"unused input left", unused, "dblInputLeft", Variant::Null()},
      {"unused input width", unused, "dblInputWidth", Variant::Null()},
      {"unused top", unused, "dbltop", Variant::Null()},
      {"unused height", unused, "dblHeight", Variant::Null()},
      {"unused keeps its row", unused, "iRow", Variant(int32_t{3})},
      {"unused flag", unused, "bIsUsed", Variant(int32_t{0})},
      {"zero min", [](EntityField& f) { f.SetMin(Variant(0.0)); }, "dblMin", Variant(0.0)},
      {"zero max", [](EntityField& f) { f.SetMax(Variant(int32_t{0})); }, "dblMax", Variant(0.0)},
      {"null min", [](EntityField& f) { f.SetMin(Variant::Null()); }, "dblMin", Variant::Null()},
      {"empty min", [](EntityField& f) { f.SetMin(Variant()); }, "dblMin", Variant::Null()},
      {"empty text max", [](EntityField& f) { f.SetMax(Variant("")); }, "dblMax", Variant::Null()},
      {"empty text default", [](EntityField& f) { f.SetDefaultValue(Variant("")); },
       "sDefaultValue", Variant::Null()},
      {"empty default", [](EntityField& f) { f.SetDefaultValue(Variant()); }, "sDefaultValue",
       Variant::Null()},
      {"null default", [](EntityField& f) { f.SetDefaultValue(Variant::Null()); }, "sDefaultValue",
       Variant::Null()},
      {"zero default", [](EntityField& f) { f.SetDefaultValue(Variant(int32_t{0})); },
       "sDefaultValue", Variant("0")},
      {"blank default", [](EntityField& f) { f.SetDefaultValue(Variant(" ")); }, "sDefaultValue",
       Variant(" ")},
      {"empty name", [](EntityField& f) { f.SetName(Variant("")); }, "sName", Variant("")},
      {"empty caption", [](EntityField& f) { f.SetCaption(Variant("")); }, "sCaption", Variant("")},
      {"zero length", [](EntityField& f) { f.SetLength(Variant(int32_t{0})); }, "iLength",
       Variant(int32_t{0})},
      {"not persistent", [](EntityField& f) { f.SetPersistent(Variant(false)); }, "bPersistent",
       Variant(int32_t{0})},
      {"no nulls", [](EntityField& f) { f.SetAllowNull(Variant(false)); }, "bAllowNull",
       Variant(int32_t{0})},
      {"no check", [](EntityField& f) { f.SetNeedCheck(Variant(false)); }, "bNeedCheck",
       Variant(int32_t{0})},
  };
  // One entity, one field per rule: a single save covers them all.
  auto eo = FullEntity(51, "收款单");
  for (size_t i = 0; i < rules.size(); ++i) {
    auto f = FullField(static_cast<int32_t>(5100 + i), 51, "f" + std::to_string(i));
    rules[i].change(*f);
    eo->Fields()->Add(f);
  }
  ASSERT_TRUE(Save(eo));
  EXPECT_EQ(Count("select count(*) from FD_Fields"), static_cast<int32_t>(rules.size()));
  for (size_t i = 0; i < rules.size(); ++i) {
    SCOPED_TRACE(rules[i].name);
    auto rs = FieldRow(static_cast<int32_t>(5100 + i));
    ASSERT_FALSE(rs->EOF());
    ExpectCell(rs->Field(rules[i].column), rules[i].expected, rules[i].column);
  }
}

class SaveFieldSetTest : public SaveTest {};

TEST_P(SaveFieldSetTest, FieldRowsAreReplacedByTheEntityID) {
  auto con = OpenConnection();
  InsertEntity(*con, StoredEntity(51));
  InsertField(*con, {.id = 5101, .entity_id = 51, .name = "old1"});
  InsertField(*con, {.id = 5102, .entity_id = 51, .name = "old2"});
  InsertField(*con, {.id = 9901, .entity_id = 99, .name = "other"});
  auto eo = FullEntity(51, "收款单");
  eo->SetEditState(Variant(int32_t{0}));
  eo->Fields()->Add(FullField(5103, 51, "mine"));
  // Written under its own EntityID, while the deletion went by the entity's.
  eo->Fields()->Add(FullField(5104, 99, "foreign"));
  ASSERT_TRUE(Save(eo));
  EXPECT_EQ(Count("select count(*) from FD_Fields where iID in (5101, 5102)"), 0);
  EXPECT_EQ(Count("select iEntityID from FD_Fields where iID = 5103"), 51);
  EXPECT_EQ(Count("select iEntityID from FD_Fields where iID = 5104"), 99);
  EXPECT_EQ(Count("select count(*) from FD_Fields where iID = 9901"), 1);
}

TEST_P(SaveFieldSetTest, EmptyFieldsDeletesEveryFieldRow) {
  auto con = OpenConnection();
  InsertEntity(*con, StoredEntity(51));
  InsertField(*con, {.id = 5101, .entity_id = 51, .name = "a"});
  InsertField(*con, {.id = 5102, .entity_id = 51, .name = "b"});
  InsertField(*con, {.id = 5201, .entity_id = 52, .name = "c"});
  auto eo = FullEntity(51, "收款单");
  eo->SetEditState(Variant(int32_t{0}));
  ASSERT_TRUE(Save(eo));
  EXPECT_EQ(Count("select count(*) from FD_Fields where iEntityID = 51"), 0);
  EXPECT_EQ(Count("select count(*) from FD_Fields"), 1);
}

TEST_P(SaveFieldSetTest, OnlyEOWritesTheEntityRowAlone) {
  auto con = OpenConnection();
  InsertEntity(*con, StoredEntity(51));
  InsertEntity(*con, {.id = 52, .name = "child", .caption = "子旧", .parent_id = 51});
  InsertField(*con, {.id = 5101, .entity_id = 51, .name = "a"});
  auto eo = FullEntity(51, "收款单");
  eo->SetEditState(Variant(int32_t{0}));
  eo->Fields()->Add(FullField(5199, 51, "new"));
  auto child = FullEntity(52, "子新");
  child->SetEditState(Variant(int32_t{0}));
  eo->ChildEOs()->SetChildEO(child);
  ASSERT_TRUE(Save(eo, /*only_eo=*/true));
  EXPECT_EQ(EntityRow(51)->Field("sName").ToString(), "ent51");
  EXPECT_EQ(Count("select count(*) from FD_Fields where iID = 5101"), 1);
  EXPECT_EQ(Count("select count(*) from FD_Fields where iID = 5199"), 0);
  EXPECT_EQ(EntityRow(52)->Field("sCaption").ToString(), "子旧");
}

TEST_P(SaveFieldSetTest, SavingANewObjectTwiceClashesAndChangesNothing) {
  // The object still says new after the first save, so the second one takes
  // the insert path again and meets the first one's row.
  auto eo = FullEntity(51, "收款单");
  eo->Fields()->Add(FullField(5101, 51, "a"));
  ASSERT_TRUE(Save(eo));
  std::string before = Snapshot();
  eo->Fields()->Add(FullField(5102, 51, "b"));
  MessageBoxRecorder boxes;
  EXPECT_FALSE(Save(eo));
  EXPECT_EQ(Snapshot(), before);
  EXPECT_TRUE(boxes.shown().empty());
}

TEST_P(SaveFieldSetTest, RoundTripThroughLoad) {
  auto eo = FullEntity(51, "收款单");
  eo->Fields()->Add(FullField(5101, 51, "a"));
  auto b = FullField(5102, 51, "b");
  b->SetRow(Variant(int32_t{4}));
  eo->Fields()->Add(b);
  ASSERT_TRUE(Save(eo));

  Variant d(dsn());
  int32_t type = 51, all = 1;
  bool only_eo = false, child = true;
  auto loaded = As<EntityObject>(dm_->LoadEOMetaData(d, type, only_eo, all, child));
  ASSERT_TRUE(loaded);
  auto defs = EntityObject::MemberDefs();
  for (size_t i = 0; i < defs.size(); ++i)
    EXPECT_EQ(loaded->Member(static_cast<EntityMember>(i)).Describe(),
              eo->Member(static_cast<EntityMember>(i)).Describe())
        << defs[i].name;
  ASSERT_EQ(loaded->Fields()->Count(), 2);
  auto fdefs = EntityField::MemberDefs();
  for (const char* name : {"a", "b"}) {
    auto want = eo->Fields()->Item(std::string_view(name));
    auto got = loaded->Fields()->Item(std::string_view(name));
    for (size_t i = 0; i < fdefs.size(); ++i) {
      const Variant& w = want->Member(static_cast<FieldMember>(i));
      const Variant& g = got->Member(static_cast<FieldMember>(i));
      if (fdefs[i].type == VarType::Variant && w.IsNumeric())
        EXPECT_DOUBLE_EQ(g.ToDouble(), w.ToDouble()) << name << "." << fdefs[i].name;
      else
        EXPECT_EQ(g.Describe(), w.Describe()) << name << "." << fdefs[i].name;
    }
  }
}

Q6_INSTANTIATE_ENGINE_TEST(SaveRowsTest);
Q6_INSTANTIATE_ENGINE_TEST(SaveEntityRulesTest);
Q6_INSTANTIATE_ENGINE_TEST(SaveFieldRulesTest);
Q6_INSTANTIATE_ENGINE_TEST(SaveFieldSetTest);

}  // namespace
}  // namespace q6::test
