// A SQLite database on a disk that fills up in the middle of a metadata
// save: the save answers False and writes why to the statement trace
// ("database or disk is full"), nothing of it stays, the database is still
// readable and sound, and once there is room again the same save succeeds.
//
// The disk is a small tmpfs mounted in a mount namespace of the test
// process's own (so it is gone with the process, whatever happens); that
// needs the right to mount, and the test is skipped without it.
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>

#include <filesystem>

#include "metadata_edits.h"
#include "platform/trace/trace.h"
#include "workers.h"

namespace q6::test {
namespace {

// A new type with `fields` fields whose captions are long enough to need
// many pages.
std::shared_ptr<EntityObject> BigType(DataManager& dm, const std::string& source, int fields) {
  std::shared_ptr<EntityObject> eo = NewTypeLike(dm, source, 95, "大单据类型");
  const std::shared_ptr<EntityField> pattern = eo->Fields()->Item(1);
  for (int i = 0; i < fields; ++i) {
    std::shared_ptr<EntityField> f = pattern->CloneDefinition();
    f->SetID(Variant(int32_t{9600 + i}));
    f->SetName(Variant("extra" + std::to_string(i)));
    f->SetCaption(Variant(std::string(400, 'x') + std::to_string(i)));
    eo->Fields()->Add(f);
  }
  return eo;
}

// Fills the file system of `path` (a new file) until it refuses, then gives
// back `spare` bytes.
void FillUp(const std::string& path, off_t spare) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0);
  const std::string block(4096, 'f');
  off_t size = 0;
  for (ssize_t n; (n = ::write(fd, block.data(), block.size())) > 0;) size += n;
  ASSERT_EQ(errno, ENOSPC);
  ASSERT_EQ(::ftruncate(fd, std::max<off_t>(0, size - spare)), 0);
  ::close(fd);
}

class SqliteDiskFullTest : public ReliabilityTest {
 protected:
  void TearDown() override {
    if (!mount_.empty()) ::umount2(mount_.c_str(), MNT_DETACH);
    ReliabilityTest::TearDown();
  }

  // Mounts a tmpfs of `size` at a folder of the test. Returns "" when the
  // process may not.
  std::string MountSmallDisk(const char* size) {
    const std::string at = folder() + "/disk";
    std::filesystem::create_directory(at);
    if (::unshare(CLONE_NEWNS) != 0) return "";
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return "";
    if (::mount("tmpfs", at.c_str(), "tmpfs", 0, (std::string("size=") + size).c_str()) != 0)
      return "";
    mount_ = at;
    return at;
  }

 private:
  std::string mount_;
};

TEST_P(SqliteDiskFullTest, AFullDiskFailsTheSaveCleanlyAndTheNextSaveWorks) {
  if (engine() != Engine::SQLite) GTEST_SKIP() << "a database file on a full disk is SQLite's";
  const std::string disk = MountSmallDisk("1m");
  if (disk.empty()) GTEST_SKIP() << "no right to mount a small tmpfs: disk-full test skipped";
  UseSharedSource("Driver=sqlite;Database=" + disk + "/full.db");
  InitDataSource(SharedSource());
  SeedSampleData(3);
  const std::vector<std::string> before = DataSnapshot();

  const std::string trace = folder() + "/trace.jsonl";
  SetTraceFile(trace);
  DataManager dm;
  std::shared_ptr<EntityObject> big = BigType(dm, SharedSource(), 300);
  FillUp(disk + "/filler", 8 * 4096);
  const bool saved_when_full = SaveMetadata(dm, SharedSource(), big);
  const char* env_trace = std::getenv("Q6FD_TRACE");
  SetTraceFile(env_trace ? env_trace : "");  // back to the run's own trace

  EXPECT_FALSE(saved_when_full);
  const std::vector<std::string> lines = ReadLines(trace);
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
    return l.find("database or disk is full") != std::string::npos;
  })) << "the statement trace does not say the disk is full";
  EXPECT_EQ(DataSnapshot(), before);
  EXPECT_EQ(IntegrityCheck(), "ok");

  std::filesystem::remove(disk + "/filler");
  EXPECT_TRUE(SaveMetadata(dm, SharedSource(), big));
  auto con = OpenShared();
  EXPECT_EQ(CountOf(*con, "select count(*) from FD_Fields where iEntityID = 95"), 305);
  EXPECT_EQ(IntegrityCheck(), "ok");
}

Q6_INSTANTIATE_ENGINE_TEST(SqliteDiskFullTest);

}  // namespace
}  // namespace q6::test
