// The PostgreSQL driver.
//
// The server's notices ("relation already exists, skipping", "there is no
// transaction in progress") are dropped instead of going to stderr; the
// transaction checks that matter are made by Driver itself.
#include "platform/drivers/postgres/pg_driver.h"

#include <fcntl.h>
#include <libpq-fe.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string_view>
#include <unordered_map>

#include "platform/drivers/postgres/error.h"
#include "platform/drivers/postgres/pg_column_types.h"
#include "platform/drivers/postgres/pg_values.h"
#include "platform/drivers/postgres/tsql_compat.h"
#include "runtime/com_error.h"

namespace q6::postgres {
namespace {

// Keepalive probes: the first after 10 s of silence, then every 5 s; 3
// unanswered probes end the connection (about 25 s for a vanished host).
constexpr int kKeepaliveIdleS = 10;
constexpr int kKeepaliveIntervalS = 5;
constexpr int kKeepaliveCount = 3;

void IgnoreNotice(void*, const char*) {}

constexpr size_t kCachedStatements = 64;
// How long after its last answer a quiet connection counts as alive
// without a round trip (PgDriver::IsAlive).
constexpr std::chrono::seconds kAnsweredRecently{2};
constexpr unsigned kInt4Oid = 23, kInt8Oid = 20, kNumericOid = 1700;

// The literal's type as the server gives it in place: integers as int4 or
// int8 by size, other numbers as numeric, strings left unknown (resolved
// from what they meet, as a quoted literal is).
unsigned LiteralType(const LiteralParam& p) {
  switch (p.kind) {
    case LiteralParam::kInteger: {
      const long long v = std::strtoll(p.value.c_str(), nullptr, 10);
      return v >= INT32_MIN && v <= INT32_MAX ? kInt4Oid : kInt8Oid;
    }
    case LiteralParam::kReal:
      return kNumericOid;
    case LiteralParam::kText:
      break;
  }
  return 0;
}

// Whether the server refused the statement's text itself (syntax, names,
// types: SQLSTATE class 42), as opposed to failing while running it.
bool RefusedText(const PGresult* res) {
  if (!res || PQresultStatus(res) != PGRES_FATAL_ERROR) return false;
  const char* state = PQresultErrorField(res, PG_DIAG_SQLSTATE);
  return state && state[0] == '4' && state[1] == '2';
}

// Whether a kept statement failed only because the server wants it
// prepared again: a table it reads changed shape, or it is gone.
bool Stale(const PGresult* res) {
  if (!res || PQresultStatus(res) != PGRES_FATAL_ERROR) return false;
  const char* state = PQresultErrorField(res, PG_DIAG_SQLSTATE);
  if (!state) return false;
  const std::string s = state;
  return s == "26000" || (s == "0A000" && std::strstr(PQresultErrorMessage(res),
                                                      "cached plan must not change result type"));
}

std::string Quoted(const std::string& v) {
  std::string out = "'";
  for (char c : v) {
    if (c == '\'' || c == '\\') out += '\\';
    out += c;
  }
  return out + "'";
}

// `text` as a SQL string literal.
std::string Literal(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}

// SQLSTATE of a statement cancelled because its lock wait ran out.
constexpr const char* kLockNotAvailable = "55P03";

ResultSet Collect(PGconn* conn, PGresult* raw, const std::string& lock_context) {
  Result res(raw);
  ResultSet r;
  switch (res ? PQresultStatus(res.get()) : PGRES_FATAL_ERROR) {
    case PGRES_TUPLES_OK:
      r.has_rows = true;
      r.columns = ColumnsOf(res.get());
      r.row_count = static_cast<size_t>(PQntuples(res.get()));
      AppendRows(res.get(), &r.cells);
      return r;
    case PGRES_COMMAND_OK: {
      const char* n = PQcmdTuples(res.get());
      if (n && *n) r.rows_affected = std::strtoll(n, nullptr, 10);
      return r;
    }
    case PGRES_EMPTY_QUERY:
      return r;
    default: {
      const char* state = res ? PQresultErrorField(res.get(), PG_DIAG_SQLSTATE) : nullptr;
      if (state && std::string_view(state) == kLockNotAvailable)
        ThrowError(conn, res.get(), lock_context);
      ThrowError(conn, res.get());
    }
  }
}

// `schema` as the first entry of a search path. A plain name goes as it
// is (folded to lower case by the server, as an unquoted name in SQL is);
// any other is quoted as an identifier, so that it stays one name.
std::string SchemaOnPath(const std::string& schema) {
  bool plain = !std::isdigit(static_cast<unsigned char>(schema[0]));
  for (char c : schema) plain = plain && (std::isalnum(static_cast<unsigned char>(c)) || c == '_');
  if (plain) return schema;
  std::string name = "\"";
  for (char c : schema) name += c == '"' ? std::string("\"\"") : std::string(1, c);
  return name + '"';
}

// The search path: the data source's schema (else the user's own), then
// public, then the T-SQL compatibility schema last, so that names of the
// database's own schemas win over it.
std::string SearchPath(const DataSource& ds) {
  return (ds.schema.empty() ? std::string("\"$user\"") : SchemaOnPath(ds.schema)) +
         ",public,q6tsql";
}

// `value` as a session option's value. Blanks and backslashes are escaped,
// as the server splits options at blanks: a schema name cannot add options
// of its own.
std::string OptionValue(const std::string& value) {
  std::string out;
  for (char c : value) {
    if (c == ' ' || c == '\t' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

}  // namespace

// The session settings that bound every wait: lock waits (lock_timeout;
// 0 would mean none there, so "do not wait" becomes 1 ms), statements
// (statement_timeout), a session idle inside a transaction (its client froze
// or was cut off: the server ends it, which frees its locks), and the
// server's keepalive probes, which notice a client host that is gone.
std::string WaitOptions(const DataSource& ds) {
  auto c = [](const char* name, long v) {
    return std::string(" -c ") + name + "=" + std::to_string(v);
  };
  std::string o = c("lock_timeout", std::max(1, ds.PostgresLockTimeoutMs()));
  o += c("statement_timeout", ds.statement_timeout_ms);
  o += c("idle_in_transaction_session_timeout", ds.idle_in_transaction_timeout_ms);
  o += c("tcp_keepalives_idle", kKeepaliveIdleS);
  o += c("tcp_keepalives_interval", kKeepaliveIntervalS);
  o += c("tcp_keepalives_count", kKeepaliveCount);
  return o;
}

namespace {

// What a pooled connection sets at the start of each transaction, in place
// of the session options: the same settings, for the transaction only (SET
// LOCAL), so that none is left on a server session that the pooler hands to
// another client next. SET takes no snapshot: a SET TRANSACTION after the
// BEGIN they go with still works.
std::vector<std::string> TransactionSettings(const DataSource& ds) {
  return {"SET LOCAL search_path = " + SearchPath(ds),
          "SET LOCAL lock_timeout = " + std::to_string(std::max(1, ds.PostgresLockTimeoutMs())),
          "SET LOCAL statement_timeout = " + std::to_string(ds.statement_timeout_ms),
          "SET LOCAL idle_in_transaction_session_timeout = " +
              std::to_string(ds.idle_in_transaction_timeout_ms)};
}

// The statements as one text, each ended by a semicolon.
std::string Joined(const std::vector<std::string>& statements) {
  std::string out;
  for (const std::string& s : statements) out += s + ";\n";
  return out;
}

}  // namespace

std::string PgDriver::ConnInfo(const DataSource& ds) {
  // Keepalives on our side too: a server host that vanished is noticed
  // within about a minute instead of when the kernel gives up.
  std::string s = "client_encoding=UTF8 connect_timeout=10 keepalives=1";
  s += " keepalives_idle=" + std::to_string(kKeepaliveIdleS);
  s += " keepalives_interval=" + std::to_string(kKeepaliveIntervalS);
  s += " keepalives_count=" + std::to_string(kKeepaliveCount);
  auto add = [&](const char* key, const std::string& v) {
    if (!v.empty()) s += std::string(" ") + key + "=" + Quoted(v);
  };
  add("host", ds.server);
  add("port", ds.port);
  add("dbname", ds.database);
  add("user", ds.uid);
  add("password", ds.pwd);
  // Of several servers, the one that takes writes (a standby answers reads
  // only): after a failover the next connection finds the promoted one.
  if (ds.server.find(',') != std::string::npos) s += " target_session_attrs=read-write";
  // A pooler takes no session options: the same settings go with each
  // transaction instead (TransactionSettings).
  if (ds.pooled) return s;
  // The T-SQL compatibility schema comes last: names of the database's own
  // schemas win over it.
  //
  // Prepared statements keep one plan: the statements this driver prepares
  // are the ones that run again and again with other literals (bound as
  // parameters), mostly short keyed lookups, whose planning with each
  // execution's values cost several times their run (the lock check: 0.5 ms
  // planning, 0.08 ms running). SQL Server reuses a parameterised plan alike.
  std::string options = WaitOptions(ds) + " -c search_path=" + OptionValue(SearchPath(ds)) +
                        " -c plan_cache_mode=force_generic_plan";
  add("options", options.substr(1));
  return s;
}

PgDriver::PgDriver(const DataSource& ds)
    : statements_(kCachedStatements,
                  [this](std::string& name) {
                    // Not inside a failed transaction, which takes nothing but its end:
                    // the name is then left to the session, never to be used again.
                    if (conn_ && PQtransactionStatus(conn_) != PQTRANS_INERROR)
                      Result(PQexec(conn_, ("DEALLOCATE " + name).c_str()));
                  }),
      lock_context_("Waited " + std::to_string(ds.PostgresLockTimeoutMs()) +
                    " ms (LockTimeout) for a lock that another session holds"),
      settings_(ds.pooled ? TransactionSettings(ds) : std::vector<std::string>()),
      settings_text_(Joined(settings_)) {
  conn_ = PQconnectdb(ConnInfo(ds).c_str());
  if (!conn_ || PQstatus(conn_) != CONNECTION_OK) {
    // Copy the message before the connection object goes.
    try {
      ThrowConnectError(conn_, ds.Describe());
    } catch (...) {
      PQfinish(conn_);
      conn_ = nullptr;
      throw;
    }
  }
  PQsetNoticeProcessor(conn_, IgnoreNotice, nullptr);
  BringTsqlCompatUpToDate();
}

void PgDriver::BringTsqlCompatUpToDate() {
  // Not traced: every connection asks.
  Result r(Exec(kTsqlCompatVersionCall));
  if (!r || PQresultStatus(r.get()) != PGRES_TUPLES_OK) r.reset(Exec(kTsqlCompatVersionQuery));
  if (!r || PQresultStatus(r.get()) != PGRES_TUPLES_OK || PQntuples(r.get()) != 1) return;
  if (!TsqlCompatOutdated(std::atoi(PQgetvalue(r.get(), 0, 0)),
                          std::atoi(PQgetvalue(r.get(), 0, 1))))
    return;
  try {
    InstallTsqlCompat(*this, false);
  } catch (const ComError&) {
    // No right to create it: statements that need it fail with the server's
    // message, and `q6fd upgrade` by the database's owner mends it.
  }
}

PgDriver::~PgDriver() {
  if (!conn_) return;
  if (InheritedAcrossFork()) {
    // The socket is the parent's session too: PQfinish would send it the
    // Terminate message and end the parent's session. Put /dev/null in the
    // socket's place first, so the goodbye goes nowhere and only this
    // process's descriptor is closed.
    int null_fd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null_fd >= 0 && PQsocket(conn_) >= 0) ::dup2(null_fd, PQsocket(conn_));
    if (null_fd >= 0) ::close(null_fd);
  }
  // The server rolls back a transaction left open when the session ends,
  // and drops the session's prepared statements. With conn_ cleared, the
  // statement cache forgets its names without sending anything.
  PQfinish(conn_);
  conn_ = nullptr;
}

bool PgDriver::InTransaction() const {
  PGTransactionStatusType t = PQtransactionStatus(conn_);
  return t == PQTRANS_INTRANS || t == PQTRANS_INERROR || t == PQTRANS_ACTIVE;
}

bool PgDriver::IsAlive() {
  if (PQstatus(conn_) != CONNECTION_OK) return false;
  Result r(PQexec(conn_, ""));
  Answered();
  return r && PQresultStatus(r.get()) == PGRES_EMPTY_QUERY && PQstatus(conn_) == CONNECTION_OK;
}

bool PgDriver::StillAlive() {
  if (PQstatus(conn_) != CONNECTION_OK) return false;
  // A server that ends the session (a restart, a terminated backend, an
  // idle timeout) says so on the socket before it closes it, so an idle
  // connection whose socket has nothing to read, and that answered a
  // moment ago, is taken as alive. One quiet for longer, or with something
  // to read, is asked.
  if (std::chrono::steady_clock::now() - last_answer_ < kAnsweredRecently) {
    pollfd p{PQsocket(conn_), POLLIN, 0};
    if (p.fd >= 0 && ::poll(&p, 1, 0) == 0) return true;
  }
  return IsAlive();
}

void PgDriver::Answered() { last_answer_ = std::chrono::steady_clock::now(); }

void ResultDeleter::operator()(pg_result* r) const { PQclear(r); }

bool PgDriver::StartsTransaction() const {
  return !settings_.empty() && PQtransactionStatus(conn_) == PQTRANS_IDLE;
}

PGresult* PgDriver::Exec(const std::string& text) {
  // Several statements in one message run as one transaction: the settings
  // hold for the statements after them.
  if (StartsTransaction()) return PQexec(conn_, (settings_text_ + text).c_str());
  return PQexec(conn_, text.c_str());
}

PGresult* PgDriver::ExecParams(const std::string& text, int n, const unsigned* types,
                               const char* const* values) {
  if (!StartsTransaction())
    return PQexecParams(conn_, text.c_str(), n, types, values, nullptr, nullptr, 0);
  std::vector<Result> r = Pipelined(true, 1, [&] {
    return PQsendQueryParams(conn_, text.c_str(), n, types, values, nullptr, nullptr, 0) == 1;
  });
  return r[0].release();
}

std::vector<Result> PgDriver::Pipelined(bool settings, size_t count,
                                        const std::function<bool()>& send) {
  std::vector<Result> out;
  if (PQenterPipelineMode(conn_) != 1) {
    out.resize(count);
    return out;
  }
  // Up to the Sync the statements run as one transaction (unless one of
  // them begins a transaction block, which the settings then hold for).
  bool sent = (!settings || SendSettings()) && send() && PQpipelineSync(conn_) == 1;
  Result set;  // the first setting that failed
  const size_t skip = settings ? settings_.size() : 0;
  for (size_t i = 0; sent && out.size() < count; ++i) {
    Result res(PQgetResult(conn_));
    if (!res) {
      sent = false;
      break;
    }
    while (PGresult* more = PQgetResult(conn_)) PQclear(more);  // up to the end of this one
    if (i >= skip)
      out.push_back(std::move(res));
    else if (!set && PQresultStatus(res.get()) != PGRES_COMMAND_OK)
      set = std::move(res);
  }
  // The Sync's own result ends the exchange.
  while (sent) {
    Result res(PQgetResult(conn_));
    if (!res || PQresultStatus(res.get()) == PGRES_PIPELINE_SYNC) break;
  }
  PQexitPipelineMode(conn_);
  Answered();
  out.resize(count);
  // Settings the server refused: their error in place of the first answer
  // (the others were skipped).
  if (set) out[0] = std::move(set);
  return out;
}

bool PgDriver::SendSettings() {
  for (const std::string& s : settings_)
    if (PQsendQueryParams(conn_, s.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0) != 1)
      return false;
  return true;
}

dialect::ColumnTypes* PgDriver::column_types() {
  if (!column_types_ && conn_)
    column_types_ = std::make_unique<PgColumnTypes>(conn_, [this](const std::string& text) {
      PGresult* res = Exec(text);
      Answered();
      return res;
    });
  return column_types_.get();
}

void PgDriver::Sending(std::string_view text) {
  if (!column_types_) return;
  size_t b = 0;
  while (b < text.size() && (std::isspace(static_cast<unsigned char>(text[b])) || text[b] == '('))
    ++b;
  size_t e = b;
  while (e < text.size() && std::isalpha(static_cast<unsigned char>(text[e]))) ++e;
  std::string word;
  for (size_t i = b; i < e && word.size() < 9; ++i)
    word += static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
  if (word == "create" || word == "alter" || word == "drop" || word == "comment" ||
      word == "rollback")
    column_types_->Forget();
}

void PgDriver::ForgetTypesOn(const PGresult* res) {
  if (column_types_ && RefusedText(res)) column_types_->Forget();
}

ResultSet PgDriver::Collected(PGresult* res) {
  ForgetTypesOn(res);
  return Collect(conn_, res, lock_context_);
}

ResultSet PgDriver::DoExecute(const std::string& native) {
  Sending(native);
  PGresult* res = Exec(native);
  Answered();
  return Collected(res);
}

ResultSet PgDriver::DoExecuteOne(const std::string& native) {
  // The extended protocol takes one statement only; the server refuses a
  // text with more ("cannot insert multiple commands into a prepared
  // statement") before running any of it.
  Sending(native);
  PGresult* res = ExecParams(native, 0, nullptr, nullptr);
  Answered();
  return Collected(res);
}

void PgDriver::DoCheckOne(const std::string& native) {
  // Parsed as the unnamed statement, which the server refuses for a text of
  // more than one, and not run.
  PGresult* res = PQprepare(conn_, "", native.c_str(), 0, nullptr);
  Answered();
  Collected(res);
}

std::optional<ResultSet> PgDriver::RunPrepared(const std::string& key, const std::string& text,
                                               const std::vector<unsigned>& types,
                                               const std::vector<const char*>& values, bool quiet) {
  const int n = static_cast<int>(values.size());
  for (int attempt = 0;; ++attempt) {
    std::string* name = statements_.Find(key);
    // First sight of this text: sent unnamed, in one round trip, as a
    // statement run once (on a short-lived connection) would waste the
    // second one a named prepare costs. It is kept from the second time,
    // unless the server session may be another client's by then (pooled).
    if (!name && (pooled() || seen_.insert(key).second)) {
      if (seen_.size() > kCachedStatements * 4) seen_ = {key};
      PGresult* res = ExecParams(text, n, types.empty() ? nullptr : types.data(), values.data());
      Answered();
      if (quiet && !InTransaction() && RefusedText(res)) {
        PQclear(res);
        return std::nullopt;
      }
      return Collected(res);
    }
    if (!name) {
      std::string fresh = "q6s" + std::to_string(++prepared_seq_);
      Result prep(
          PQprepare(conn_, fresh.c_str(), text.c_str(), n, types.empty() ? nullptr : types.data()));
      if (!prep || PQresultStatus(prep.get()) != PGRES_COMMAND_OK) {
        if (quiet && !InTransaction() && RefusedText(prep.get())) return std::nullopt;
        ForgetTypesOn(prep.get());
        ThrowError(conn_, prep.get());
      }
      name = statements_.Put(key, std::move(fresh));
    }
    PGresult* res = PQexecPrepared(conn_, name->c_str(), n, values.data(), nullptr, nullptr, 0);
    Answered();
    // A kept statement the server now refuses as a text (a parameter whose
    // type it took from a column that has another type since: "operator
    // does not exist: timestamp ^> citext") is prepared again as well,
    // its parameters' types taken afresh.
    if (attempt == 0 && (Stale(res) || RefusedText(res))) {
      statements_.Erase(key);
      if (!InTransaction()) {
        PQclear(res);
        continue;
      }
    }
    return Collected(res);
  }
}

namespace {
// The key a statement with literals taken out is kept under (its text and
// the parameters' types: the same text with other types is another
// statement), and those types.
void LiteralKey(const ParameterizedSql& sql, std::string* key, std::vector<unsigned>* types) {
  *key = sql.text;
  *key += '\x01';
  types->clear();
  for (const LiteralParam& p : sql.params) {
    types->push_back(LiteralType(p));
    *key += std::to_string(types->back());
    *key += ',';
  }
}
}  // namespace

std::optional<ResultSet> PgDriver::DoExecuteLiterals(const ParameterizedSql& sql) {
  thread_local std::string key;
  thread_local std::vector<unsigned> types;
  thread_local std::vector<const char*> values;
  thread_local std::vector<std::string> cut;
  Sending(sql.text);
  LiteralKey(sql, &key, &types);
  values.clear();
  for (const LiteralParam& p : sql.params) values.push_back(p.value.c_str());
  cut.resize(values.size());
  CutDateParams(sql.text, types, &cut, &values);
  return RunPrepared(key, sql.text, types, values, true);
}

ResultSet PgDriver::DoExecuteParams(const std::string& native,
                                    std::span<const Variant* const> params) {
  std::vector<std::string> texts(params.size());
  std::vector<const char*> values(params.size(), nullptr);
  for (size_t i = 0; i < params.size(); ++i)
    if (ParamText(*params[i], &texts[i])) values[i] = texts[i].c_str();
  // Parameter types are left to the server, which takes them from the
  // columns they are compared with or stored into.
  CutDateParams(native, {}, &texts, &values);
  return std::move(*RunPrepared(native, native, {}, values, false));
}

std::vector<unsigned> PgDriver::ServerParamTypes(const std::string& text,
                                                 const std::vector<unsigned>& given) {
  const int n = static_cast<int>(given.size());
  const unsigned* types = given.empty() ? nullptr : given.data();
  Result prep, described;
  if (pooled()) {
    // Prepared and described in one exchange: between two, the pooler may
    // hand the session (and its unnamed statement) to another client.
    std::vector<Result> r = Pipelined(StartsTransaction(), 2, [&] {
      return PQsendPrepare(conn_, "", text.c_str(), n, types) == 1 &&
             PQsendDescribePrepared(conn_, "") == 1;
    });
    prep = std::move(r[0]);
    described = std::move(r[1]);
  } else {
    prep.reset(PQprepare(conn_, "", text.c_str(), n, types));
    Answered();
  }
  if (!prep || PQresultStatus(prep.get()) != PGRES_COMMAND_OK) ThrowError(conn_, prep.get());
  if (!pooled()) described.reset(PQdescribePrepared(conn_, ""));
  if (!described || PQresultStatus(described.get()) != PGRES_COMMAND_OK)
    ThrowError(conn_, described.get());
  std::vector<unsigned> out(PQnparams(described.get()));
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = PQparamtype(described.get(), static_cast<int>(i));
  return out;
}

void PgDriver::CutDateParams(const std::string& text, const std::vector<unsigned>& types,
                             std::vector<std::string>* texts, std::vector<const char*>* values) {
  bool any = false;
  for (const char* v : *values) any = any || (v && HasSubMicroseconds(v));
  if (!any) return;
  std::vector<unsigned> server;
  try {
    server = ServerParamTypes(text, types);
  } catch (const ComError&) {
    if (InTransaction()) throw;
    return;
  }
  for (size_t i = 0; i < values->size() && i < server.size(); ++i) {
    const char* v = (*values)[i];
    if (!v || !HasSubMicroseconds(v)) continue;
    std::string value(v);
    if (!CutForParamType(server[i], &value)) continue;
    (*texts)[i] = std::move(value);
    (*values)[i] = (*texts)[i].c_str();
  }
}

std::vector<int32_t> PgDriver::DoParameterTypes(const std::string& native) {
  const std::vector<unsigned> oids = ServerParamTypes(native, {});
  std::vector<int32_t> types(oids.size());
  for (size_t i = 0; i < types.size(); ++i) types[i] = AdoTypeOfOid(oids[i]);
  return types;
}

struct PgDriver::Outgoing {
  std::string key;                  // of the kept statement; "": sent as text
  std::string text;                 // sent, or prepared under `key`
  std::vector<unsigned> types;      // of the parameters; empty: the server's choice
  std::vector<std::string> texts;   // the parameters' values as text
  std::vector<const char*> values;  // into `texts`; null for NULL
  std::string name;                 // the prepared statement; "": unnamed
};

void PgDriver::NameBatchStatements(std::vector<Outgoing>* batch) {
  if (pooled()) return;
  std::unordered_map<std::string_view, int> uses;
  for (const Outgoing& o : *batch)
    if (!o.key.empty()) ++uses[o.key];
  for (Outgoing& o : *batch) {
    if (o.key.empty()) continue;
    if (const std::string* kept = statements_.Find(o.key)) {
      o.name = *kept;
      continue;
    }
    if (uses[o.key] < 2 && seen_.insert(o.key).second) {
      // First sight: unnamed, as RunPrepared sends it.
      if (seen_.size() > kCachedStatements * 4) seen_ = {o.key};
      continue;
    }
    std::string fresh = "q6s" + std::to_string(++prepared_seq_);
    Result prep(PQprepare(conn_, fresh.c_str(), o.text.c_str(), static_cast<int>(o.values.size()),
                          o.types.empty() ? nullptr : o.types.data()));
    Answered();
    if (!prep || PQresultStatus(prep.get()) != PGRES_COMMAND_OK) ThrowError(conn_, prep.get());
    o.name = *statements_.Put(o.key, std::move(fresh));
  }
  // A batch with more repeated texts than the cache keeps may have pushed
  // out a statement named above: that one goes unnamed after all.
  for (Outgoing& o : *batch) {
    if (o.name.empty()) continue;
    const std::string* kept = statements_.Find(o.key);
    if (!kept || *kept != o.name) o.name.clear();
  }
}

void PgDriver::DoExecuteBatch(std::span<const Batched> batch, std::vector<ResultSet>* done) {
  // Each statement with its values bound: the caller's parameters, else its
  // literals, taken out as a single statement would have them (so that the
  // batch shares the prepared statements of single runs), else none.
  std::vector<Outgoing> out(batch.size());
  ParameterizedSql literals;
  for (size_t i = 0; i < batch.size(); ++i) {
    const Translation& sql = batch[i].sql;
    Sending(sql.native);
    Outgoing& o = out[i];
    if (!sql.params.empty()) {
      o.key = o.text = sql.native;
      o.texts.resize(sql.params.size());
      o.values.assign(sql.params.size(), nullptr);
      for (size_t j = 0; j < sql.params.size(); ++j)
        if (ParamText(sql.params[j], &o.texts[j])) o.values[j] = o.texts[j].c_str();
    } else if (ParameterizeLiterals(sql, engine(), &literals) && !literals.params.empty()) {
      LiteralKey(literals, &o.key, &o.types);
      o.text = std::move(literals.text);
      for (LiteralParam& p : literals.params) o.texts.push_back(std::move(p.value));
      for (const std::string& t : o.texts) o.values.push_back(t.c_str());
    } else {
      o.text = sql.native;
    }
    if (!o.values.empty()) {
      o.texts.resize(o.values.size());
      CutDateParams(o.text, o.types, &o.texts, &o.values);
    }
  }
  NameBatchStatements(&out);
  // Every statement goes (named, or unnamed and parsed where it runs), then
  // one Sync: the server answers them all at once. After a failure it skips
  // the rest up to the Sync (PGRES_PIPELINE_ABORTED). A pooled connection
  // outside a transaction sends the transaction's settings first.
  const bool settings = StartsTransaction();
  if (PQenterPipelineMode(conn_) != 1) ThrowError(conn_, nullptr);
  bool sent = !settings || SendSettings();
  for (size_t i = 0; sent && i < out.size(); ++i) {
    const Outgoing& o = out[i];
    const int n = static_cast<int>(o.values.size());
    sent = (o.name.empty() ? PQsendQueryParams(conn_, o.text.c_str(), n,
                                               o.types.empty() ? nullptr : o.types.data(),
                                               o.values.data(), nullptr, nullptr, 0)
                           : PQsendQueryPrepared(conn_, o.name.c_str(), n, o.values.data(), nullptr,
                                                 nullptr, 0)) == 1;
  }
  sent = sent && PQpipelineSync(conn_) == 1;
  std::optional<ComError> failure;
  std::optional<std::string> stale;
  for (size_t i = 0; sent && settings && i < settings_.size(); ++i) {
    Result res(PQgetResult(conn_));
    sent = res != nullptr;
    while (PGresult* more = PQgetResult(conn_)) PQclear(more);
    if (sent && !failure && PQresultStatus(res.get()) != PGRES_COMMAND_OK) try {
        Collect(conn_, res.release(), lock_context_);
      } catch (const ComError& e) {
        failure = e;
      }
  }
  for (size_t i = 0; sent && i < batch.size(); ++i) {
    PGresult* res = PQgetResult(conn_);
    if (!res) {
      sent = false;
      break;
    }
    while (PGresult* more = PQgetResult(conn_)) PQclear(more);  // up to the end of this one
    if (failure) {
      PQclear(res);
      continue;
    }
    if (!out[i].name.empty() && Stale(res)) stale = out[i].key;
    try {
      done->push_back(Collected(res));
    } catch (const ComError& e) {
      failure = e;
    }
  }
  // The Sync's own result ends the exchange.
  while (sent) {
    Result res(PQgetResult(conn_));
    if (!res || PQresultStatus(res.get()) == PGRES_PIPELINE_SYNC) break;
  }
  Answered();
  const bool left = PQexitPipelineMode(conn_) == 1;
  // A kept statement the server no longer takes is prepared afresh next
  // time; this batch has failed with its error.
  if (left && stale) statements_.Erase(*stale);
  if (!left || !sent) {
    if (failure) throw *failure;
    ThrowError(conn_, nullptr);
  }
  if (failure) throw *failure;
}

Driver::ServerSession PgDriver::ThisServerSession() {
  // A pooled connection's statements run in whichever server session the
  // pooler hands it: it has none of its own.
  if (pooled()) return {};
  if (session_.pid == 0) {
    ResultSet r = Execute(
        "SELECT pid, backend_start::text FROM pg_stat_activity WHERE pid = pg_backend_pid()");
    if (r.row_count == 1) session_ = {r.cells[0].ToLong(), r.cells[1].ToString()};
  }
  return session_;
}

std::optional<bool> PgDriver::ServerSessionExists(const ServerSession& s) {
  ResultSet r = ExecuteParams("SELECT backend_start::text FROM pg_stat_activity WHERE pid = $1",
                              {Variant(static_cast<int32_t>(s.pid))});
  if (r.row_count == 0) return false;
  if (r.cells[0].IsNull() || s.started.empty()) return std::nullopt;
  return r.cells[0].ToString() == s.started;
}

std::vector<std::string> PgDriver::ExclusionStatements(const ExclusiveResource& resource) const {
  std::vector<std::string> out;
  if (const int ms = resource.max_wait_ms; ms > 0)
    out.push_back("SET LOCAL lock_timeout = '" +
                  (ms % 1000 ? std::to_string(ms) + "ms" : std::to_string(ms / 1000) + "s") + "'");
  if (resource.kind == ExclusiveResource::Kind::kTableWriters)
    out.push_back("LOCK TABLE " + resource.name + " IN SHARE ROW EXCLUSIVE MODE");
  else
    out.push_back("select pg_advisory_xact_lock(hashtext(" + Literal(resource.name) + "))");
  return out;
}

std::string PgDriver::WithRowLock(std::string select) const {
  size_t end = select.find_last_not_of(" \t\r\n;");
  select.erase(end == std::string::npos ? 0 : end + 1);
  constexpr std::string_view kForUpdate = " FOR UPDATE";
  const bool has =
      select.size() >= kForUpdate.size() &&
      std::equal(kForUpdate.rbegin(), kForUpdate.rend(), select.rbegin(),
                 [](char a, char b) { return a == std::toupper(static_cast<unsigned char>(b)); });
  if (!has) select += kForUpdate;
  return select;
}

std::string PgDriver::PrimaryKeyQuery() const {
  return "SELECT a.attname FROM pg_index i JOIN pg_attribute a ON a.attrelid = i.indrelid "
         "AND a.attnum = ANY(i.indkey) WHERE i.indrelid = to_regclass($1) AND i.indisprimary "
         "ORDER BY array_position(i.indkey::int2[], a.attnum)";
}

}  // namespace q6::postgres
