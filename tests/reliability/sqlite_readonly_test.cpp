// A SQLite database file that may not be written: every writing call fails
// with an error that says the database is read-only (a method that answers
// False or a fixed text by design writes it to the statement trace), and the
// file is unchanged and sound afterwards.
//
// Rows: the folder may not be written either (mode 0555): a database in the
// WAL journal cannot even be read then, since its shared-memory file cannot
// be made beside it, and the reads fail with an error that names the folder;
// only the file is read-only (mode 0444): the reads work; a database in the
// rollback journal on read-only media (file and folder): the reads work, in
// the journal mode the file has.
//
// The superuser may write any file whatever its mode, so when the tests run
// as root the calls run in a child that has given up its rights for those of
// the unprivileged user "nobody".
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>

#include "platform/trace/trace.h"
#include "road.h"
#include "workers.h"

namespace q6::test {
namespace {

constexpr const char* kRefused = "Error 0x80004005 attempt to write a readonly database";
constexpr const char* kLockRefused = "Error 0x80040C1E 由于并发原因不能进行操作！";

struct ReadOnlyCall {
  const char* call;
  const char* unreadable;  // what the outcome begins with, per kind of row
  const char* readable;
};

const ReadOnlyCall kCalls[] = {
    {"LoadEOMetaData", kRefused, "True"},   {"GetData", kRefused, "True"},
    {"SaveEOMetaData", kRefused, "False"},  {"GetNewOID", kRefused, kRefused},
    {"LockIt", kLockRefused, kLockRefused}, {"UnlockIt", kRefused, kRefused},
    {"Save", kRefused, kRefused},
};

struct ReadOnlyRow {
  const char* name;
  const char* journal_mode;
  mode_t folder_mode;
  bool readable;
};

const ReadOnlyRow kRows[] = {
    {"FolderReadOnlyToo", "WAL", 0555, false},
    {"FileReadOnly", "WAL", 0777, true},
    {"ReadOnlyMediaRollbackJournal", "DELETE", 0555, true},
};

// Gives up root for "nobody". Returns false when that fails.
bool DropRoot() {
  if (::geteuid() != 0) return true;
  const passwd* pw = ::getpwnam("nobody");
  if (!pw) return false;
  return ::setgroups(0, nullptr) == 0 && ::setgid(pw->pw_gid) == 0 && ::setuid(pw->pw_uid) == 0;
}

class SqliteReadOnlyTest : public ReliabilityTest {
 protected:
  void TearDown() override {
    ::chmod(folder().c_str(), 0700);  // so that the fixture can remove it
    ReliabilityTest::TearDown();
  }

  // The database's files (the file itself and its journal files) made
  // read-only or writable again.
  void SetDatabaseMode(mode_t mode) {
    for (const char* suffix : {"", "-wal", "-shm"}) {
      const std::string path = folder() + "/shared.db" + suffix;
      if (std::filesystem::exists(path)) {
        ASSERT_EQ(::chmod(path.c_str(), mode), 0) << path;
      }
    }
  }
};

TEST_P(SqliteReadOnlyTest, WritesAreRefusedClearlyAndTheFileIsUnchanged) {
  if (engine() != Engine::SQLite) GTEST_SKIP() << "a read-only database file is SQLite's";
  const std::string& source = SharedSource();
  SeedSampleData(3);
  const std::vector<std::string> before = DataSnapshot();
  const std::string db = folder() + "/shared.db";

  for (const ReadOnlyRow& row : kRows) {
    SCOPED_TRACE(row.name);
    {
      auto con = OpenShared();  // the only connection: the mode can change
      con->Execute(std::string("PRAGMA journal_mode=") + row.journal_mode);
    }
    struct stat st_before {};
    ASSERT_EQ(::stat(db.c_str(), &st_before), 0);
    // The child reports into a folder of its own.
    const std::string reports = folder() + "/" + row.name;
    ASSERT_EQ(::mkdir(reports.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(reports.c_str(), 0777), 0);
    SetDatabaseMode(0444);
    ASSERT_EQ(::chmod(folder().c_str(), row.folder_mode), 0);
    Workers child;
    child.Spawn(
        [&] {
          if (!DropRoot()) return 10;
          for (const ReadOnlyCall& c : kCalls) {
            SetTraceFile(reports + "/" + c.call + ".trace");
            AppendLine(reports + "/outcomes",
                       Outcome([&] { return RoadCallNamed(c.call).call(source); }));
          }
          return 0;
        },
        false);
    EXPECT_EQ(child.WaitAll(std::chrono::seconds(60)), std::vector<int>{0});
    ASSERT_EQ(::chmod(folder().c_str(), 0700), 0);
    SetDatabaseMode(0644);
    struct stat st_after {};
    ASSERT_EQ(::stat(db.c_str(), &st_after), 0);
    EXPECT_EQ(st_after.st_mtim.tv_sec, st_before.st_mtim.tv_sec);
    EXPECT_EQ(st_after.st_mtim.tv_nsec, st_before.st_mtim.tv_nsec);
    EXPECT_EQ(st_after.st_size, st_before.st_size);

    const std::vector<std::string> outcomes = ReadLines(reports + "/outcomes");
    ASSERT_EQ(outcomes.size(), std::size(kCalls));
    for (size_t i = 0; i < outcomes.size(); ++i) {
      const ReadOnlyCall& c = kCalls[i];
      SCOPED_TRACE(c.call);
      std::printf("[ figures  ] %s: %s -> %s\n", row.name, c.call, outcomes[i].c_str());
      const char* expected = row.readable ? c.readable : c.unreadable;
      EXPECT_EQ(outcomes[i].rfind(expected, 0), 0u) << outcomes[i];
      if (!row.readable && expected == kRefused) {
        EXPECT_NE(outcomes[i].find("folder"), std::string::npos) << outcomes[i];
      }
      // A False or a fixed text hides the cause: the trace must tell it.
      if (outcomes[i] == "False" || expected == kLockRefused) {
        const std::vector<std::string> trace = ReadLines(reports + "/" + c.call + ".trace");
        EXPECT_TRUE(std::any_of(trace.begin(), trace.end(), [](const std::string& l) {
          return l.find("readonly database") != std::string::npos;
        })) << "the statement trace does not say the database is read-only";
      }
    }
  }
  EXPECT_EQ(DataSnapshot(), before);
  EXPECT_EQ(IntegrityCheck(), "ok");
}

Q6_INSTANTIATE_ENGINE_TEST(SqliteReadOnlyTest);

}  // namespace
}  // namespace q6::test
