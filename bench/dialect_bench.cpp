// Translation cost of the statements the business classes build, per
// statement: fresh (parse and rewrite every time), through the cache, and
// with a new record identifier in every round (the texts are new, their
// shapes are not).
// The goal is under 5 microseconds per statement on average (counter
// "system", seconds per statement, against "target").
#include <benchmark/benchmark.h>

#include <ctime>
#include <string>
#include <vector>

#include "bench_util.h"
#include "platform/dialect/dialect.h"

namespace {

// A select list of an entity with `n` fields, as the list builder writes it.
std::string ColumnList(int n) {
  std::string list;
  for (int i = 0; i < n; ++i) {
    const std::string f = "f" + std::to_string(i);
    list += "fd_doc." + f + " as '" + f + "',";
  }
  list.pop_back();
  return list;
}

std::vector<std::string> Statements() {
  const std::string cols = ColumnList(20);
  const std::string lock_head =
      "Select top 1 * From FD_Locks with(updlock) Where  class_flag='1' or (class_flag='2' and "
      "workstation_name='pc7') or (class_flag='3' and user_name='dan') or (class_flag='4' and "
      "user_name='dan' and workstation_name='pc7')";
  return {
      "Select * From FD_Entities Where iID = 51",
      "Select * From FD_Fields Where iEntityID = 51 and bisused = 1  order by irow,iinputcol,iid ",
      "select ibitype from fd_entities where iparentid=51",
      "select count(1) from fd_entities where sCaption='Sales order' and iBIType <> 51",
      "select * from FD_Fields where 1>1",
      "Delete From fd_fields where iEntityID = '51 '",
      "Select max(dblTop) From FD_Fields Where iEntityID = 51",
      "Select " + cols + " From fd_doc  Where fd_doc.coid like '51%'  Order By fd_doc.coid ASC",
      "Select top 1 " + cols +
          " From fd_doc  Where fd_doc.coid like '51%' and book_name is null  and fd_doc.coid > "
          "'510000000000001'  Order By fd_doc.coid ASC",
      "Select " + cols + " From fd_line  Where parentoid = '510000000000001' order by lineoid",
      "Insert Into fd_doc (coid, code, qty, book_name) Values ('510000000000009', '0000000126', "
      "12, NULL);",
      "Update fd_doc Set qty = 12, book_name = NULL Where coid = '510000000000003'",
      "Select top 1 * From FD_Locks with(updlock) Where (class_flag<>'1' and user_name = 'ann') "
      "or class_flag='1'",
      lock_head +
          " or (class_flag='5' and mod_name='hr') or (class_flag>='6' and "
          "left(locks_id,12)= '510000000000')",
      lock_head +
          " or (class_flag='5' and mod_name='hr') or (class_flag='6' and "
          "left('510000000000001',len(locks_id))=locks_id) or (class_flag='7' and "
          "locks_id='510000000000001')",
      "insert into fd_locks values('510000000000002','ann','pc1','sales','7','editing')",
      "delete From FD_Locks Where mod_name = 'sales' and user_name='ann'",
      "Select sMaxOID From FD_Entities with(updlock) Where iID = 51",
      " update fd_entities set smaxoid='510000000000003' where iid= 51",
      "select max(code) from fd_doc with(updlock) where coid like '51%'",
      "select * from  isnull(fd_doc.qty,0) as 'Qty' , fd_doc.code as 'Code'  from fd_doc",
      // Users' own T-SQL: concatenation, conversions, dates, classes, select-list forms.
      "select total = qty * 2, code + ' ' + memo 'label', cast(qty as decimal(10,2)) from fd_doc "
      "where ddate >= '20240101' and memo like '[a-c]%'",
      "select convert(varchar(10), dateadd(day, -1, ddate), 103), datediff(month, ddate, "
      "getdate()) from dbo.fd_doc where charindex('x', memo, 2) > 0 and upper(code) = 'ab'",
  };
}

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

enum class Mode { kUncached, kCached, kNewLiterals };

// `base` with its 12-digit record prefix made another one for each round.
void WithRound(const std::vector<std::string>& base, int64_t round, std::vector<std::string>* out) {
  const std::string_view id = "510000000000";
  const std::string prefix = std::to_string(510000000000 + round % 10000000000);
  *out = base;
  for (std::string& s : *out)
    for (size_t p = s.find(id); p != std::string::npos; p = s.find(id, p + id.size()))
      s.replace(p, id.size(), prefix);
}

void Run(benchmark::State& state, q6::Engine engine, Mode mode) {
  const std::vector<std::string> base = Statements();
  std::vector<std::string> statements = base;
  q6::bench::Label(state, engine == q6::Engine::SQLite ? "SQLite" : "PostgreSQL");
  size_t bytes = 0;
  int64_t round = state.thread_index() * 1000000;
  // The CPU time of this thread: translation never waits, so on a shared
  // machine the wall clock would count the other processes' turns too.
  double seconds = 0;
  for (auto _ : state) {
    if (mode == Mode::kNewLiterals) WithRound(base, ++round, &statements);
    const double start = ThreadCpuSeconds();
    for (const std::string& s : statements) {
      std::string out = mode == Mode::kUncached ? q6::TranslateSqlUncached(s, engine)
                                                : q6::TranslateSql(s, engine).native;
      bytes += out.size();
      benchmark::DoNotOptimize(out);
    }
    seconds += ThreadCpuSeconds() - start;
  }
  benchmark::DoNotOptimize(bytes);
  state.SetItemsProcessed(state.iterations() * statements.size());
  // Seconds per statement, of this thread.
  q6::bench::ReportBudget(
      state, seconds / static_cast<double>(state.iterations() * statements.size()), 5e-6);
}

void BM_TranslateUncachedSQLite(benchmark::State& s) {
  Run(s, q6::Engine::SQLite, Mode::kUncached);
}
void BM_TranslateUncachedPostgreSQL(benchmark::State& s) {
  Run(s, q6::Engine::PostgreSQL, Mode::kUncached);
}
void BM_TranslateCachedSQLite(benchmark::State& s) { Run(s, q6::Engine::SQLite, Mode::kCached); }
void BM_TranslateCachedPostgreSQL(benchmark::State& s) {
  Run(s, q6::Engine::PostgreSQL, Mode::kCached);
}
void BM_TranslateNewLiteralsSQLite(benchmark::State& s) {
  Run(s, q6::Engine::SQLite, Mode::kNewLiterals);
}
void BM_TranslateNewLiteralsPostgreSQL(benchmark::State& s) {
  Run(s, q6::Engine::PostgreSQL, Mode::kNewLiterals);
}

BENCHMARK(BM_TranslateUncachedSQLite);
BENCHMARK(BM_TranslateUncachedPostgreSQL);
BENCHMARK(BM_TranslateCachedSQLite);
BENCHMARK(BM_TranslateCachedPostgreSQL);
BENCHMARK(BM_TranslateCachedSQLite)->Threads(2);
BENCHMARK(BM_TranslateNewLiteralsSQLite);
BENCHMARK(BM_TranslateNewLiteralsPostgreSQL);

}  // namespace

BENCHMARK_MAIN();
