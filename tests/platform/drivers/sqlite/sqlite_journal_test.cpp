// Opening a SQLite database leaves it in WAL mode whatever journal it had,
// including when the file is already in WAL mode and the switch is skipped,
// and an open of a file that is no database still fails at open.
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

std::string JournalMode(Driver& d) {
  return d.Execute("PRAGMA journal_mode").cells.at(0).ToString();
}

struct JournalCase {
  const char* name;
  const char* before;  // the mode the file is left in, "" for no file
};

class SqliteJournalOnOpen : public ::testing::TestWithParam<JournalCase> {
 protected:
  void SetUp() override {
    path_ = ::testing::TempDir() + "q6journal_" + std::to_string(::getpid()) + "_" +
            GetParam().name + ".db";
    Remove();
  }
  void TearDown() override { Remove(); }
  void Remove() {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
      std::remove((path_ + suffix).c_str());
  }
  std::string path_;
};

TEST_P(SqliteJournalOnOpen, EveryOpenRunsInWal) {
  const JournalCase& c = GetParam();
  if (*c.before) {
    auto setup = Open(path_);
    setup->Execute("create table t (k integer)");
    setup->Execute(std::string("PRAGMA journal_mode=") + c.before);
    ASSERT_EQ(JournalMode(*setup), c.before);
  }
  for (int round = 0; round < 2; ++round) {
    auto d = Open(path_);
    EXPECT_EQ(JournalMode(*d), "wal") << "open " << round;
    // Reads and writes work on the schema a skipped switch did not read.
    d->Execute("create table if not exists t (k integer)");
    d->Execute("insert into t values (1)");
    EXPECT_EQ(d->Execute("select count(*) from t").cells.at(0).ToString(),
              std::to_string(round + 1));
  }
}

INSTANTIATE_TEST_SUITE_P(Sqlite, SqliteJournalOnOpen,
                         ::testing::Values(JournalCase{"NewFile", ""},
                                           JournalCase{"RollbackJournal", "delete"},
                                           JournalCase{"Truncate", "truncate"},
                                           JournalCase{"AlreadyWal", "wal"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SqliteJournalOnOpenRefusal, FileThatIsNoDatabaseFailsAtOpen) {
  const std::string path =
      ::testing::TempDir() + "q6journal_" + std::to_string(::getpid()) + "_foreign.db";
  {
    std::ofstream out(path, std::ios::binary);
    out << std::string(4096, '\x02');  // the bytes WAL mode writes, but no header
  }
  EXPECT_THROW(Open(path), ComError);
  std::remove(path.c_str());
}

}  // namespace
}  // namespace q6
