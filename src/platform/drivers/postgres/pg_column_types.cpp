// Column types from the PostgreSQL catalogue, one query per table.
#include "platform/drivers/postgres/pg_column_types.h"

#include <libpq-fe.h>

#include <memory>

#include "runtime/value_utf8.h"

namespace q6::postgres {
namespace {

// Enough for the tables of a long session; beyond it they are read again.
constexpr size_t kMaxTables = 512;

// The columns of the table named by the literal `lit` (the name in lower
// case, else as written), with their stored types and comments.
std::string ColumnsQuery(const std::string& lit) {
  return "SELECT a.attname, format_type(a.atttypid, a.atttypmod), coalesce(d.description, '') "
         "FROM pg_catalog.pg_attribute a JOIN pg_catalog.pg_class c ON c.oid = a.attrelid "
         "LEFT JOIN pg_catalog.pg_description d ON d.objoid = a.attrelid "
         "AND d.classoid = 'pg_catalog.pg_class'::pg_catalog.regclass AND d.objsubid = a.attnum "
         "WHERE a.attrelid = coalesce(pg_catalog.to_regclass(pg_catalog.quote_ident("
         "pg_catalog.lower(" +
         lit + "))), pg_catalog.to_regclass(pg_catalog.quote_ident(" + lit +
         "))) AND c.relkind IN ('r', 'p') AND a.attnum > 0 AND NOT a.attisdropped";
}

struct ResultFree {
  void operator()(PGresult* r) const { PQclear(r); }
};

}  // namespace

const PgColumnTypes::Table* PgColumnTypes::Read(std::string_view table) {
  std::string key(table);
  if (auto it = tables_.find(key); it != tables_.end()) return &it->second;
  // A failed transaction takes nothing but its end; a connection busy with
  // something else (a COPY) takes no query.
  const PGTransactionStatusType status = PQtransactionStatus(conn_);
  if (status != PQTRANS_IDLE && status != PQTRANS_INTRANS) return nullptr;
  std::unique_ptr<char, decltype(&PQfreemem)> lit(PQescapeLiteral(conn_, key.data(), key.size()),
                                                  &PQfreemem);
  if (!lit) return nullptr;
  // The answers are as of the query, or later.
  const auto asked = std::chrono::steady_clock::now();
  std::unique_ptr<PGresult, ResultFree> r(run_(ColumnsQuery(lit.get())));
  if (!r || PQresultStatus(r.get()) != PGRES_TUPLES_OK) return nullptr;
  Table t;
  const int rows = PQntuples(r.get());
  t.found = rows > 0;
  t.columns.reserve(static_cast<size_t>(rows));
  for (int i = 0; i < rows; ++i)
    t.columns.push_back(
        {PQgetvalue(r.get(), i, 0),
         dialect::PostgresColumnType(PQgetvalue(r.get(), i, 1), PQgetvalue(r.get(), i, 2))});
  if (tables_.size() >= kMaxTables) tables_.clear();
  if (tables_.empty()) since_ = asked;
  return &tables_.emplace(std::move(key), std::move(t)).first->second;
}

dialect::ColumnType PgColumnTypes::TypeOf(std::string_view table, std::string_view column) {
  if (table.empty()) return {};
  if (!current_) {
    current_ = true;
    if (!tables_.empty() && std::chrono::steady_clock::now() - since_ >= kFollowEvery) Forget();
  }
  const Table* t = Read(table);
  if (!t || !t->found) return {};
  const Column* found = nullptr;
  for (const Column& c : t->columns) {
    if (!value::EqualsAsciiFolded(c.name, column)) continue;
    if (found) return {};  // "Amount" and "amount": which one the statement means is not known
    found = &c;
  }
  return found ? found->type : dialect::ColumnType{dialect::ColumnType::kNoColumn};
}

}  // namespace q6::postgres
