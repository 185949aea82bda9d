// The PostgreSQL driver: libpq on one server connection.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/datasource/data_source.h"
#include "platform/drivers/driver.h"
#include "platform/drivers/statement_cache.h"

struct pg_conn;
struct pg_result;

namespace q6::postgres {

class PgColumnTypes;

// Owns a libpq result.
struct ResultDeleter {
  void operator()(pg_result* r) const;
};
using Result = std::unique_ptr<pg_result, ResultDeleter>;

class PgDriver : public Driver {
 public:
  // Connects to `ds` (Server, Port, Database, UID, PWD, Schema) in UTF-8,
  // with the session's waits bounded as the data source says (LockTimeout,
  // StatementTimeout, IdleInTransactionTimeout) and keepalives on both
  // sides. A statement whose lock wait runs out raises E_FAIL saying how
  // long it waited ("Waited 5000 ms (LockTimeout) ...", SQLSTATE 55P03).
  // Raises E_FAIL with libpq's message when the server cannot be reached or
  // refuses the login. A database whose T-SQL compatibility schema is
  // missing or older than this build's gets it installed (when the login may).
  explicit PgDriver(const DataSource& ds);
  ~PgDriver() override;

  Engine engine() const override { return Engine::PostgreSQL; }
  std::string Placeholder(int n) const override { return "$" + std::to_string(n); }
  // Tracked by libpq from the server's own transaction status, so it stays
  // right when a statement inside a transaction fails.
  bool InTransaction() const override;
  // COPY ... FROM STDIN (postgres/bulk_load.cpp).
  std::unique_ptr<BulkLoad> OpenBulkLoad(const std::string& table,
                                         const std::vector<std::string>& columns) override;
  // Sends an empty statement; false when the server went away.
  bool IsAlive() override;
  // Without a round trip when the server answered in the last two seconds
  // and nothing has come from it since; IsAlive otherwise.
  bool StillAlive() override;

  bool SendsBatchesTogether() const override { return true; }

  // From the catalogue, a table at a time as statements name them
  // (pg_column_types.h), kept until this connection changes a table's shape
  // (CREATE, ALTER, DROP, COMMENT), rolls back, or a statement fails as
  // one naming what is not there (SQLSTATE class 42), and read again once
  // 200 ms old (PgColumnTypes::kFollowEvery), so that another session's
  // change of a table is seen within that time. Made on first use.
  dialect::ColumnTypes* column_types() override;

  // From pg_stat_activity: pg_backend_pid() and its backend_start (cached).
  ServerSession ThisServerSession() override;
  // No row for the pid: false; a row whose backend_start differs (the pid
  // was reused): false; the same start: true; a start this login may not
  // see: nullopt.
  std::optional<bool> ServerSessionExists(const ServerSession& s) override;
  // A table's writers are shut out by LOCK TABLE in SHARE ROW EXCLUSIVE
  // mode (it conflicts with itself and with writers, not with readers); a
  // name by a transaction-level advisory lock on its hash, which the server
  // drops at commit or rollback, or when the session dies. A wait limit
  // becomes the transaction's lock_timeout.
  std::vector<std::string> ExclusionStatements(const ExclusiveResource& resource) const override;
  // Appends FOR UPDATE, unless the select already ends with it.
  std::string WithRowLock(std::string select) const override;
  // A btree entry holds at most 2704 bytes, its 8-byte header and the
  // text's 4-byte length included (texts are not compressed in this count).
  size_t MaxIndexedTextBytes() const override { return 2692; }

  // The libpq conninfo text for `ds` (password included: never show it).
  static std::string ConnInfo(const DataSource& ds);

 protected:
  ResultSet DoExecute(const std::string& native) override;
  ResultSet DoExecuteOne(const std::string& native) override;
  void DoCheckOne(const std::string& native) override;
  ResultSet DoExecuteParams(const std::string& native,
                            std::span<const Variant* const> params) override;
  // Prepares the text unnamed and asks the server for its parameters' types.
  std::vector<int32_t> DoParameterTypes(const std::string& native) override;
  std::optional<ResultSet> DoExecuteLiterals(const ParameterizedSql& sql) override;
  // The pipeline: every statement of the batch, one Sync, then the answers.
  void DoExecuteBatch(std::span<const Batched> batch, std::vector<ResultSet>* done) override;
  const char* BeginText() const override { return "BEGIN"; }
  std::string PrimaryKeyQuery() const override;

 private:
  void BringTsqlCompatUpToDate();
  // Before `text` is sent: the column types kept are dropped when it may
  // change them (its first word is CREATE, ALTER, DROP, COMMENT or
  // ROLLBACK).
  void Sending(std::string_view text);
  // Drops the column types kept when `res` is the server's refusal of a
  // statement for a name or type it does not know (SQLSTATE class 42).
  void ForgetTypesOn(const pg_result* res);
  // Collect (the result or its error), after ForgetTypesOn.
  ResultSet Collected(pg_result* res);
  // Runs the statement kept under `key`, preparing `text` with `types`
  // first when there is none. A kept statement the server no longer takes
  // (a table it reads changed shape or types, or it was deallocated) is prepared
  // again and run once more when no transaction is open; inside one the
  // error is raised, as the transaction has failed anyway. A text the
  // server refuses to prepare gives nullopt when `quiet` and no transaction
  // is open (the caller then sends the statement as written, so that its
  // error is the statement's own); otherwise the error is raised.
  std::optional<ResultSet> RunPrepared(const std::string& key, const std::string& text,
                                       const std::vector<unsigned>& types,
                                       const std::vector<const char*>& values, bool quiet);

  // The types the server gives the parameters of `text` (prepared unnamed
  // with `types`, 0 or none for the server's choice, and described). Raises
  // the server's error for a text it refuses.
  std::vector<unsigned> ServerParamTypes(const std::string& text,
                                         const std::vector<unsigned>& types);
  // Values of `text`'s parameters (`values`, null for NULL) that hold a
  // time with more than six fractional digits are cut to six where the
  // server reads a timestamp or time (its input would round the seventh,
  // even into the next day): the cut text goes into (*texts)[i] and
  // (*values)[i] points at it. Only a statement with such a value is
  // described (ServerParamTypes); a text the server refuses is left to the
  // run that follows, which reports it, unless a transaction is open (the
  // refusal has failed it: its error is raised here).
  void CutDateParams(const std::string& text, const std::vector<unsigned>& types,
                     std::vector<std::string>* texts, std::vector<const char*>* values);

  // One statement of a batch as it goes out (pg_driver.cpp).
  struct Outgoing;
  // Names the prepared statement each statement of `batch` runs as (left
  // "": sent unnamed): statements kept already, and those the batch sends
  // more than once or this session has sent before, prepared here (before
  // the pipeline, one round trip each) and kept.
  void NameBatchStatements(std::vector<Outgoing>* batch);

  // Notes that the server just answered (IsAlive trusts a recent answer).
  void Answered();

  // Pooler=transaction: the connection's server session may be another
  // client's between two transactions.
  bool pooled() const { return !settings_.empty(); }
  // Queues the transaction's settings in pipeline mode; false when libpq
  // refused.
  bool SendSettings();
  // Pooled and outside a transaction: the next statement starts one, and the
  // transaction's settings go with it.
  bool StartsTransaction() const;
  // The simple and the extended query, the settings first when the
  // statement starts a transaction. The caller owns the result.
  pg_result* Exec(const std::string& text);
  pg_result* ExecParams(const std::string& text, int n, const unsigned* types,
                        const char* const* values);
  // In pipeline mode: the transaction's settings when `settings`, the
  // requests `send` queues, one Sync; the answers to those `count` requests
  // (null for those that never came; the settings' error in place of the
  // first when the server refused them).
  std::vector<Result> Pipelined(bool settings, size_t count, const std::function<bool()>& send);

  pg_conn* conn_ = nullptr;
  std::chrono::steady_clock::time_point last_answer_;
  int64_t prepared_seq_ = 0;
  StatementCache<std::string> statements_;  // key -> server-side name
  std::unordered_set<std::string> seen_;    // keys run once, not yet kept
  std::string lock_context_;
  ServerSession session_;                        // what a statement whose lock wait ran out says
  std::vector<std::string> settings_;            // pooled: the statements a transaction starts with
  std::string settings_text_;                    // the same as one text
  std::unique_ptr<PgColumnTypes> column_types_;  // null until asked for
};

}  // namespace q6::postgres
