// Which literals become parameters, and which texts are left alone.
#include "platform/dialect/literal_params.h"

#include <gtest/gtest.h>

namespace q6 {
namespace {

struct Row {
  Engine engine;
  const char* native;
  const char* text;    // nullptr: not taken
  const char* params;  // kind and value of each, '|' between
};

class LiteralParamsTest : public ::testing::TestWithParam<Row> {};

TEST_P(LiteralParamsTest, TakesOnlyLiteralsWhoseMeaningStays) {
  const Row& row = GetParam();
  ParameterizedSql out;
  const bool taken = ParameterizeLiterals(row.native, row.engine, &out);
  ASSERT_EQ(taken, row.text != nullptr) << row.native;
  if (!taken) return;
  EXPECT_EQ(out.text, row.text);
  std::string params;
  for (const LiteralParam& p : out.params)
    params += (params.empty() ? "" : "|") + std::string(1, static_cast<char>(p.kind)) + p.value;
  EXPECT_EQ(params, row.params) << row.native;
}

constexpr Engine kLite = Engine::SQLite;
constexpr Engine kPg = Engine::PostgreSQL;

INSTANTIATE_TEST_SUITE_P(
    Cases, LiteralParamsTest,
    ::testing::Values(
        Row{kLite, "SELECT a FROM t WHERE k = 1", "SELECT a FROM t WHERE k = ?1", "I1"},
        Row{kPg, "SELECT a FROM t WHERE k = 1", "SELECT a FROM t WHERE k = $1", "I1"},
        // Select lists name columns; LIKE patterns, ordinals and counts stay.
        Row{kLite, "SELECT 1, 'x' AS c FROM t WHERE s<>'it''s' AND k >= 2.5e1",
            "SELECT 1, 'x' AS c FROM t WHERE s<>?1 AND k >= ?2", "Tit's|R2.5e1"},
        Row{kLite, "SELECT CASE WHEN k = 1 THEN 2 END FROM t WHERE s LIKE 'a%' ORDER BY 1 LIMIT 5",
            "SELECT CASE WHEN k = 1 THEN 2 END FROM t WHERE s LIKE 'a%' ORDER BY 1 LIMIT 5", ""},
        Row{kLite, "UPDATE t SET s = 'x' WHERE k = 3;", "UPDATE t SET s = ?1 WHERE k = ?2",
            "Tx|I3"},
        Row{kPg, "SELECT a FROM t WHERE k = (SELECT max(k) FROM u WHERE j=4)and k<>-1",
            "SELECT a FROM t WHERE k = (SELECT max(k) FROM u WHERE j=$1)and k<>-1", "I4"},
        Row{kPg, "SELECT a::text FROM t WHERE k = 99999999999",
            "SELECT a::text FROM t WHERE k = $1", "I99999999999"},
        // The text that left( or substr( cuts; not other arguments or functions.
        Row{kPg, "SELECT a FROM t WHERE left( 'ab' ,length(k))=k OR lower('x')=k",
            "SELECT a FROM t WHERE left( $1 ,length(k))=k OR lower('x')=k", "Tab"},
        Row{kLite, "SELECT a FROM t WHERE substr('ab',1,2)=k OR substr(k,1,'2')=k",
            "SELECT a FROM t WHERE substr(?1,1,2)=k OR substr(k,1,'2')=k", "Tab"},
        // Whole items of a VALUES row; not signed ones, expressions or calls.
        Row{kLite, "INSERT INTO t VALUES ('a', 1, -2, 'b' || 'c', 2.5, (3), f('d')), ('e',0)",
            "INSERT INTO t VALUES (?1, ?2, -2, 'b' || 'c', ?3, (3), f('d')), (?4,?5)",
            "Ta|I1|R2.5|Te|I0"},
        Row{kPg, "INSERT INTO t (a) SELECT 'x' FROM u WHERE k = 'y'",
            "INSERT INTO t (a) SELECT 'x' FROM u WHERE k = $1", "Ty"},
        // Beyond 64 bits or a double, glued to a name, behind a comment: left in place.
        Row{kLite, "SELECT a FROM t WHERE k = 1e400", "SELECT a FROM t WHERE k = 1e400", ""},
        Row{kLite, "SELECT a FROM t WHERE k = 99999999999999999999 OR k = 0x1F OR k = /**/ 2",
            "SELECT a FROM t WHERE k = 99999999999999999999 OR k = 0x1F OR k = /**/ 2", ""},
        // Not one plain statement, or parameters already there: not taken.
        Row{kLite, "SELECT a FROM t WHERE k = 1; DROP TABLE t", nullptr, ""},
        Row{kLite, "CREATE TABLE t (a INTEGER DEFAULT 0)", nullptr, ""},
        Row{kLite, "SELECT a FROM t WHERE k = ?1", nullptr, ""},
        Row{kLite, "SELECT a FROM t WHERE k = :k", nullptr, ""},
        Row{kLite, "SELECT a FROM t WHERE k = @k", nullptr, ""},
        Row{kPg, "SELECT a FROM t WHERE s = E'x\\''", nullptr, ""},
        Row{kPg, "SELECT a FROM t WHERE s = $$x$$", nullptr, ""},
        Row{kLite, "  -- nothing", nullptr, ""}));

}  // namespace
}  // namespace q6
