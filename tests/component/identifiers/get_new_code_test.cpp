// OIDManager.GetNewCode on both engines: codes from the largest code of the
// type's records, exact and at least ten digits, and the failures of a type
// or code field that cannot be loaded.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "component/frame/oid_manager.h"
#include "outside/eso/oid_object.h"
#include "support/metadata_fixture.h"
#include "support/statement_capture.h"
#include "support/test_db.h"

namespace q6 {
namespace {

constexpr HRESULT kNoCurrentRecord = MakeHr(0x800A0BCDu);

class GetNewCodeTest : public test::EngineTest {
 protected:
  // Type `type` keeping its records in `table` (OID column coid, code column
  // `code_column`), with a "transactions_code" field used or not.
  void AddType(int type, const std::string& table, const std::string& code_type, int code_used = 1,
               const char* code_column = "code") {
    auto con = OpenConnection();
    test::InsertEntity(*con, {.id = type,
                              .name = "doc" + std::to_string(type),
                              .caption = "Doc " + std::to_string(type),
                              .oid_source_field = "coid",
                              .source_table = table});
    test::InsertField(*con, {.id = type * 100 + 1,
                             .entity_id = type,
                             .name = "coid",
                             .caption = "OID",
                             .source_field = "coid"});
    test::InsertField(*con, {.id = type * 100 + 2,
                             .entity_id = type,
                             .name = "transactions_code",
                             .caption = "Code",
                             .source_field = code_column,
                             .is_used = code_used,
                             .row = 1});
    con->Execute("create table " + table + " (coid varchar(20), " + code_column + " " + code_type +
                 ")");
  }
  void AddRecord(const std::string& table, const std::string& oid, const std::string& code) {
    Exec("insert into " + table + " values ('" + oid + "', " + code + ")");
  }
  std::string Call(int type, bool locked) {
    int32_t t = type;
    auto oid = As<OIDObject>(OIDManager().GetNewCode(Variant(dsn()), t, locked));
    EXPECT_TRUE(oid);
    EXPECT_EQ(t, type);
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

TEST_P(GetNewCodeTest, CodesFollowTheLargestCodeOfTheType) {
  const struct {
    const char* name;
    const char* code_type;
    std::vector<std::string> codes;  // SQL literals of type 51's codes
    const char* next;                // Locked True
    const char* current;             // Locked False
  } rows[] = {
      {"no rows", "varchar(40)", {}, "0000000001", "0000000000"},
      {"only Null codes", "varchar(40)", {"NULL"}, "0000000001", "0000000000"},
      {"padded text", "varchar(40)", {"'0000000045'", "'0000000123'"}, "0000000124", "0000000123"},
      {"eleven digits",
       "varchar(40)",
       {"'0000000123'", "'12345678901'"},
       "12345678902",
       "12345678901"},
      {"beyond a double",
       "varchar(40)",
       {"'9007199254740993'"},
       "9007199254740994",
       "9007199254740993"},
      {"beyond 29 digits",
       "varchar(40)",
       {"'123456789012345678901234567890123'"},
       "123456789012345678901234567890124",
       "123456789012345678901234567890123"},
      {"number column", "integer", {"45", "123"}, "0000000124", "0000000123"},
  };
  int type = 51;
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    const std::string table = "fd_doc" + std::to_string(type);
    AddType(type, table, r.code_type);
    // A record of another type with a larger code does not count.
    AddRecord(table, "99" + std::to_string(type) + "0000000001", "99999");
    int n = 1;
    for (const std::string& code : r.codes) {
      AddRecord(table, std::to_string(type) + "000000000000" + std::to_string(n++), code);
    }
    EXPECT_EQ(Call(type, true), r.next);
    EXPECT_EQ(Call(type, true), r.next);  // nothing reserved, nothing written
    EXPECT_EQ(Call(type, false), r.current);
    ++type;
  }
}

TEST_P(GetNewCodeTest, LockedOmittedAllocates) {
  AddType(51, "fd_doc51", "varchar(40)");
  AddRecord("fd_doc51", "510000000000001", "'0000000123'");
  OIDManager mgr;
  Variant got = mgr.Call("GetNewCode", {Variant(dsn()), Variant(int32_t{51})});
  EXPECT_EQ(got.ToString(), "0000000124");
}

TEST_P(GetNewCodeTest, TypesAndCodesThatCannotBeReadFail) {
  AddType(51, "fd_doc51", "varchar(40)", /*code_used=*/0);
  AddType(52, "fd_doc52", "varchar(40)");
  AddRecord("fd_doc52", "520000000000001", "'abc'");
  auto con = OpenConnection();
  test::InsertEntity(*con, {.id = 53,
                            .name = "doc53",
                            .caption = "Doc 53",
                            .oid_source_field = "coid",
                            .source_table = "fd_doc52"});
  const struct {
    const char* name;
    int type;
    HRESULT hr;
  } rows[] = {
      {"unused transactions_code field", 51, VbHr(kVbInvalidProcedureCall)},
      {"code that is not a number", 52, VbHr(kVbTypeMismatch)},
      {"no transactions_code field", 53, VbHr(kVbInvalidProcedureCall)},
      {"no such type", 99, kNoCurrentRecord},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(ErrorOf(r.type, true), r.hr);
  }
}

TEST_P(GetNewCodeTest, SendsTheCodeQueryAndWritesNothing) {
  AddType(51, "fd_doc51", "varchar(40)");
  AddRecord("fd_doc51", "510000000000001", "'0000000123'");
  test::StatementCapture capture;
  EXPECT_EQ(Call(51, true), "0000000124");
  const std::vector<std::string> sql = capture.Sql();
  ASSERT_FALSE(sql.empty());
  EXPECT_EQ(sql.back(), "select max(code) from fd_doc51 with(updlock) where coid like '51%'");
  // No engine takes a row lock with an aggregate: the hint is dropped (and
  // PostgreSQL is told the item's name as written).
  EXPECT_EQ(capture.Native().back(),
            engine() == Engine::PostgreSQL
                ? "select max(code) AS \"max(code)\" from fd_doc51 where coid like '51%'"
                : "select max(code) from fd_doc51 where coid like '51%'");
  for (const std::string& s : sql) {
    SCOPED_TRACE(s);
    EXPECT_EQ(s.find("BeginTrans"), std::string::npos);
    EXPECT_EQ(ToLower(s).find("update "), std::string::npos);
    EXPECT_EQ(ToLower(s).find("insert "), std::string::npos);
    EXPECT_EQ(ToLower(s).find("delete "), std::string::npos);
  }
}

Q6_INSTANTIATE_ENGINE_TEST(GetNewCodeTest);

}  // namespace
}  // namespace q6
