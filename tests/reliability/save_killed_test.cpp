// A process killed with SIGKILL in the middle of SaveEOMetaData, on each
// engine: the save is paused by the test hook inside its transaction with
// every row written (entity rows, deleted and re-inserted field rows, the
// child's), then killed. Afterwards the metadata is exactly as before, and
// the same save by another process succeeds at once instead of waiting on
// the dead process's lock.
//
// Rows: an edit of an existing type with its lines (update path, child
// saved in the same transaction); a new type (insert path).
#include <chrono>
#include <functional>

#include "component/metadata/save_pause_hook.h"
#include "metadata_edits.h"
#include "workers.h"

namespace q6::test {
namespace {

struct KilledSaveCase {
  const char* name;
  // Builds the entity to save (in the child that saves it).
  std::function<std::shared_ptr<EntityObject>(DataManager&, const std::string&)> make;
  // A statement whose first column is 1 once the save has landed.
  const char* landed_sql;
};

const KilledSaveCase kCases[] = {
    {"EditOfTypeWithLines",
     [](DataManager& dm, const std::string& source) {
       return EditedPayment(dm, source, "付款单 (新)");
     },
     "select count(*) from FD_Entities where iID = 53 and sCaption = '付款单 (新)'"},
    {"NewType",
     [](DataManager& dm, const std::string& source) {
       return NewTypeLike(dm, source, 90, "新单据类型");
     },
     "select count(*) from FD_Entities where iID = 90"},
};

// What a saving child does: 0 when the save returned True, 1 when False.
int Save(const std::string& source, const KilledSaveCase& c) {
  DataManager dm;
  return SaveMetadata(dm, source, c.make(dm, source)) ? 0 : 1;
}

class SaveKilledTest : public ReliabilityTest {};

TEST_P(SaveKilledTest, MetadataIsAsBeforeAndTheNextSaveDoesNotWait) {
  const std::string& source = SharedSource();
  SeedSampleData(1);
  for (const KilledSaveCase& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::string> before = MetadataSnapshot();
    const std::string pause = folder() + "/" + c.name + ".paused";
    {
      Workers workers;
      pid_t saver = workers.Spawn(
          [&] {
            SetSavePauseHook(PauseWhileFileExists(pause));
            return Save(source, c);
          },
          false);
      ASSERT_TRUE(WaitForFile(pause, std::chrono::seconds(20))) << "the save never paused";
      workers.Kill(saver);
    }
    EXPECT_EQ(MetadataSnapshot(), before) << "the killed save left something behind";

    // The same save, by another process, without the pause: it must not
    // wait for the dead one (SQLite would wait its busy timeout, 5 s, on a
    // write lock that stayed; PostgreSQL on an advisory lock).
    const auto started = std::chrono::steady_clock::now();
    Workers next;
    next.Spawn([&] { return Save(source, c); }, false);
    EXPECT_EQ(next.WaitAll(std::chrono::seconds(60)), std::vector<int>{0});
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
    auto con = OpenShared();
    EXPECT_EQ(CountOf(*con, c.landed_sql), 1);
    EXPECT_NE(MetadataSnapshot(), before);
  }
  EXPECT_EQ(IntegrityCheck(), "ok");
}

Q6_INSTANTIATE_ENGINE_TEST(SaveKilledTest);

}  // namespace
}  // namespace q6::test
