// ConnectionManager: hands out open connections for data-source names, one
// instance per apartment (ApartmentConnectionManager()).
//
// Connections are pooled per data source within the apartment: a released
// connection is handed out again on the next request for the same name after
// a liveness check; one that broke (a server restart, say) is dropped and
// replaced. A connection released inside an open transaction is rolled back
// first, so the next user never inherits someone else's work. A process
// forked from one that used the pool never uses the parent's connections: it
// opens its own, and the parent's server sessions stay the parent's.
//
// Errors (HRESULTs): an unknown data source or a failing open raises the data
// access layer's error (0x80004005 with the engine's or resolver's text).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "runtime/dispatch.h"
#include "runtime/internal_export.h"

namespace q6 {

class Connection;

class Q6FD_INTERNAL ConnectionManager final : public Dispatchable {
 public:
  ConnectionManager();
  ~ConnectionManager() override;
  const InterfaceInfo& Interface() const override;

  // An open Connection for `dsn`.
  ObjectRef OpenConnection(Variant& dsn);
  // Fills `con` with an open Connection for `dsn`; `n` is accepted and
  // ignored. Returns True.
  bool GetConnection(Variant& dsn, Variant& con, int32_t& n);
  // Takes back a connection from either request and empties `con`. An empty
  // variable, Nothing or a closed connection is accepted and ignored.
  void ReleaseConnection(Variant& con);

  // Connections waiting in the pool, all data sources (for tests and admin).
  size_t IdleCount() const;

 private:
  std::shared_ptr<Connection> Take(const std::string& dsn);
  std::map<std::string, std::vector<std::shared_ptr<Connection>>> idle_;
};

Q6FD_INTERNAL std::shared_ptr<ConnectionManager> ApartmentConnectionManager();

// A connection taken from the apartment's ConnectionManager for one scope:
// requested on construction (GetConnection, or OpenConnection when asked)
// and given back with ReleaseConnection when the scope ends, on every path.
class Q6FD_INTERNAL ConnectionLease {
 public:
  enum class Request { kGetConnection, kOpenConnection };
  explicit ConnectionLease(const Variant& dsn, Request how = Request::kGetConnection);
  ~ConnectionLease();
  ConnectionLease(const ConnectionLease&) = delete;
  ConnectionLease& operator=(const ConnectionLease&) = delete;

  Connection& operator*() const { return *get(); }
  Connection* operator->() const { return get(); }
  Connection* get() const;
  // The connection variable, as the callers pass it on.
  Variant& variable() { return con_; }

 private:
  std::shared_ptr<ConnectionManager> cm_;
  Variant con_;
};

}  // namespace q6
