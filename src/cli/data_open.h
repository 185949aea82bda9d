// The data source a command names: resolved once, reached through one
// connection that the command and the component's methods share.
//
// A command makes one CommandSource of its DSN argument. The constructor
// resolves the name once (ResolveDataSource), checks the database, opens one
// connection on that resolution and leaves it in the apartment's connection
// pool under the name. The component's methods take the name and get their
// connections from that pool (ConnectionManager), so they run on this same
// connection, unless a method keeps one connection while it asks for
// another (LoadEOMetaData loads a child type that way, and the pool opens a
// second one then). The command's own statements lease the connection from
// the pool (Lease()); a lease must end, and the recordsets read on it be let
// go, before the next component call, or that call opens a connection of its
// own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "outside/services/connection_manager.h"
#include "platform/datasource/data_source.h"
#include "runtime/variant.h"

namespace q6 {
class EntityObject;
}  // namespace q6

namespace q6::cli {

// Whether a command may create the SQLite database file it names.
enum class Creates { kNothing, kDatabase };

class CommandSource {
 public:
  // Resolves `dsn` and opens a connection to it. With Creates::kNothing it
  // raises first, before anything is opened, when `dsn` names an SQLite
  // database file that is not there, is empty or is a folder: the message
  // names the path and says that q6fd init creates it, and the kind is
  // connection lost (a database that is not there cannot be reached, as a
  // server that is not). Server databases are left to their server. Raises
  // what resolving and opening raise.
  CommandSource(std::string dsn, Creates creates = Creates::kNothing);
  CommandSource(const CommandSource&) = delete;
  CommandSource& operator=(const CommandSource&) = delete;

  // The name as the command line gave it.
  const std::string& name() const { return name_; }
  // The same, as the component's methods take it.
  Variant Name() const { return Variant(name_); }
  // What the name resolved to.
  const DataSource& resolved() const { return resolved_; }

  // The connection, from the pool, until the lease ends.
  ConnectionLease Lease() const;

  // Raises with a hint (q6fd init, q6fd seed) when the metadata tables are
  // missing.
  void RequireTables() const;

  // Type `bitype` with its child type (LoadEOMetaData), after RequireTables;
  // raises NotFound naming the type when it is not defined.
  std::shared_ptr<EntityObject> LoadType(int32_t bitype) const;

 private:
  std::string name_;
  DataSource resolved_;
};

}  // namespace q6::cli
