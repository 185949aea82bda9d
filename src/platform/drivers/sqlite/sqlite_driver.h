// The SQLite driver: the sqlite3 C API on a database file.
#pragma once

#include <memory>
#include <string>

#include "platform/drivers/driver.h"

struct sqlite3;

namespace q6::sqlite {

class SqliteDriver : public Driver {
 public:
  // Opens (creating if needed) the database file `path` with the WAL
  // journal, a busy timeout of 5 seconds and foreign keys on. Raises E_FAIL
  // when the file cannot be opened.
  explicit SqliteDriver(const std::string& path);
  ~SqliteDriver() override;

  Engine engine() const override { return Engine::SQLite; }
  std::string Placeholder(int n) const override { return "?" + std::to_string(n); }
  bool InTransaction() const override;
  bool IsAlive() override { return db_ != nullptr; }

  static constexpr int kBusyTimeoutMs = 5000;

 protected:
  ResultSet DoExecute(const std::string& native) override;
  ResultSet DoExecuteParams(const std::string& native, const std::vector<Variant>& params) override;
  const char* BeginText() const override { return "BEGIN IMMEDIATE"; }
  std::string PrimaryKeyQuery() const override;

 private:
  sqlite3* db_ = nullptr;
};

}  // namespace q6::sqlite
