// UnlockIt on both engines: the release statement of every level, which
// rows it removes, and when nothing happens.
#include "locks_fixture.h"
#include "outside/services/connection_manager.h"

namespace q6::test {
namespace {

class UnlockItTest : public LocksTest {
 protected:
  // Six locks told apart by their digest "1" to "6".
  void PutSix() {
    Put({"r1", "u1", "w1", "fd", "7", "1"});
    Put({"r2", "u2", "w1", "fd", "7", "2"});
    Put({"p", "u1", "w2", "fd", "6", "3"});
    Put({"p", "u2", "w2", "other", "6", "4"});
    Put({"_m", "", "", "fd", "5", "5"});
    Put({"_h&u", "", "w1", "x", "4", "6"});
  }
  std::string Remaining() {
    std::string s;
    for (const LockRow& r : Rows()) s += r.digest;
    std::sort(s.begin(), s.end());
    return s;
  }
};

TEST_P(UnlockItTest, EveryLevelSendsItsStatementAndRemovesItsRows) {
  struct Row {
    int32_t level;
    std::string id, user, ws, mod;
    std::string statement, remaining;
  } rows[] = {
      {1, "", "u1", "w1", "fd", "delete From FD_Locks", ""},
      {2, "", "", "W2", "", "delete From FD_Locks Where workstation_name = 'w2'", "1256"},
      {3, "", "U2", "", "", "delete From FD_Locks Where user_name = 'u2'", "1356"},
      {4, "", "", "w1", "", "delete From FD_Locks Where user_name = '' and workstation_name = 'w1'",
       "12345"},
      {4, "", "u1", "", "", "delete From FD_Locks Where user_name = 'u1' and workstation_name = ''",
       "123456"},
      {5, "", "", "", "fd", "delete From FD_Locks Where mod_name = 'fd'", "46"},
      // The module name is compared as passed; both engines' columns ignore case.
      {5, "", "", "", "FD", "delete From FD_Locks Where mod_name = 'FD'", "46"},
      {5, "", "U1", "", "fd", "delete From FD_Locks Where mod_name = 'fd' and user_name='u1'",
       "2456"},
      {5, "", "u1", "w2", "fd",
       "delete From FD_Locks Where mod_name = 'fd' and user_name='u1' and WorkStation_name='w2'",
       "12456"},
      {6, "P", "", "", "", "delete From FD_Locks Where locks_id = 'p'", "1256"},
      {6, "p", "u1", "W2", "",
       "delete From FD_Locks Where locks_id = 'p' and user_name='u1' and "
       "WorkStation_name='w2'",
       "12456"},
      {6, "p", "", "w2", "", "delete From FD_Locks Where locks_id = 'p' and WorkStation_name='w2'",
       "1256"},
      // A record lock goes whoever holds it.
      {7, "R2", "u1", "w9", "zz", "delete From FD_Locks Where locks_id = 'r2'", "13456"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.statement);
    Exec("delete from FD_Locks");
    PutSix();
    StatementCapture cap;
    EXPECT_TRUE(Unlock(r.level, r.id, r.user, r.ws, r.mod));
    EXPECT_EQ(cap.Sql(), std::vector<std::string>{r.statement});
    EXPECT_EQ(Remaining(), r.remaining);
  }
}

// Module names in any alphabet compare without case on both engines.
TEST_P(UnlockItTest, ModuleInAnotherCaseIsReleasedInAnyAlphabet) {
  Put({"r1", "u1", "w1", "Продажи", "7", "1"});
  Put({"r2", "u1", "w1", "Ärger", "7", "2"});
  EXPECT_TRUE(Unlock(5, "", "", "", "ПРОДАЖИ"));
  EXPECT_TRUE(Unlock(5, "", "", "", "äRGER"));
  EXPECT_EQ(Remaining(), "");
}

TEST_P(UnlockItTest, NothingToBuildReturnsFalseWithoutAConnection) {
  struct Row {
    int32_t level;
    std::string id, user, ws, mod;
  } rows[] = {
      {7, "", "u", "w", "m"},  {6, "", "u", "w", "m"},  {3, "x", "", "w", "m"},
      {2, "x", "u", "", "m"},  {4, "x", "", "", "m"},   {5, "x", "u", "w", ""},
      {0, "x", "u", "w", "m"}, {8, "x", "u", "w", "m"},
  };
  PutSix();
  auto cm = ApartmentConnectionManager();
  for (const Row& r : rows) {
    SCOPED_TRACE(r.level);
    size_t idle = cm->IdleCount();
    StatementCapture cap;
    EXPECT_FALSE(Unlock(r.level, r.id, r.user, r.ws, r.mod));
    EXPECT_TRUE(cap.Sql().empty());
    EXPECT_EQ(cm->IdleCount(), idle);
  }
  EXPECT_EQ(Remaining(), "123456");
}

TEST_P(UnlockItTest, ErrorsPassThroughAndTheConnectionIsGivenBack) {
  Exec("drop table FD_Locks");
  auto cm = ApartmentConnectionManager();
  size_t idle = cm->IdleCount();
  try {
    Unlock(7, "r1");
    ADD_FAILURE() << "no error";
  } catch (const ComError& e) {
    EXPECT_EQ(e.hr(), E_FAIL);  // the engine's own error, not the lock error
  }
  EXPECT_EQ(cm->IdleCount(), idle + 1);
}

Q6_INSTANTIATE_ENGINE_TEST(UnlockItTest);

}  // namespace
}  // namespace q6::test
