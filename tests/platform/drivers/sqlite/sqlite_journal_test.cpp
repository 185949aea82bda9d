// Opening a SQLite database leaves it in WAL mode whatever journal it had
// (the switch is skipped for a file already in WAL mode), and a file that is
// no database is refused at open.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "platform/datasource/data_source.h"
#include "platform/drivers/driver.h"
#include "runtime/com_error.h"

namespace q6 {
namespace {

std::unique_ptr<Driver> Open(const std::string& path) {
  DataSource ds;
  ds.engine = Engine::SQLite;
  ds.database = path;
  return OpenDriver(ds);
}

TEST(SqliteJournalOnOpen, EveryOpenRunsInWalAndForeignFilesAreRefused) {
  // "" : no file; "foreign": the bytes WAL mode writes in a header, but no header.
  for (const std::string before : {"", "delete", "truncate", "wal", "foreign"}) {
    SCOPED_TRACE(before);
    const std::string path = ::testing::TempDir() + "q6journal_" + std::to_string(::getpid()) +
                             "_" + (before.empty() ? "new" : before) + ".db";
    if (before == "foreign") {
      std::ofstream(path, std::ios::binary) << std::string(4096, '\x02');
      EXPECT_THROW(Open(path), ComError);
    } else if (!before.empty()) {
      auto setup = Open(path);
      setup->Execute("create table t (k integer); PRAGMA journal_mode=" + before);
      ASSERT_EQ(setup->Execute("PRAGMA journal_mode").cells.at(0).ToString(), before);
    }
    for (int round = 0; round < 2 && before != "foreign"; ++round) {
      auto d = Open(path);
      EXPECT_EQ(d->Execute("PRAGMA journal_mode").cells.at(0).ToString(), "wal");
      d->Execute("create table if not exists t (k integer); insert into t values (1)");
      EXPECT_EQ(d->Execute("select count(*) from t").cells.at(0).ToString(),
                std::to_string(round + 1));
    }
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
      std::remove((path + suffix).c_str());
  }
}

}  // namespace
}  // namespace q6
