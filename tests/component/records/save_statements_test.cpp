// INSERT and UPDATE text of Save, built from entities in memory: the worked
// example to the letter, each DataType's form, Null and DefaultValue,
// Changed, and the failures that come before any statement.
#include "component/records/save_statements.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "component/records/write_test_util.h"
#include "platform/trace/trace.h"

namespace q6 {
namespace {

using write_test::FieldDef;
using write_test::HrOf;
using write_test::MakeEntity;

// The example entity: table T, key field e (column k, not persistent) and
// a (1, "x"), b (3, 12), c (6, True), d (1, Null); only b Changed.
std::shared_ptr<EntityObject> Example(int32_t state) {
  return MakeEntity("T", "e",
                    {{"e", "k", 1, Variant("123"), false},
                     {"a", "a", 1, Variant("x")},
                     {"b", "b", 3, Variant(int32_t{12}), true, true},
                     {"c", "c", 6, Variant(true)},
                     {"d", "d", 1, Variant::Null()}},
                    "123", state);
}

TEST(SaveStatementsTest, WorkedExampleInsert) {
  EXPECT_EQ(InsertStatement(*Example(2)), "Insert Into T (a, b, c, d) Values ('x', 12, 1, NULL);");
}

TEST(SaveStatementsTest, WorkedExampleUpdate) {
  EXPECT_EQ(UpdateStatement(*Example(3)), "Update T Set b = 12 Where k = '123'");
}

// One persistent, Changed field "f" (column col) of each DataType and value.
struct FormRow {
  const char* label;
  int32_t type;
  Variant value;
  Variant default_value;
  const char* insert;  // nullptr: the field is not in the insert
  const char* update;  // nullptr: the field is not in the update
};

std::shared_ptr<EntityObject> OneField(const FormRow& r) {
  // A second, always-written field keeps the lists from being empty.
  return MakeEntity("T", "id",
                    {{"id", "k", 1, Variant("1"), false},
                     {"f", "col", r.type, r.value, true, true, r.default_value},
                     {"z", "z", 3, Variant(int32_t{0}), true, true}},
                    "1", 2);
}

TEST(SaveStatementsTest, EachDataTypeAndValue) {
  const FormRow rows[] = {
      {"type 1 text", 1, Variant("x"), Variant(), "'x'", "col = 'x'"},
      {"type 2 text", 2, Variant("y"), Variant(), "'y'", "col = 'y'"},
      {"type 7 date", 7, Variant(DateValue{45352.25}), Variant(), "'2024-03-01 06:00:00'",
       "col = '2024-03-01 06:00:00'"},
      {"type 9 number quoted", 9, Variant(1.25), Variant(), "'1.25'", "col = '1.25'"},
      {"type 3 Long", 3, Variant(int32_t{-7}), Variant(), "-7", "col = -7"},
      {"type 4 Double", 4, Variant(2.5), Variant(), "2.5", "col = 2.5"},
      {"type 5 Decimal", 5, Variant(Decimal::Parse("1234.5678")), Variant(), "1234.5678",
       "col = 1234.5678"},
      {"type 6 True", 6, Variant(true), Variant(), "1", "col = 1"},
      {"type 6 False", 6, Variant(false), Variant(), "0", "col = 0"},
      {"type 6 number 1", 6, Variant(int32_t{1}), Variant(), "1", "col = 1"},
      {"type 6 number 0", 6, Variant(int32_t{0}), Variant(), "0", "col = 0"},
      {"type 6 number 200", 6, Variant(int32_t{200}), Variant(), "1", "col = 1"},
      {"type 8 value", 8, Variant("x"), Variant(), nullptr, nullptr},
      {"type 0 value", 0, Variant("x"), Variant(), nullptr, nullptr},
      {"type 10 value", 10, Variant("x"), Variant(), nullptr, nullptr},
      {"type -1 value", -1, Variant("x"), Variant(), nullptr, nullptr},
      {"type 1 Null, text default", 1, Variant::Null(), Variant("dflt"), "NULL", "col = NULL"},
      {"type 3 Null", 3, Variant::Null(), Variant(int32_t{5}), "NULL", "col = NULL"},
      {"type 6 Null, default False", 6, Variant::Null(), Variant(false), "NULL", "col = 0"},
      {"type 6 Null, default True", 6, Variant::Null(), Variant(true), "NULL", "col = 1"},
      {"type 6 Null, no default", 6, Variant::Null(), Variant(), "NULL", "col = 0"},
      {"type 8 Null", 8, Variant::Null(), Variant(), "NULL", nullptr},
      {"type 0 Null", 0, Variant::Null(), Variant(), "NULL", nullptr},
  };
  for (const FormRow& r : rows) {
    const auto eo = OneField(r);
    const std::string insert =
        r.insert ? std::string("Insert Into T (col, z) Values (") + r.insert + ", 0);"
                 : std::string("Insert Into T (z) Values (0);");
    EXPECT_EQ(InsertStatement(*eo), insert) << r.label;
    const std::string update =
        r.update ? std::string("Update T Set ") + r.update + ", z = 0 Where k = '1'"
                 : std::string("Update T Set z = 0 Where k = '1'");
    EXPECT_EQ(UpdateStatement(*eo), update) << r.label;
  }
}

TEST(SaveStatementsTest, EmptyValueCountsAsNull) {
  const auto eo = MakeEntity(
      "T", "id", {{"id", "k", 1, Variant("1"), false}, {"f", "col", 1, Variant()}}, "1", 2);
  eo->Fields()->Item("f")->SetChanged(Variant(true));
  EXPECT_EQ(InsertStatement(*eo), "Insert Into T (col) Values (NULL);");
  EXPECT_EQ(UpdateStatement(*eo), "Update T Set col = NULL Where k = '1'");
}

TEST(SaveStatementsTest, UpdateWritesOnlyPersistentChangedFieldsInOrder) {
  const auto eo = MakeEntity("T", "id",
                             {{"id", "k", 1, Variant("9"), true, false},
                              {"p", "p", 1, Variant("p1"), true, true},
                              {"q", "q", 1, Variant("q1"), true, false},
                              {"r", "r", 1, Variant("r1"), false, true},
                              {"s", "s", 3, Variant(int32_t{4}), true, true}},
                             "9", 3);
  EXPECT_EQ(UpdateStatement(*eo), "Update T Set p = 'p1', s = 4 Where k = '9'");
  // The insert ignores Changed and takes every persistent field, key included.
  EXPECT_EQ(InsertStatement(*eo), "Insert Into T (k, p, q, s) Values ('9', 'p1', 'q1', 4);");
}

TEST(SaveStatementsTest, QuotesInValuesAndOidAreDoubled) {
  const auto eo = MakeEntity("T", "id",
                             {{"id", "k", 1, Variant("o'1"), false},
                              {"a", "a", 1, Variant("it's; -- /* x */"), true, true}},
                             "o'1", 3);
  EXPECT_EQ(InsertStatement(*eo), "Insert Into T (a) Values ('it''s; -- /* x */');");
  EXPECT_EQ(UpdateStatement(*eo), "Update T Set a = 'it''s; -- /* x */' Where k = 'o''1'");
}

TEST(SaveStatementsTest, UpdateNamesTheRowByOidNotByKeyValue) {
  const auto eo = MakeEntity(
      "T", "id", {{"id", "k", 1, Variant("old"), false}, {"a", "a", 1, Variant("x"), true, true}},
      "new", 3);
  EXPECT_EQ(UpdateStatement(*eo), "Update T Set a = 'x' Where k = 'new'");
}

TEST(SaveStatementsTest, FailuresBeforeAnyText) {
  struct Row {
    const char* label;
    std::shared_ptr<EntityObject> eo;
    bool insert;
    HRESULT hr;
  } rows[] = {
      {"insert without persistent field",
       MakeEntity("T", "id", {{"id", "k", 1, Variant("1"), false}}, "1", 2), true,
       VbHr(kVbInvalidProcedureCall)},
      {"insert with only left-out types",
       MakeEntity("T", "id", {{"id", "k", 8, Variant("1")}}, "1", 2), true,
       VbHr(kVbInvalidProcedureCall)},
      {"update without Changed field",
       MakeEntity("T", "id", {{"id", "k", 1, Variant("1")}}, "1", 3), false,
       VbHr(kVbInvalidProcedureCall)},
      {"update with only a left-out type Changed",
       MakeEntity("T", "id",
                  {{"id", "k", 1, Variant("1")}, {"f", "f", 8, Variant("v"), true, true}}, "1", 3),
       false, VbHr(kVbInvalidProcedureCall)},
      {"update without key field",
       MakeEntity("T", "nokey", {{"a", "a", 1, Variant("1"), true, true}}, "1", 3), false,
       VbHr(kVbInvalidProcedureCall)},
      {"Boolean Null with Null default",
       MakeEntity("T", "id",
                  {{"id", "k", 1}, {"b", "b", 6, Variant::Null(), true, true, Variant::Null()}},
                  "1", 3),
       false, VbHr(kVbInvalidUseOfNull)},
      {"Boolean out of range",
       MakeEntity("T", "id", {{"b", "b", 6, Variant(int32_t{300})}}, "1", 2), true,
       VbHr(kVbOverflow)},
      {"Boolean of text", MakeEntity("T", "id", {{"b", "b", 6, Variant("yes")}}, "1", 2), true,
       VbHr(kVbTypeMismatch)},
      {"bare text that is no number",
       MakeEntity("T", "id", {{"n", "n", 3, Variant("1); drop table T; --")}}, "1", 2), true,
       VbHr(kVbTypeMismatch)},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(HrOf([&] { r.insert ? InsertStatement(*r.eo) : UpdateStatement(*r.eo); }), r.hr)
        << r.label;
  }
}

// The refusal names neither the record nor its cause: the trace does.
TEST(SaveStatementsTest, RefusedUpdateLeavesATraceNote) {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("q6save-" + std::to_string(::getpid()) + ".jsonl"))
          .string();
  std::filesystem::remove(path);
  SetTraceFile(path);
  const auto eo = MakeEntity("T", "id", {{"id", "k", 1, Variant("1")}}, "1", 3);
  EXPECT_EQ(HrOf([&] { UpdateStatement(*eo); }), VbHr(kVbInvalidProcedureCall));
  SetTraceFile("");
  std::stringstream trace;
  trace << std::ifstream(path).rdbuf();
  std::filesystem::remove(path);
  EXPECT_NE(trace.str().find("(T) refused with error 5: no Persistent field is Changed"),
            std::string::npos)
      << trace.str();
}

}  // namespace
}  // namespace q6
