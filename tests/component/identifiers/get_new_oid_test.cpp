// OIDManager.GetNewOID on both engines: allocation and reading, the
// conversion and missing-row failures, the statements sent, and rollback of a
// failed allocation.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "component/frame/oid_manager.h"
#include "outside/eso/oid_object.h"
#include "support/statement_capture.h"
#include "support/test_db.h"

namespace q6 {
namespace {

constexpr HRESULT kNoCurrentRecord = MakeHr(0x800A0BCDu);

// What the engines make of the transaction and the counter's select.
struct OidEngineText {
  const char* begin;   // native text of BeginTrans
  const char* select;  // native text of the select for type 51
  // Statements that make every update of FD_Entities row 60 fail.
  std::vector<std::string> refuse_update_of_60;
};

const OidEngineText& TextFor(Engine e) {
  static const OidEngineText kSqlite{
      "BEGIN IMMEDIATE",
      "Select sMaxOID AS \"sMaxOID\" From FD_Entities Where iID = 51",
      {"CREATE TRIGGER refuse60 BEFORE UPDATE ON FD_Entities WHEN OLD.iID = 60 "
       "BEGIN SELECT RAISE(ABORT, 'refused'); END"}};
  static const OidEngineText kPg{
      "BEGIN",
      "Select sMaxOID AS \"sMaxOID\" From FD_Entities Where iID = 51 FOR UPDATE",
      {"CREATE FUNCTION refuse60() RETURNS trigger LANGUAGE plpgsql AS "
       "$$ BEGIN RAISE EXCEPTION 'refused'; END $$",
       "CREATE TRIGGER refuse60 BEFORE UPDATE ON FD_Entities FOR EACH ROW "
       "WHEN (OLD.iID = 60) EXECUTE FUNCTION refuse60()"}};
  return e == Engine::SQLite ? kSqlite : kPg;
}

class GetNewOidTest : public test::EngineTest {
 protected:
  // An entity row for `type` whose counter is `counter` (nullptr: Null).
  void AddType(int type, const char* counter) {
    const std::string n = std::to_string(type);
    Exec(
        "insert into FD_Entities (iID, sName, sCaption, ibitype, sOIDSourceField, "
        "sSourceTable, sMaxOID) values (" +
        n + ", 'doc" + n + "', 'Doc " + n + "', " + n + ", 'coid', 'fd_doc" + n + "', " +
        (counter ? "'" + std::string(counter) + "'" : std::string("NULL")) + ")");
  }
  Variant Counter(int type) {
    return Scalar("select sMaxOID from FD_Entities where iID = " + std::to_string(type));
  }
  std::string Call(int type, bool locked) {
    Variant source(dsn());
    int32_t t = type;
    auto oid = As<OIDObject>(OIDManager().GetNewOID(source, t, locked));
    EXPECT_TRUE(oid);
    EXPECT_EQ(t, type);  // the by-reference type is left alone
    return oid ? oid->Value() : "";
  }
  HRESULT ErrorOf(int type, bool locked) {
    try {
      Call(type, locked);
    } catch (const ComError& e) {
      return e.hr();
    }
    return S_OK;
  }
};

TEST_P(GetNewOidTest, Type51AllocatesFromItsSeedAndReadsStoreNothing) {
  AddType(51, "510000000000000");
  EXPECT_EQ(Call(51, true), "510000000000001");
  EXPECT_EQ(Counter(51).ToString(), "510000000000001");

  // Locked omitted: a read through the late-bound face takes the default.
  OIDManager mgr;
  Variant got = mgr.Call("GetNewOID", {Variant(dsn()), Variant(int32_t{51})});
  EXPECT_EQ(got.ToString(), "510000000000001");
  EXPECT_EQ(Call(51, false), "510000000000001");
  EXPECT_EQ(Counter(51).ToString(), "510000000000001");

  EXPECT_EQ(Call(51, true), "510000000000002");
  EXPECT_EQ(Counter(51).ToString(), "510000000000002");
}

TEST_P(GetNewOidTest, AllocationsKeepFifteenCharactersAndStayInTheirType) {
  const struct {
    int type;
    const char* seed;
    const char* first;  // nullptr: the allocation fails with `hr`
    const char* second;
    HRESULT hr;
  } rows[] = {
      {5, "50000000000000", "050000000000001", "050000000000002", S_OK},  // padded
      {54, " 540000000000009 ", "540000000000010", "540000000000011", S_OK},
      {56, "569999999999998", "569999999999999", nullptr, VbHr(kVbOverflow)},
      {123, "1230000000000000", nullptr, nullptr, VbHr(kVbOverflow)},  // three digits
      {99, "999999999999999", nullptr, nullptr, VbHr(kVbOverflow)},
      {52, "9007199254740993", nullptr, nullptr, VbHr(kVbOverflow)},
      {1, "100000000000000", nullptr, nullptr, VbHr(kVbOverflow)},  // type 10's range
      {57, "-3", nullptr, nullptr, VbHr(kVbTypeMismatch)},
      {58, "5.5", nullptr, nullptr, VbHr(kVbTypeMismatch)},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.seed);
    AddType(r.type, r.seed);
    std::string stored = r.seed;
    for (const char* want : {r.first, r.second}) {
      if (want) {
        EXPECT_EQ(Call(r.type, true), want);
        stored = want;
      } else {
        EXPECT_EQ(ErrorOf(r.type, true), r.hr);
      }
      EXPECT_EQ(Counter(r.type).ToString(), stored);
      if (!want) break;
    }
  }
}

TEST_P(GetNewOidTest, ReadsReturnTheStoredTextUnchanged) {
  const struct {
    int type;
    const char* stored;
  } rows[] = {{51, "510000000000007"}, {5, "50000000000000"}, {56, "abc"}, {57, " 12 "}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.stored);
    AddType(r.type, r.stored);
    EXPECT_EQ(Call(r.type, false), r.stored);
    EXPECT_EQ(Counter(r.type).ToString(), r.stored);
  }
}

TEST_P(GetNewOidTest, BadCountersAndMissingTypesFailAndStoreNothing) {
  AddType(61, nullptr);
  AddType(62, "abc");
  AddType(63, "");
  AddType(64, "51x000000000000");
  const struct {
    int type;
    bool locked;
    HRESULT hr;
  } rows[] = {
      {61, true, VbHr(kVbInvalidUseOfNull)}, {61, false, VbHr(kVbInvalidUseOfNull)},
      {62, true, VbHr(kVbTypeMismatch)},     {63, true, VbHr(kVbTypeMismatch)},
      {64, true, VbHr(kVbTypeMismatch)},     {99, true, kNoCurrentRecord},
      {99, false, kNoCurrentRecord},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(std::to_string(r.type) + (r.locked ? " locked" : " read"));
    EXPECT_EQ(ErrorOf(r.type, r.locked), r.hr);
  }
  EXPECT_TRUE(Counter(61).IsNull());
  EXPECT_EQ(Counter(62).ToString(), "abc");
  EXPECT_EQ(Counter(63).ToString(), "");
  EXPECT_EQ(Counter(64).ToString(), "51x000000000000");
  EXPECT_EQ(Scalar("select count(*) from FD_Entities").ToLong(), 4);
}

TEST_P(GetNewOidTest, SendsTheStatementsInOneTransaction) {
  AddType(51, "510000000000000");
  const OidEngineText& text = TextFor(engine());
  const std::string select = "Select sMaxOID From FD_Entities with(updlock) Where iID = 51";
  {
    test::StatementCapture capture;
    Call(51, true);
    EXPECT_EQ(capture.Sql(), (std::vector<std::string>{
                                 "BeginTrans", select,
                                 " update fd_entities set smaxoid='510000000000001' where iid= 51",
                                 "CommitTrans"}));
    std::vector<std::string> native = capture.Native();
    ASSERT_EQ(native.size(), 4u);
    EXPECT_EQ(native[0], text.begin);
    EXPECT_EQ(native[1], text.select);
  }
  {
    test::StatementCapture capture;
    Call(51, false);
    EXPECT_EQ(capture.Sql(), std::vector<std::string>{select});
  }
  {
    // A failed allocation ends its transaction at once.
    test::StatementCapture capture;
    EXPECT_EQ(ErrorOf(99, true), kNoCurrentRecord);
    EXPECT_EQ(capture.Sql(),
              (std::vector<std::string>{
                  "BeginTrans", "Select sMaxOID From FD_Entities with(updlock) Where iID = 99",
                  "RollbackTrans"}));
  }
}

TEST_P(GetNewOidTest, FailedUpdateRollsBackAndReleasesTheCounter) {
  AddType(60, "600000000000000");
  AddType(51, "510000000000000");
  for (const std::string& sql : TextFor(engine()).refuse_update_of_60) Exec(sql);
  {
    test::StatementCapture capture;
    EXPECT_EQ(ErrorOf(60, true), E_FAIL);
    std::vector<std::string> sql = capture.Sql();
    ASSERT_EQ(sql.size(), 4u);
    EXPECT_EQ(sql[2], " update fd_entities set smaxoid='600000000000001' where iid= 60");
    EXPECT_FALSE(capture.Errors()[2].empty());
    EXPECT_EQ(sql[3], "RollbackTrans");
  }
  EXPECT_EQ(Counter(60).ToString(), "600000000000000");
  // Nothing is left locked: another connection allocates and writes at once.
  auto other = OpenConnection();
  other->Execute("update FD_Entities set sName = 'x' where iID = 51");
  EXPECT_EQ(Call(51, true), "510000000000001");
}

Q6_INSTANTIATE_ENGINE_TEST(GetNewOidTest);

}  // namespace
}  // namespace q6
