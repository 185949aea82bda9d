// Opening the data source a command names.
#pragma once

#include <memory>
#include <string>

#include "cli/command.h"

namespace q6 {
class Connection;
class EntityObject;
}  // namespace q6

namespace q6::cli {

// For a command that only reads: raises when `dsn` names an SQLite database
// file that is not there, is empty or is a folder, so that opening it
// creates nothing. The message names the path and says how to create it
// (q6fd init). Server databases are left to their server.
void RequireExistingDatabase(const std::string& dsn);

// An open connection to `dsn`; for Access::kRead the database must exist.
std::shared_ptr<Connection> Open(const std::string& dsn, Access access);

// Raises with a hint when the metadata tables are missing.
void RequireTables(Connection& con, const std::string& dsn);

// Type `bitype` of `dsn` with its child type (LoadEOMetaData), after the
// checks above; raises naming the type when it is not defined.
std::shared_ptr<EntityObject> LoadType(const std::string& dsn, int32_t bitype);

}  // namespace q6::cli
