// Connection: opening a data source, running statements, transactions.
#include "platform/adodb/connection.h"

#include "platform/adodb/ado_errors.h"
#include "platform/adodb/recordset.h"
#include "platform/adodb/thread_cached.h"
#include "platform/adodb/typed_translation.h"
#include "platform/adodb/write_transactions.h"
#include "platform/drivers/driver.h"

namespace q6 {
namespace {
constexpr const char* kSource = "ADODB.Connection";
}  // namespace

Connection::Connection() = default;

Connection::~Connection() {
  // Closing rolls back an open transaction; the engine does it when the
  // session ends, so destruction only has to end the session.
  ForgetWriteTransaction(this);
  driver_.reset();
}

void Connection::Open(const std::string& source) {
  if (driver_) ThrowAdo(kAdoObjectOpen, kSource);
  std::string text = source.empty() ? connection_string_ : source;
  OpenResolved(ResolveDataSource(text), text);
}

void Connection::OpenResolved(DataSource ds, const std::string& text) {
  if (driver_) ThrowAdo(kAdoObjectOpen, kSource);
  driver_ = OpenDriver(ds);
  ds_ = std::move(ds);
  connection_string_ = text;
}

std::shared_ptr<Connection> Connection::Of(const Variant& connection, const std::string& source) {
  const Variant& c = connection.Deref();
  if (c.IsObject() && c.object()) {
    auto con = As<Connection>(c.object());
    if (!con) ThrowAdo(kAdoInvalidArgument, source, "ActiveConnection is not a Connection");
    return con;
  }
  if (c.type() == VarType::String && !c.string().empty()) {
    auto con = std::make_shared<Connection>();
    con->Open(c.string());
    return con;
  }
  if (!(c.IsObject() || c.IsEmpty() || c.IsMissing() || c.IsNull() || c.type() == VarType::String))
    ThrowAdo(kAdoInvalidArgument, source, "ActiveConnection is not a Connection");
  return nullptr;
}

Engine Connection::engine() const { return driver().engine(); }

Driver& Connection::driver() const {
  if (!driver_) ThrowAdo(kAdoConnectionClosed, kSource);
  return *driver_;
}

bool Connection::IsAlive() {
  return driver_ && !driver_->InheritedAcrossFork() && driver_->IsAlive();
}

bool Connection::StillAlive() {
  return driver_ && !driver_->InheritedAcrossFork() && driver_->StillAlive();
}

ResultSet Connection::Run(const std::string& built) {
  Driver& d = driver();
  return d.Execute(TranslateFor(d, built), built);
}

std::shared_ptr<Recordset> Connection::Execute(const std::string& sql, Variant* records_affected,
                                               int32_t options) {
  ResultSet r;
  if (options != -1 && (options & kExecuteLockingRows)) {
    Driver& d = driver();
    Translation t = TranslateFor(d, sql);
    std::string locked = d.WithRowLock(t.native);
    if (locked != t.native) t.Replace(std::move(locked));
    r = d.ExecuteOne(t, sql);
  } else if (options != -1 && (options & kExecuteOneStatement)) {
    Driver& d = driver();
    r = d.ExecuteOne(TranslateFor(d, sql), sql);
  } else {
    r = Run(sql);
  }
  return Finish(std::move(r), records_affected, options);
}

std::shared_ptr<Recordset> Connection::ExecuteTranslated(const Translation& statement,
                                                         const std::string& built,
                                                         Variant* records_affected,
                                                         int32_t options) {
  return Finish(driver().Execute(statement, built), records_affected, options);
}

std::shared_ptr<Recordset> Connection::Finish(ResultSet&& r, Variant* records_affected,
                                              int32_t options) {
  if (records_affected)
    *records_affected = Variant(static_cast<int32_t>(r.has_rows ? -1 : r.rows_affected));
  if (options != -1 && (options & kAdExecuteNoRecords)) return nullptr;
  auto rs = MakeThreadCached<Recordset>();
  if (r.has_rows) rs->Attach(std::move(r));
  return rs;
}

int32_t Connection::BeginTrans() {
  driver().Begin();
  NoteWriteTransaction(this);
  return 1;
}

int32_t Connection::BeginTransWith(const std::vector<std::string>& natives) {
  Driver& d = driver();
  try {
    d.BeginWith(natives);
  } catch (...) {
    // Begun, with a statement after the begin failed: still a transaction
    // of this connection until the caller rolls it back.
    if (d.InTransaction()) NoteWriteTransaction(this);
    throw;
  }
  NoteWriteTransaction(this);
  return 1;
}

bool Connection::InTransaction() const { return driver_ && driver_->InTransaction(); }

void Connection::CommitTransAfter(const std::vector<BatchedStatement>& writes) {
  driver().CommitAfter(writes);
  ForgetWriteTransaction(this);
}

BatchedStatement Connection::Batched(const std::string& sql) const {
  return {TranslateFor(driver(), sql), sql};
}

void Connection::CommitTrans() {
  driver().Commit();
  ForgetWriteTransaction(this);
}

void Connection::RollbackTrans() {
  driver().Rollback();
  ForgetWriteTransaction(this);
}

void Connection::Close() {
  if (!driver_) ThrowAdo(kAdoObjectClosed, kSource);
  if (driver_->InTransaction()) {
    try {
      driver_->Rollback();
    } catch (const ComError&) {
      // The session ends below, which rolls back on the server as well.
    }
  }
  ForgetWriteTransaction(this);
  driver_.reset();
}

std::string Connection::ConnectionString() const { return connection_string_; }

void Connection::PutConnectionString(const std::string& s) {
  if (driver_) ThrowAdo(kAdoObjectOpen, kSource);
  connection_string_ = s;
}

}  // namespace q6
