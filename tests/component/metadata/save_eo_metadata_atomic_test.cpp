// SaveEOMetaData as one unit: the caption check inside the transaction, the
// message box, children and grandchildren saved in the parent's transaction,
// failures anywhere leaving both tables exactly as they were, the
// connection going back on every path, and two processes racing for one
// new caption.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "outside/services/connection_manager.h"
#include "platform/drivers/driver.h"
#include "save_support.h"
#include "support/metadata_fixture.h"
#include "support/statement_capture.h"

namespace q6::test {
namespace {

constexpr const char* kDuplicateText = "单据类型名称不能重复!";
constexpr const char* kTitle = "HalvoERP-Q6资金管理";

int Occurrences(const std::vector<std::string>& v, const std::string& s) {
  return static_cast<int>(std::count(v.begin(), v.end(), s));
}

class SaveUnitTest : public SaveTest {
 protected:
  // An entity already stored with one field row, for saves that update it.
  void Store(int32_t id, const std::string& caption, int32_t parent = 0) {
    if (!writer_) writer_ = OpenConnection();
    InsertEntity(*writer_, {.id = id,
                            .name = "e" + std::to_string(id),
                            .caption = caption,
                            .source_table = "t",
                            .parent_id = parent,
                            .max_oid = std::to_string(id) + "0000000000007"});
    InsertField(*writer_, {.id = id * 100, .entity_id = id, .name = "stored"});
  }
  // A chain parent -> child -> grandchild of new entities, one field each.
  std::shared_ptr<EntityObject> Chain(int32_t first, int levels) {
    std::shared_ptr<EntityObject> top, below;
    for (int i = levels - 1; i >= 0; --i) {
      int32_t id = first + i;
      auto eo = FullEntity(id, "链" + std::to_string(id));
      eo->Fields()->Add(FullField(id * 100 + 1, id, "f"));
      if (below) eo->ChildEOs()->SetChildEO(below);
      below = eo;
    }
    return below;
  }
  void TearDown() override {
    writer_.reset();
    SaveTest::TearDown();
  }
  std::shared_ptr<Connection> writer_;
};

struct CaptionCase {
  const char* stored;
  const char* saved;
  bool duplicate;
};

TEST_P(SaveUnitTest, DuplicateCaptionIsRefusedWithTheMessage) {
  const CaptionCase cases[] = {
      {"收款单", "收款单", true}, {"O'Brien", "O'Brien", true}, {"O'Brien", "O''Brien", false},
      {"abc", "ABC", true},  // captions compare without regard to case
      {"abc", "abd", false},
  };
  int32_t id = 10;
  for (const CaptionCase& c : cases) {
    SCOPED_TRACE(std::string(c.stored) + " / " + c.saved);
    id += 2;
    Store(id, c.stored);
    auto eo = FullEntity(id + 1, c.saved);
    eo->Fields()->Add(FullField((id + 1) * 100 + 1, id + 1, "f"));
    std::string before = Snapshot();
    MessageBoxRecorder boxes;
    bool saved = Save(eo);
    EXPECT_EQ(saved, !c.duplicate);
    if (c.duplicate) {
      EXPECT_EQ(Snapshot(), before);
      ASSERT_EQ(boxes.shown().size(), 1u);
      EXPECT_EQ(boxes.shown()[0].text, kDuplicateText);
      EXPECT_EQ(boxes.shown()[0].title, kTitle);
      EXPECT_EQ(boxes.shown()[0].style, 64);
    } else {
      EXPECT_TRUE(boxes.shown().empty());
      EXPECT_EQ(EntityRow(id + 1)->Field("sCaption").ToString(), c.saved);
    }
    // Make room for the next case's stored caption.
    Exec("delete from FD_Entities");
    Exec("delete from FD_Fields");
  }
}

TEST_P(SaveUnitTest, ATypeKeepsItsOwnCaption) {
  Store(51, "收款单");
  auto eo = FullEntity(51, "收款单");
  eo->SetEditState(Variant(int32_t{0}));
  MessageBoxRecorder boxes;
  EXPECT_TRUE(Save(eo));
  EXPECT_TRUE(boxes.shown().empty());
  EXPECT_EQ(EntityRow(51)->Field("sName").ToString(), "ent51");
}

TEST_P(SaveUnitTest, StatementsOfANewEntity) {
  auto eo = FullEntity(51, "O'Brien");
  eo->Fields()->Add(FullField(5101, 51, "f"));
  StatementCapture capture;
  ASSERT_TRUE(Save(eo));
  std::vector<std::string> sql = capture.Sql();
  std::vector<std::string> expected = {"BeginTrans"};
  if (engine() == Engine::PostgreSQL) {
    expected.push_back("select pg_advisory_xact_lock(hashtext('Q6FDMgr.SaveEOMetaData'))");
  }
  expected.push_back(
      "select count(1) from fd_entities where sCaption='O''Brien' and iBIType <> 51");
  expected.push_back("select * from FD_Entities where 1>1");
  expected.push_back("INSERT INTO FD_Entities");
  expected.push_back("Delete From FD_Fields Where iEntityID = 51");
  expected.push_back("select * from FD_Fields where 1>1");
  expected.push_back("INSERT INTO FD_Fields");
  expected.push_back("CommitTrans");
  // The rows' own statements are the data access layer's; their start is
  // enough here.
  for (std::string& s : sql)
    if (s.rfind("INSERT INTO ", 0) == 0) s = s.substr(0, s.find(" ("));
  EXPECT_EQ(sql, expected);
}

TEST_P(SaveUnitTest, UpdateOfAMissingRowChangesNothing) {
  // Field rows without their entity row: the update fails, and the deletion
  // of the field rows must not stand either.
  auto con = OpenConnection();
  InsertField(*con, {.id = 5101, .entity_id = 51, .name = "orphan"});
  auto eo = FullEntity(51, "收款单");
  eo->SetEditState(Variant(int32_t{0}));
  eo->Fields()->Add(FullField(5102, 51, "new"));
  std::string before = Snapshot();
  MessageBoxRecorder boxes;
  EXPECT_FALSE(Save(eo));
  EXPECT_EQ(Snapshot(), before);
  EXPECT_TRUE(boxes.shown().empty());
}

TEST_P(SaveUnitTest, ChildAndGrandchildInOneTransaction) {
  auto top = Chain(61, 3);
  StatementCapture capture;
  ASSERT_TRUE(Save(top));
  for (int32_t id : {61, 62, 63}) {
    EXPECT_EQ(EntityRow(id)->Field("sCaption").ToString(), "链" + std::to_string(id));
    EXPECT_EQ(Count("select count(*) from FD_Fields where iEntityID = " + std::to_string(id)), 1);
  }
  std::vector<std::string> sql = capture.Sql();
  EXPECT_EQ(Occurrences(sql, "BeginTrans"), 1);
  EXPECT_EQ(Occurrences(sql, "CommitTrans"), 1);
  EXPECT_EQ(Occurrences(sql, "select * from FD_Entities where 1>1"), 3);
}

TEST_P(SaveUnitTest, OptionalArgumentsByNameSaveTheChild) {
  auto top = Chain(61, 2);
  Variant result = dm_->Call("SaveEOMetaData", {Variant(dsn()), Variant(ObjectRef(top))});
  EXPECT_TRUE(result.ToBool());
  EXPECT_EQ(Count("select count(*) from FD_Entities"), 2);
}

TEST_P(SaveUnitTest, SetChildEOFalseSavesTheParentOnly) {
  auto top = Chain(61, 3);
  ASSERT_TRUE(Save(top, /*only_eo=*/false, /*set_child=*/false));
  EXPECT_EQ(Count("select count(*) from FD_Entities"), 1);
  EXPECT_EQ(Count("select count(*) from FD_Fields"), 1);
}

struct ChildFailure {
  const char* name;
  int level;       // 1 the child, 2 the grandchild
  bool duplicate;  // a caption in use; else an update without a row
};

TEST_P(SaveUnitTest, AFailingDescendantRollsEverythingBack) {
  const ChildFailure failures[] = {
      {"child caption in use", 1, true},
      {"grandchild caption in use", 2, true},
      {"child row missing", 1, false},
      {"grandchild row missing", 2, false},
  };
  Store(61, "旧父");
  Store(90, "占用");
  for (const ChildFailure& f : failures) {
    SCOPED_TRACE(f.name);
    auto top = Chain(61, 3);
    top->SetEditState(Variant(int32_t{0}));  // the stored parent is updated
    std::shared_ptr<EntityObject> failing = top->ChildEOs()->ChildEO();
    if (f.level == 2) failing = failing->ChildEOs()->ChildEO();
    if (f.duplicate)
      failing->SetCaption(Variant("占用"));
    else
      failing->SetEditState(Variant(int32_t{0}));
    std::string before = Snapshot();
    MessageBoxRecorder boxes;
    EXPECT_FALSE(Save(top));
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(boxes.shown().size(), f.duplicate ? 1u : 0u);
  }
}

TEST_P(SaveUnitTest, TheConnectionGoesBackOnEveryPath) {
  auto pool = ApartmentConnectionManager();
  Store(51, "收款单");
  auto ok = FullEntity(52, "新");
  ASSERT_TRUE(Save(ok));
  const size_t idle = pool->IdleCount();
  ASSERT_GE(idle, 1u);

  MessageBoxRecorder boxes;
  auto dup = FullEntity(53, "收款单");
  EXPECT_FALSE(Save(dup));
  EXPECT_EQ(pool->IdleCount(), idle) << "after a duplicate caption";
  auto missing = FullEntity(54, "无");
  missing->SetEditState(Variant(int32_t{0}));
  EXPECT_FALSE(Save(missing));
  EXPECT_EQ(pool->IdleCount(), idle) << "after a failed update";
  auto failing_child = Chain(70, 2);
  failing_child->ChildEOs()->ChildEO()->SetCaption(Variant("收款单"));
  EXPECT_FALSE(Save(failing_child));
  EXPECT_EQ(pool->IdleCount(), idle) << "after a failing child";
  Variant d(dsn());
  ObjectRef nothing;
  bool only_eo = false, child = true;
  EXPECT_FALSE(dm_->SaveEOMetaData(d, nothing, only_eo, child));
  EXPECT_EQ(pool->IdleCount(), idle) << "after Nothing as the entity";

  // Nothing is left locked: another connection writes at once.
  Exec("update FD_Entities set sName = 'free' where iID = 51");
}

TEST_P(SaveUnitTest, NoConnectionIsFalseWithoutAnError) {
  auto eo = FullEntity(51, "收款单");
  std::string nowhere = engine() == Engine::PostgreSQL
                            ? "Driver=postgresql;Server=/nonexistent;Port=1;Database=x"
                            : "Driver=sqlite;Database=/nonexistent/folder/x.db";
  EXPECT_FALSE(SaveTo(nowhere, eo));
  EXPECT_FALSE(SaveTo("no-such-source", eo));
}

// One process's attempt: waits for the start signal on `go`, saves a new
// entity under `caption`, answers with the exit code 0 (saved), 1 (refused)
// or 2 (an error escaped).
int Attempt(const std::string& dsn, int go, int32_t id, const std::string& caption) {
  SetMessageBoxHandler([](const std::string&, const std::string&, int) { return kMbAnswerOk; });
  char c = 0;
  if (::read(go, &c, 1) != 1) return 3;
  try {
    auto dm = std::make_shared<DataManager>();
    auto eo = FullEntity(id, caption);
    eo->Fields()->Add(FullField(id * 100 + 1, id, "f"));
    Variant d(dsn);
    ObjectRef ref = eo;
    bool only_eo = false, child = true;
    return dm->SaveEOMetaData(d, ref, only_eo, child) ? 0 : 1;
  } catch (...) {
    return 2;
  }
}

TEST_P(SaveUnitTest, TwoProcessesSavingOneNewCaptionOneWins) {
  constexpr int kRounds = 5;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const std::string caption = "竞争" + std::to_string(round);
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    std::fflush(nullptr);
    std::vector<pid_t> children;
    for (int i = 0; i < 2; ++i) {
      pid_t pid = ::fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        ::close(go[1]);
        _exit(Attempt(dsn(), go[0], 100 + round * 2 + i, caption));
      }
      children.push_back(pid);
    }
    ::close(go[0]);
    // Both are waiting at the read: release them together.
    ASSERT_EQ(::write(go[1], "xx", 2), 2);
    ::close(go[1]);
    std::vector<int> codes;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (pid_t pid : children) {
      int status = 0;
      while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
          ::kill(pid, SIGKILL);
          ::waitpid(pid, &status, 0);
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      codes.push_back(WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status));
    }
    std::sort(codes.begin(), codes.end());
    EXPECT_EQ(codes, (std::vector<int>{0, 1}));
    EXPECT_EQ(Count("select count(*) from FD_Entities where sCaption = '" + caption + "'"), 1);
    // The loser wrote no field rows either.
    EXPECT_EQ(Count("select count(*) from FD_Fields where iEntityID in (select iID from "
                    "FD_Entities where sCaption = '" +
                    caption + "')"),
              1);
    EXPECT_EQ(Count("select count(*) from FD_Fields"), round + 1);
  }
}

Q6_INSTANTIATE_ENGINE_TEST(SaveUnitTest);

}  // namespace
}  // namespace q6::test
