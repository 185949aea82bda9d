// ConnectionManager: a pool of open connections per data source, per
// apartment.
//
// Requests take an idle connection of the same data source when one is alive
// and open a new one otherwise; releases put connections back. The pool lives
// in the apartment (thread) that uses it, so it needs no lock.
//
// In a process forked after the pool was filled, the idle connections are
// the parent's: a connection counts as alive only in the process that opened
// it, so the child drops them (without ending the parent's sessions) and
// opens its own.
#include "outside/services/connection_manager.h"

#include "platform/adodb/connection.h"
#include "platform/drivers/driver.h"
#include "runtime/binder.h"
#include "runtime/class_table.h"

namespace q6 {

namespace {

const InterfaceInfo& ConnectionManagerInterface() {
  using C = ConnectionManager;
  static const InterfaceInfo info{
      "_ConnectionManager",
      Guid::Of("{7A3E51C0-2B44-4C10-8D0E-5F6A7B8C9D11}"),
      {
          Method<C>("OpenConnection", 0x60030000, &C::OpenConnection, {Req("dsn")}, "Connection"),
          Method<C>("GetConnection", 0x60030001, &C::GetConnection,
                    {Req("dsn"), Req("con"), Opt("n", 20)}),
          Method<C>("ReleaseConnection", 0x60030002, &C::ReleaseConnection, {Req("con")}),
      }};
  return info;
}

const ClassRegistrar kRegistrar({
    "Q6Sys.ConnectionManager",
    "ConnectionManager",
    Guid::Of("{7A3E51C0-2B44-4C10-8D0E-5F6A7B8C9D10}"),
    ConnectionManagerInterface,
    [] { return ObjectRef(ApartmentConnectionManager()); },
});

// Idle connections kept per data source; more are closed on release.
constexpr size_t kMaxIdlePerSource = 8;

std::string SourceText(const Variant& dsn) {
  std::string s = dsn.ToString();
  if (s.empty()) Throw(E_FAIL, "No data source name given");
  return s;
}

}  // namespace

ConnectionManager::ConnectionManager() = default;
ConnectionManager::~ConnectionManager() = default;

const InterfaceInfo& ConnectionManager::Interface() const { return ConnectionManagerInterface(); }

std::shared_ptr<Connection> ConnectionManager::Take(const std::string& dsn) {
  auto it = idle_.find(dsn);
  while (it != idle_.end() && !it->second.empty()) {
    std::shared_ptr<Connection> con = std::move(it->second.back());
    it->second.pop_back();
    if (con->StillAlive()) return con;
    // A connection that broke while idle (a server restart) is dropped.
  }
  auto con = std::make_shared<Connection>();
  con->Open(dsn);
  return con;
}

ObjectRef ConnectionManager::OpenConnection(Variant& dsn) { return Take(SourceText(dsn)); }

bool ConnectionManager::GetConnection(Variant& dsn, Variant& con, int32_t& n) {
  con = Variant(ObjectRef(Take(SourceText(dsn))));
  return true;
}

void ConnectionManager::ReleaseConnection(Variant& con) {
  const Variant& v = con.Deref();
  if (!v.IsObject() || !v.object()) {
    con.Deref() = Variant();
    return;
  }
  auto c = As<Connection>(v.object());
  con.Deref() = Variant::Nothing();
  if (!c || c->State() != kAdStateOpen) return;
  // A connection the parent opened before this process forked is let go
  // without a word to its engine (see Driver::InheritedAcrossFork).
  if (c->driver().InheritedAcrossFork()) return;
  if (c->InTransaction()) {
    try {
      c->RollbackTrans();
    } catch (const ComError&) {
      return;  // a connection in an unknown state is not pooled
    }
  }
  // Pool only connections nobody else holds: a caller that kept a copy
  // would otherwise share it with the next user.
  if (c.use_count() > 1) return;
  std::string key = c->ConnectionString();
  auto& list = idle_[key];
  if (list.size() < kMaxIdlePerSource) list.push_back(std::move(c));
}

size_t ConnectionManager::IdleCount() const {
  size_t n = 0;
  for (auto& [k, v] : idle_) n += v.size();
  return n;
}

ConnectionLease::ConnectionLease(const Variant& dsn, Request how)
    : cm_(ApartmentConnectionManager()) {
  Variant name = dsn.Value();
  if (how == Request::kOpenConnection) {
    con_ = Variant(cm_->OpenConnection(name));
  } else {
    int32_t n = 20;
    cm_->GetConnection(name, con_, n);
  }
}

ConnectionLease::~ConnectionLease() { cm_->ReleaseConnection(con_); }

Connection* ConnectionLease::get() const {
  const Variant& v = con_.Deref();
  if (!v.IsObject() || !v.object()) Throw(E_FAIL, "The connection was already given back");
  return static_cast<Connection*>(v.object().get());
}

std::shared_ptr<ConnectionManager> ApartmentConnectionManager() {
  thread_local std::shared_ptr<ConnectionManager> instance = std::make_shared<ConnectionManager>();
  return instance;
}

}  // namespace q6
