// Two processes saving a new document type under the same caption, on each
// engine: exactly one succeeds, the other is told the caption is taken and
// writes nothing.
//
// Rows: both start at the same moment, many rounds (the race as it comes);
// and the second starts while the first is paused inside its open
// transaction, every row written (the test hook of the save): the second
// must wait for the first instead of checking the caption beside it, and
// then refuse.
#include <chrono>
#include <thread>

#include "component/metadata/save_pause_hook.h"
#include "metadata_edits.h"
#include "platform/msgbox/message_box.h"
#include "workers.h"

namespace q6::test {
namespace {

// Saves a new type `id` under `caption` in a child: exit 0 when the save
// returned True, 1 when False; each message box shown is written to `boxes`.
int SaveNewType(const std::string& source, int32_t id, const std::string& caption,
                const std::string& boxes) {
  SetMessageBoxHandler([&](const std::string& text, const std::string&, int) {
    AppendLine(boxes, text);
    return kMbAnswerOk;
  });
  DataManager dm;
  return SaveMetadata(dm, source, NewTypeLike(dm, source, id, caption)) ? 0 : 1;
}

class CaptionRaceTest : public ReliabilityTest {
 protected:
  void SetUp() override {
    ReliabilityTest::SetUp();
    if (!IsSkipped()) SeedSampleData(1);
  }

  // Checks what a round left: one row with the caption, the winner's fields
  // and none of the loser's, one box shown, by the loser.
  void ExpectOneWinner(const std::string& caption, int32_t first_id, const std::vector<int>& codes,
                       const std::string& boxes) {
    ASSERT_EQ(codes.size(), 2u);
    EXPECT_EQ((codes[0] == 0) + (codes[1] == 0), 1) << "results " << codes[0] << ", " << codes[1];
    EXPECT_EQ((codes[0] == 1) + (codes[1] == 1), 1);
    const int32_t winner = codes[0] == 0 ? first_id : first_id + 1;
    const int32_t loser = codes[0] == 0 ? first_id + 1 : first_id;
    auto con = OpenShared();
    EXPECT_EQ(RowTexts(*con, "select iID from FD_Entities where sCaption = '" + caption + "'"),
              std::vector<std::string>{std::to_string(winner)});
    EXPECT_EQ(
        CountOf(*con, "select count(*) from FD_Fields where iEntityID = " + std::to_string(winner)),
        5);
    EXPECT_EQ(
        CountOf(*con, "select count(*) from FD_Entities where iID = " + std::to_string(loser)) +
            CountOf(*con,
                    "select count(*) from FD_Fields where iEntityID = " + std::to_string(loser)),
        0);
    EXPECT_EQ(ReadLines(boxes), std::vector<std::string>{"单据类型名称不能重复!"});
  }
};

TEST_P(CaptionRaceTest, SavedAtTheSameMomentExactlyOneSucceeds) {
  const std::string& source = SharedSource();
  const int rounds = SoakRun() ? 100 : 10;
  for (int r = 0; r < rounds; ++r) {
    SCOPED_TRACE("round " + std::to_string(r));
    const int32_t id = 100 + 2 * r;
    const std::string caption = "同名单据 " + std::to_string(r);
    const std::string boxes = folder() + "/boxes" + std::to_string(r);
    Workers workers;
    for (int32_t i : {id, id + 1})
      workers.Spawn([&, i] { return SaveNewType(source, i, caption, boxes); });
    ExpectOneWinner(caption, id, workers.WaitAll(std::chrono::seconds(60)), boxes);
  }
}

TEST_P(CaptionRaceTest, SecondSaverWaitsForTheFirstsTransactionThenRefuses) {
  const std::string& source = SharedSource();
  const std::string caption = "同名单据";
  const std::string pause = folder() + "/paused";
  const std::string boxes = folder() + "/boxes";
  Workers workers;
  pid_t first = workers.Spawn(
      [&] {
        SetSavePauseHook(PauseWhileFileExists(pause));
        return SaveNewType(source, 200, caption, boxes);
      },
      false);
  ASSERT_TRUE(WaitForFile(pause, std::chrono::seconds(20))) << "the first save never paused";
  pid_t second = workers.Spawn([&] { return SaveNewType(source, 201, caption, boxes); }, false);
  // Well inside SQLite's busy timeout: the second saver must still be
  // waiting, not past its caption check.
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  EXPECT_TRUE(workers.Running(second)) << "the second save did not wait";
  ::unlink(pause.c_str());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  std::vector<int> codes{workers.Wait(first, deadline), workers.Wait(second, deadline)};
  EXPECT_EQ(codes, (std::vector<int>{0, 1}));
  ExpectOneWinner(caption, 200, codes, boxes);
}

Q6_INSTANTIATE_ENGINE_TEST(CaptionRaceTest);

}  // namespace
}  // namespace q6::test
