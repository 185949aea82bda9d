// Golden text: every statement of dialect_cases.h translates to exactly the
// expected text for each engine, the cache gives the same answers as a fresh
// translation (also under concurrent callers), and it stays bounded.
#include "platform/dialect/dialect.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "dialect_cases.h"
#include "platform/dialect/column_types.h"
#include "platform/dialect/literal_params.h"
#include "platform/dialect/literal_shape.h"
#include "platform/dialect/sql_tokens.h"

namespace q6 {
namespace {

using dialect_test::DialectCase;
using dialect_test::kDialectCases;

class DialectText : public ::testing::TestWithParam<DialectCase> {};

TEST_P(DialectText, SQLite) {
  const DialectCase& c = GetParam();
  EXPECT_EQ(TranslateSqlUncached(c.tsql, Engine::SQLite), c.sqlite);
}

TEST_P(DialectText, PostgreSQL) {
  const DialectCase& c = GetParam();
  EXPECT_EQ(TranslateSqlUncached(c.tsql, Engine::PostgreSQL), c.postgres);
}

// The data layer may hand an already translated text back in (a recordset
// reopened on its own source): a second pass must not change it again.
TEST_P(DialectText, TranslatedTextStaysAsItIs) {
  const DialectCase& c = GetParam();
  EXPECT_EQ(TranslateSqlUncached(c.sqlite, Engine::SQLite), c.sqlite);
  EXPECT_EQ(TranslateSqlUncached(c.postgres, Engine::PostgreSQL), c.postgres);
}

// Both engines share one cache: a text cached for one must not answer for
// the other.
TEST_P(DialectText, CacheKeepsEnginesApart) {
  const DialectCase& c = GetParam();
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(TranslateSql(c.tsql, Engine::PostgreSQL), c.postgres);
    EXPECT_EQ(TranslateSql(c.tsql, Engine::SQLite), c.sqlite);
  }
}

// `sql` with the content of every string literal that follows no word
// replaced by `content` (given quoted, '' for a quote).
std::string WithLiterals(std::string_view sql, std::string_view content) {
  std::vector<dialect::Token> tokens;
  if (!dialect::Tokenize(sql, &tokens)) return std::string(sql);
  std::string out;
  for (size_t i = 0; i < tokens.size(); ++i) {
    const bool literal = tokens[i].kind == dialect::TokenKind::kString &&
                         (i == 0 || tokens[i - 1].kind != dialect::TokenKind::kWord);
    out += literal ? "'" + std::string(content) + "'" : std::string(tokens[i].Text(sql));
  }
  return out;
}

// Statements that differ only in their literals share one translation of
// their shape; each must still come out as its own fresh translation, also
// where a rule reads the literal (a date, a LIKE pattern, an alias). The
// second round finds every text in the whole-text cache, which must leave
// its own parameters behind, not the previous text's.
TEST_P(DialectText, LiteralVariantsTranslateAsThemselves) {
  const DialectCase& c = GetParam();
  for (int round = 0; round < 2; ++round)
    for (Engine e : {Engine::SQLite, Engine::PostgreSQL}) {
      for (std::string_view content : {"x", "", "2024-02-29", "a[b]%", "O''Brien", "1", "y"}) {
        const std::string variant = WithLiterals(c.tsql, content);
        const Translation native = TranslateSql(variant, e);
        EXPECT_EQ(native, TranslateSqlUncached(variant, e)) << variant;
        // Its parameters come from the shape's; they must be the text's own.
        ParameterizedSql shaped, own;
        const bool taken = ParameterizeLiterals(native, e, &shaped);
        ASSERT_EQ(taken, ParameterizeLiteralsUncached(native.native, e, &own)) << native;
        if (!taken) continue;
        EXPECT_EQ(shaped.text, own.text);
        ASSERT_EQ(shaped.params.size(), own.params.size()) << native;
        for (size_t i = 0; i < own.params.size(); ++i) {
          EXPECT_EQ(shaped.params[i].kind, own.params[i].kind);
          EXPECT_EQ(shaped.params[i].value, own.params[i].value);
        }
      }
    }
}

INSTANTIATE_TEST_SUITE_P(Statements, DialectText, ::testing::ValuesIn(kDialectCases),
                         [](const ::testing::TestParamInfo<DialectCase>& info) {
                           return std::string(info.param.name);
                         });

std::string LockQuery(int n) {
  return "Select top 1 * From FD_Locks with(updlock) Where locks_id = '" + std::to_string(n) + "'";
}

std::string LockQueryFor(int n, Engine e) {
  const std::string id = "'" + std::to_string(n) + "'";
  if (e == Engine::PostgreSQL)
    return "Select * From FD_Locks Where locks_id ^= " + id + " LIMIT 1 FOR UPDATE";
  return "Select * From FD_Locks Where locks_id = " + id + " LIMIT 1";
}

TEST(DialectCache, StaysBoundedUnderDistinctStatements) {
  for (int n = 0; n < 20000; ++n) {
    ASSERT_EQ(TranslateSql(LockQuery(n), Engine::SQLite), LockQueryFor(n, Engine::SQLite));
  }
  EXPECT_LE(TranslationCacheSize(), 8192u);
  EXPECT_GT(TranslationCacheSize(), 0u);
}

TEST(DialectCache, ManyLiteralsGoBackInTheirPlaces) {
  std::string values;
  for (int n = 0; n < 12; ++n) values += (n ? ",'" : "'") + std::to_string(n) + "'";
  const std::string first = "insert into t values(" + values + ")";
  const std::string second = WithLiterals(first, "v''");
  for (Engine e : {Engine::SQLite, Engine::PostgreSQL}) {
    EXPECT_EQ(TranslateSql(first, e), first);
    EXPECT_EQ(TranslateSql(second, e), second);
  }
}

TEST(DialectCache, LongTextIsTranslatedButNotKept) {
  std::string where(20000, ' ');
  const std::string sql = "select top 1 coid from fd_doc where coid = 'x'" + where;
  const size_t before = TranslationCacheSize();
  EXPECT_EQ(TranslateSql(sql, Engine::SQLite),
            "select coid from fd_doc where coid = 'x' LIMIT 1" + where);
  EXPECT_EQ(TranslationCacheSize(), before);
}

TEST(DialectCache, ConcurrentCallersGetTheirOwnTranslation) {
  std::vector<std::thread> threads;
  std::vector<int> wrong(8, 0);
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t, &wrong] {
      const Engine e = t % 2 ? Engine::PostgreSQL : Engine::SQLite;
      for (int round = 0; round < 30; ++round) {
        for (const DialectCase& c : kDialectCases) {
          if (TranslateSql(c.tsql, e) != (e == Engine::SQLite ? c.sqlite : c.postgres)) {
            ++wrong[t];
          }
        }
        // Distinct texts keep the shards filling and emptying meanwhile.
        for (int n = 0; n < 200; ++n) {
          const int id = t * 100000 + round * 1000 + n;
          if (TranslateSql(LockQuery(id), e) != LockQueryFor(id, e)) ++wrong[t];
        }
      }
    });
  }
  for (std::thread& th : threads) th.join();
  for (int t = 0; t < 8; ++t) EXPECT_EQ(wrong[t], 0) << "thread " << t;
}

// The column types a connection gives: column k of every table has `k`.
class KTypes : public dialect::ColumnTypes {
 public:
  dialect::ColumnType k;
  dialect::ColumnType TypeOf(std::string_view, std::string_view column) override {
    return column == "k" ? k : dialect::ColumnType{dialect::ColumnType::kNoColumn};
  }
};

// A translation that depended on a column's type is not reused once the
// type changes, whether it is found by its text or by its shape.
TEST(DialectCache, TranslationFollowsColumnTypes) {
  KTypes types;
  for (const char* decl : {"int", "varchar(10)", "int"}) {
    types.k = dialect::ParseDeclaredType(decl);
    for (const char* sql :
         {"select v from t_kinds where k = 1", "select v from t_kinds where k = 2"}) {
      const std::string native = TranslateSql(sql, Engine::SQLite, &types).native;
      const bool converts = native.find("tsql_is_varchar") != std::string::npos;
      EXPECT_EQ(converts, types.k.kind != dialect::ColumnType::kInt) << decl << ": " << native;
    }
  }
}

// A PostgreSQL column's recorded declared type counts only while the
// stored type is still its form: a column altered since, or a comment that
// is not a record, gives the stored type's reading.
TEST(PostgresColumnTypes, RecordHoldsWhileTheStoredTypeMatches) {
  using dialect::ColumnType;
  const struct {
    const char* stored;
    const char* comment;
    ColumnType want;
  } rows[] = {
      {"timestamp(3) without time zone", "q6tsql:datetime2(3)", {ColumnType::kDate, 3, 3}},
      {"timestamp(3) without time zone", "", {ColumnType::kDate, 1, 0}},
      {"timestamp(6) without time zone", "q6tsql:datetime2(7)", {ColumnType::kDate, 3, 7}},
      {"timestamp(6) without time zone", "q6tsql:datetime2(3)", {ColumnType::kDate, 3, 7}},
      {"time(6) without time zone", "", {ColumnType::kDate, 5, 7}},
      {"time(5) without time zone", "", {ColumnType::kDate, 5, 5}},
      {"time(6) without time zone", "q6tsql:time(7)", {ColumnType::kDate, 5, 7}},
      {"time(0) without time zone", "q6tsql:time(7)", {ColumnType::kDate, 5, 0}},
      {"timestamp(0) without time zone", "the start", {ColumnType::kDate, 2, 0}},
      {"text", "q6tsql:datetime2(7)", {ColumnType::kText}},
      {"timestamp(6) with time zone", "", {ColumnType::kOther}},
  };
  for (const auto& row : rows)
    EXPECT_EQ(dialect::PostgresColumnType(row.stored, row.comment), row.want)
        << row.stored << " / " << row.comment;
}

TEST(Dialect, EngineNames) {
  EXPECT_STREQ(EngineName(Engine::SQLite), "SQLite");
  EXPECT_STREQ(EngineName(Engine::PostgreSQL), "PostgreSQL");
}

}  // namespace
}  // namespace q6
