// ADODB.Connection: one open connection to a data source.
//
// Typed use:
//   auto con = std::make_shared<Connection>();
//   con->Open("demo");                              // name, "DSN=demo" or connection string
//   auto rs = con->Execute("select * from FD_Entities where iID = 51");
//   con->BeginTrans(); ...; con->CommitTrans();
// Late-bound use goes through the same methods (Interface()).
//
// Every statement text passes through the dialect layer (TranslateSql) for
// the connection's engine before it is sent, and is traced (Q6FD_TRACE).
// A Connection belongs to the thread that created it. Closing it (or
// destroying it) rolls back a transaction still open.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/datasource/data_source.h"
#include "runtime/dispatch.h"
#include "runtime/export.h"

namespace q6 {

class Driver;
class Recordset;
struct BatchedStatement;
struct ResultSet;
struct Translation;

// ObjectStateEnum.
enum AdoState : int32_t { kAdStateClosed = 0, kAdStateOpen = 1 };
// ExecuteOptionEnum: no recordset wanted.
constexpr int32_t kAdExecuteNoRecords = 0x80;
// This layer's own option bit: run the text only when it holds a single
// statement (Driver::ExecuteOne), for statements completed with a caller's
// condition or column list.
constexpr int32_t kExecuteOneStatement = 0x10000;
// This layer's own option bit: the text is one SELECT whose rows stay
// locked until the transaction ends (Driver::WithRowLock), asked for
// explicitly instead of left to how the dialect reads a lock hint.
constexpr int32_t kExecuteLockingRows = 0x20000;

class Q6FD_API Connection : public Dispatchable {
 public:
  static const Guid kClsid;
  static const Guid kIid;

  Connection();
  ~Connection() override;
  // The member table, shared by every Connection.
  static const InterfaceInfo& Info();
  const InterfaceInfo& Interface() const override { return Info(); }

  // Opens `source` (or ConnectionString when `source` is empty). Raises
  // 3705 when already open; E_FAIL (0x80004005) for an unknown data source
  // (naming it and the file searched) or an engine that refuses the
  // connection. A password never appears in the message.
  void Open(const std::string& source = "");
  // Opens `ds`, which the caller resolved from `text` (ResolveDataSource);
  // ConnectionString becomes `text`. Raises as Open does, but nothing of the
  // resolver's: the text is not looked up again.
  void OpenResolved(DataSource ds, const std::string& text);

  // Runs `sql` (T-SQL as the business code builds it). A statement that
  // returns rows gives an open, read-only Recordset holding all of them;
  // any other statement gives a closed Recordset, or nullptr when `options`
  // has kAdExecuteNoRecords. `records_affected`, when given, receives the
  // number of rows changed (Long; -1 for statements that return rows).
  // With kExecuteOneStatement in `options` a text holding more than one
  // statement is refused (E_FAIL) before any of it runs. With
  // kExecuteLockingRows the rows read stay locked until the transaction ends.
  // Raises 3709 when closed; E_FAIL with the engine's message when the
  // statement fails.
  std::shared_ptr<Recordset> Execute(const std::string& sql, Variant* records_affected = nullptr,
                                     int32_t options = -1);

  // Runs `statement`, already in the engine's dialect with its values (if
  // any) to bind, and gives its rows as Execute does; `built` is the text
  // it was made from, for the trace. Only kAdExecuteNoRecords of `options`
  // is read. Raises 3709 when closed; E_FAIL with the engine's message.
  std::shared_ptr<Recordset> ExecuteTranslated(const Translation& statement,
                                               const std::string& built,
                                               Variant* records_affected = nullptr,
                                               int32_t options = -1);

  // Starts a transaction; returns its level (1). Raises 0x8004D013 when one
  // is already open, 3709 when closed.
  int32_t BeginTrans();
  // Raise 0x8004D00E ("no transaction is active") when none is open.
  void CommitTrans();
  void RollbackTrans();

  // For steps that must not interleave with others (ExclusiveTransaction):
  // BeginTrans, then `natives` (statements in the engine's own dialect,
  // results unread), and the other way round, `writes` then CommitTrans.
  // Each goes to the engine as one batch (Driver::ExecuteBatch: one
  // exchange on PostgreSQL). A failure raises the engine's error; a
  // transaction that was begun stays open for the caller to roll back.
  int32_t BeginTransWith(const std::vector<std::string>& natives);
  void CommitTransAfter(const std::vector<BatchedStatement>& writes);
  // `sql` (T-SQL) as one statement of a batch: translated as Execute
  // translates it, the text as built kept for the trace.
  BatchedStatement Batched(const std::string& sql) const;

  // Closes the connection (rolling back an open transaction). Raises 3704
  // when already closed.
  void Close();
  // kAdStateOpen or kAdStateClosed.
  int32_t State() const { return driver_ ? kAdStateOpen : kAdStateClosed; }

  // The text Open uses when called without one. Raises 3705 on an open
  // connection for the put.
  std::string ConnectionString() const;
  void PutConnectionString(const std::string& s);

  // The connection an ActiveConnection value names: a Connection object,
  // or a data-source text for a new connection, opened now; nullptr for
  // Empty, Missing, Null, Nothing or "". Raises 3001 (naming `source`) for
  // any other value, and as Open when the text cannot be opened.
  static std::shared_ptr<Connection> Of(const Variant& connection, const std::string& source);

  // --- for the data access layer and the connection pool ---
  // Raises 3709 when closed.
  Engine engine() const;
  Driver& driver() const;
  // False when closed or when the engine no longer answers. Never raises.
  bool IsAlive();
  // The same, as a pool asks it before handing the connection out again
  // (Driver::StillAlive: no round trip where the engine can tell without).
  bool StillAlive();
  // Whether a transaction is open.
  bool InTransaction() const;
  // The resolved data source (no password in Describe()).
  const DataSource& data_source() const { return ds_; }
  // Runs `built` (translated for the engine) and returns the raw result.
  ResultSet Run(const std::string& built);

 private:
  // The Recordset (or nullptr) and the rows affected Execute gives for `r`.
  static std::shared_ptr<Recordset> Finish(ResultSet&& r, Variant* records_affected,
                                           int32_t options);
  // Late-bound faces of the typed methods.
  void DispOpen(std::string& ConnectionString, std::string& UserID, std::string& Password,
                int32_t Options);
  std::shared_ptr<Recordset> DispExecute(std::string& CommandText, Variant& RecordsAffected,
                                         int32_t Options);
  int32_t DispState() { return State(); }
  std::string DispConnectionString() { return ConnectionString(); }
  void DispPutConnectionString(std::string& s) { PutConnectionString(s); }

  std::string connection_string_;
  DataSource ds_;
  std::unique_ptr<Driver> driver_;
};

}  // namespace q6
