// DataManager.vFieldValue on both engines: the statement tail it hands to
// PublicService.GetFieldValue (golden text), one value or the rows, and the
// by-reference arguments it leaves behind.
#include <gtest/gtest.h>

#include "component/frame/data_manager.h"
#include "component/records/write_test_util.h"
#include "platform/adodb/recordset.h"
#include "support/statement_capture.h"
#include "support/test_db.h"

namespace q6 {
namespace {

using test::StatementCapture;
using write_test::HrOf;
using write_test::MakeEntity;
using Statements = std::vector<std::string>;

class FieldValueTest : public test::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped()) return;
    Exec("create table T (k varchar(40), a varchar(40), b integer)");
    Exec("insert into T values ('123', 'x', 5)");
    Exec("insert into T values ('124', 'y', 6)");
    Exec("insert into T values ('o''1', 'quoted', 7)");
    dsn_ = Variant(dsn());
  }

  // Table T, key field "id" on column k, current OID `oid`.
  static std::shared_ptr<EntityObject> Entity(const std::string& oid = "123") {
    return MakeEntity("T", "id", {{"id", "k", 1, Variant(oid)}}, oid, 1);
  }

  // vFieldValue with the arguments given; `name` and `error` are the
  // caller's variables.
  Variant Call(std::string& name, const std::shared_ptr<EntityObject>& eo,
               Variant where = Variant(""), Variant val = Variant::Missing()) {
    ObjectRef e = eo;
    return dm_.vFieldValue(dsn_, name, e, where, val, error_);
  }

  DataManager dm_;
  Variant dsn_;
  Variant error_ = Variant("left from before");
};

TEST_P(FieldValueTest, CurrentRecordByItsOid) {
  std::string name = "  a  ";
  StatementCapture cap;
  const Variant v = Call(name, Entity());
  EXPECT_EQ(cap.Sql(), Statements{"select a from T where k='123' "});
  EXPECT_EQ(v.ToString(), "x");
  EXPECT_EQ(name, "a");
  EXPECT_EQ(error_.ToString(), "");
}

TEST_P(FieldValueTest, ConditionIsPlacedUnchanged) {
  std::string name = "a";
  StatementCapture cap;
  EXPECT_EQ(Call(name, Entity(), Variant(" b = 6 ")).ToString(), "y");
  EXPECT_EQ(cap.Sql(), Statements{"select a from T where  b = 6 "});
}

TEST_P(FieldValueTest, BlankOrNullConditionReadsTheCurrentRecord) {
  for (const Variant& where : {Variant("   "), Variant(""), Variant::Null(), Variant()}) {
    std::string name = "b";
    StatementCapture cap;
    EXPECT_EQ(Call(name, Entity("124"), where).ToLong(), 6) << where.Describe();
    EXPECT_EQ(cap.Sql(), Statements{"select b from T where k='124' "});
  }
}

TEST_P(FieldValueTest, OidWithQuoteIsDoubled) {
  std::string name = "a";
  StatementCapture cap;
  EXPECT_EQ(Call(name, Entity("o'1")).ToString(), "quoted");
  EXPECT_EQ(cap.Sql(), Statements{"select a from T where k='o''1' "});
}

TEST_P(FieldValueTest, SeveralColumnsGiveTheRowsUnlessVValIsGiven) {
  struct Row {
    const char* name;
    bool with_val;
    bool object;
  } rows[] = {
      {"a,b", false, true},
      {" a , b ", false, true},
      {"coalesce(a, 'z')", false, true},  // a blank inside one expression
      {"a,b", true, false},
      {"a", false, false},
      {"a", true, false},
  };
  for (const Row& r : rows) {
    std::string name = r.name;
    const Variant v =
        Call(name, Entity(), Variant(""), r.with_val ? Variant("fallback") : Variant::Missing());
    ASSERT_EQ(v.IsObject(), r.object) << r.name;
    if (r.object) {
      auto rs = As<Recordset>(v.object());
      ASSERT_TRUE(rs) << r.name;
      ASSERT_FALSE(rs->EOF());
      EXPECT_EQ(rs->Fields()->Item(Variant(int32_t{0}))->Value().ToString(), "x") << r.name;
      rs->MoveNext();
      EXPECT_TRUE(rs->EOF()) << r.name;
    } else {
      EXPECT_EQ(v.ToString(), "x") << r.name;
    }
  }
}

TEST_P(FieldValueTest, NoRowGivesEmptyOrVVal) {
  std::string name = "a";
  EXPECT_TRUE(Call(name, Entity("none")).IsEmpty());
  EXPECT_EQ(Call(name, Entity("none"), Variant(""), Variant("fallback")).ToString(), "fallback");
}

TEST_P(FieldValueTest, NothingEntityReadsNothingButStillTrimsAndClears) {
  std::string name = " a ";
  StatementCapture cap;
  EXPECT_TRUE(Call(name, nullptr).IsEmpty());
  EXPECT_TRUE(cap.Sql().empty());
  EXPECT_EQ(name, "a");
  EXPECT_EQ(error_.ToString(), "");
}

TEST_P(FieldValueTest, MissingKeyFieldFailsBeforeAnyStatement) {
  auto eo = Entity();
  eo->SetOIDSourceField(Variant("nokey"));
  std::string name = "a";
  StatementCapture cap;
  EXPECT_EQ(HrOf([&] { Call(name, eo); }), VbHr(kVbInvalidProcedureCall));
  EXPECT_TRUE(cap.Sql().empty());
}

TEST_P(FieldValueTest, EngineErrorRaisesAndLeavesItsText) {
  std::string name = "nosuchcolumn";
  EXPECT_EQ(HrOf([&] { Call(name, Entity()); }), E_FAIL);
  EXPECT_FALSE(error_.ToString().empty());
}

TEST_P(FieldValueTest, LateBoundCallWritesTheByReferenceArgumentsBack) {
  auto dm = std::make_shared<DataManager>();
  Variant name(" a ");
  Variant error("old");
  const Variant v =
      dm->Call("vFieldValue", {Variant(dsn()), Variant::Ref(&name), Variant(Entity()), Variant(""),
                               Variant::Missing(), Variant::Ref(&error)});
  EXPECT_EQ(v.ToString(), "x");
  EXPECT_EQ(name.ToString(), "a");
  EXPECT_EQ(error.ToString(), "");
}

Q6_INSTANTIATE_ENGINE_TEST(FieldValueTest);

}  // namespace
}  // namespace q6
