// Which locks count as stale: each row is a lock this process took, with its
// holder row then changed to what a dead, restarted, remote or unknown
// holder leaves behind.
#include <sys/wait.h>
#include <unistd.h>

#include <set>

#include "component/locks/lock_admin.h"
#include "locks_fixture.h"
#include "platform/adodb/connection.h"

namespace q6::test {
namespace {

class StaleLocksTest : public LocksTest {};

pid_t ReapedPid() {
  pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  ::waitpid(pid, nullptr, 0);
  return pid;
}

TEST_P(StaleLocksTest, OnlyLocksWhoseHolderIsProvablyGoneAreReleased) {
  struct Row {
    const char* id;
    std::string change;  // applied to the lock's holder row
    bool stale;
  };
  const Row rows[] = {
      {"alive", "", false},
      {"dead", "pid = " + std::to_string(ReapedPid()), true},
      {"restarted", "process_start = process_start || '0'", true},
      {"rebooted", "process_start = 'another-boot/1'", true},
      {"remote", "host = 'elsewhere', backend_pid = null", false},
      {"remote-session-gone", "host = 'elsewhere', backend_pid = 2147483000",
       quirks().server_sessions},
      {"no-holder", "", false},
  };
  for (const Row& r : rows) {
    ASSERT_TRUE(Lock(7, r.id, "u", "w", "m"));
    if (!r.change.empty())
      Exec("update FD_LockHolders set " + r.change + " where locks_id = '" + r.id + "'");
  }
  Exec("delete from FD_LockHolders where locks_id = 'no-holder'");

  auto con = OpenConnection();
  std::set<std::string> listed_gone, released;
  for (const LockView& v : ListLocks(*con))
    if (v.state == HolderState::kGone) listed_gone.insert(v.key.id);
  for (const LockView& v : ReleaseStaleLocks(*con)) released.insert(v.key.id);
  for (const Row& r : rows) {
    SCOPED_TRACE(r.id);
    EXPECT_EQ(listed_gone.count(r.id), r.stale ? 1u : 0u);
    EXPECT_EQ(released.count(r.id), r.stale ? 1u : 0u);
    EXPECT_EQ(Scalar(std::string("select count(*) from FD_Locks where locks_id = '") + r.id + "'")
                  .ToLong(),
              r.stale ? 0 : 1);
  }
  // The trigger took the released locks' holder rows with them.
  EXPECT_EQ(Scalar("select count(*) from FD_LockHolders").ToLong(),
            static_cast<int32_t>(std::size(rows) - released.size() - 1));
}

Q6_INSTANTIATE_ENGINE_TEST(StaleLocksTest);

}  // namespace
}  // namespace q6::test
