// Column types from the PostgreSQL catalogue, one query per table.
#include "platform/drivers/postgres/pg_column_types.h"

#include <libpq-fe.h>

#include <memory>

#include "runtime/value_utf8.h"

namespace q6::postgres {
namespace {

// Enough for the tables of a long session; beyond it they are read again.
constexpr size_t kMaxTables = 512;

// The columns of the table or view named by the literal `lit` (the name in
// lower case, else as written), in their order, with their stored types,
// comments and the relation's kind.
std::string ColumnsQuery(const std::string& lit) {
  return "SELECT a.attname, format_type(a.atttypid, a.atttypmod), coalesce(d.description, ''), "
         "c.relkind "
         "FROM pg_catalog.pg_attribute a JOIN pg_catalog.pg_class c ON c.oid = a.attrelid "
         "LEFT JOIN pg_catalog.pg_description d ON d.objoid = a.attrelid "
         "AND d.classoid = 'pg_catalog.pg_class'::pg_catalog.regclass AND d.objsubid = a.attnum "
         "WHERE a.attrelid = coalesce(pg_catalog.to_regclass(pg_catalog.quote_ident("
         "pg_catalog.lower(" +
         lit + "))), pg_catalog.to_regclass(pg_catalog.quote_ident(" + lit +
         "))) AND c.relkind IN ('r', 'p', 'v', 'm', 'f') AND a.attnum > 0 "
         "AND NOT a.attisdropped ORDER BY a.attnum";
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
  t.listed = rows > 0;
  t.found = rows > 0 && (*PQgetvalue(r.get(), 0, 3) == 'r' || *PQgetvalue(r.get(), 0, 3) == 'p');
  t.columns.reserve(static_cast<size_t>(rows));
  for (int i = 0; i < rows; ++i)
    t.columns.push_back(
        {PQgetvalue(r.get(), i, 0),
         dialect::PostgresColumnType(PQgetvalue(r.get(), i, 1), PQgetvalue(r.get(), i, 2))});
  if (tables_.size() >= kMaxTables) tables_.clear();
  if (tables_.empty()) since_ = asked;
  return &tables_.emplace(std::move(key), std::move(t)).first->second;
}

const PgColumnTypes::Table* PgColumnTypes::Current(std::string_view table) {
  if (!current_) {
    current_ = true;
    if (!tables_.empty() && std::chrono::steady_clock::now() - since_ >= kFollowEvery) Forget();
  }
  return Read(table);
}

dialect::ColumnType PgColumnTypes::TypeOf(std::string_view table, std::string_view column) {
  if (table.empty()) return {};
  const Table* t = Current(table);
  if (!t || !t->found) return {};
  const Column* found = nullptr;
  for (const Column& c : t->columns) {
    if (!value::EqualsAsciiFolded(c.name, column)) continue;
    if (found) return {};  // "Amount" and "amount": which one the statement means is not known
    found = &c;
  }
  return found ? found->type : dialect::ColumnType{dialect::ColumnType::kNoColumn};
}

bool PgColumnTypes::ColumnNames(std::string_view table, std::vector<std::string>* names) {
  names->clear();
  if (table.empty()) return false;
  const Table* t = Current(table);
  if (!t || !t->listed) return false;
  for (const Column& c : t->columns) names->push_back(c.name);
  return true;
}

}  // namespace q6::postgres
