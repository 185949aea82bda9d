// Which locks count as stale: each row is a lock this process took, with its
// holder row then changed to what another holder leaves behind (a dead or
// restarted process, another machine, boot or PID namespace with a running
// or lapsed lease, an earlier release's row, an administrator's lock, a row
// that cannot be read).
#include <sys/wait.h>
#include <unistd.h>

#include <set>

#include "component/locks/lock_admin.h"
#include "component/locks/lock_lease.h"
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

// A renewal `seconds` ago, on the server's clock, as an update of the row.
std::string RenewedAgo(Engine engine, int seconds) {
  const std::string ago = std::to_string(seconds);
  return "renewed_at = " + (engine == Engine::PostgreSQL
                                ? "to_char(now() at time zone 'UTC' - interval '" + ago +
                                      " seconds', 'YYYY-MM-DD HH24:MI:SS')"
                                : "strftime('%Y-%m-%d %H:%M:%S', 'now', '-" + ago + " seconds')");
}

TEST_P(StaleLocksTest, OnlyLocksWhoseHolderIsProvablyGoneAreReleased) {
  const std::string fresh = RenewedAgo(engine(), 5);
  const std::string lapsed = RenewedAgo(engine(), kLeaseSeconds + 60);
  const std::string dead = "pid = " + std::to_string(ReapedPid());
  const std::string earlier = "machine_id = null, pid_ns = null, renewed_at = null";
  struct Row {
    const char* id;
    std::string change;  // applied to the lock's holder row
    HolderState state;
  };
  const Row rows[] = {
      {"alive", "", HolderState::kAlive},
      {"dead", dead, HolderState::kGone},
      {"restarted", "process_start = process_start || '0'", HolderState::kGone},
      {"other-boot-leased", "process_start = 'another-boot/1', " + fresh, HolderState::kAlive},
      {"other-boot-lapsed", "process_start = 'another-boot/1', " + lapsed, HolderState::kGone},
      {"clone-leased", "machine_id = 'cloned', " + dead + ", " + fresh, HolderState::kAlive},
      {"container-leased", "pid_ns = 'pid:[1]', " + dead + ", " + fresh, HolderState::kAlive},
      {"container-lapsed", "pid_ns = 'pid:[1]', " + lapsed, HolderState::kGone},
      {"remote-leased", "host = 'elsewhere', " + fresh, HolderState::kAlive},
      {"remote-lapsed", "host = 'elsewhere', " + lapsed, HolderState::kGone},
      {"earlier-alive", earlier, HolderState::kAlive},
      {"earlier-dead", earlier + ", " + dead, HolderState::kUnknown},
      {"administrator", "holder_kind = 'administrator', " + dead, HolderState::kAdministrator},
      {"unreadable", "pid = null", HolderState::kUnknown},
      {"no-holder", "", HolderState::kUnknown},
  };
  for (const Row& r : rows) {
    ASSERT_TRUE(Lock(7, r.id, "u", "w", "m"));
    if (!r.change.empty())
      Exec("update FD_LockHolders set " + r.change + " where " + HolderOf(r.id));
  }
  Exec("delete from FD_LockHolders where " + HolderOf("no-holder"));

  auto con = OpenConnection();
  std::map<std::string, HolderState> listed;
  for (const LockView& v : ListLocks(*con)) listed[v.key.id] = v.state;
  std::set<std::string> released;
  for (const LockView& v : ReleaseStaleLocks(*con)) released.insert(v.key.id);
  for (const Row& r : rows) {
    SCOPED_TRACE(r.id);
    const bool stale = r.state == HolderState::kGone;
    EXPECT_EQ(StateName(listed[r.id]), std::string(StateName(r.state)));
    EXPECT_EQ(released.count(r.id), stale ? 1u : 0u);
    EXPECT_EQ(Scalar(std::string("select count(*) from FD_Locks where locks_id = '") + r.id + "'")
                  .ToLong(),
              stale ? 0 : 1);
  }
  // The trigger took the released locks' holder rows with them.
  EXPECT_EQ(Scalar("select count(*) from FD_LockHolders").ToLong(),
            static_cast<int32_t>(std::size(rows) - released.size() - 1));
}

// A released lock's holder row never vouches for a later lock of the same
// texts that another program takes without one, even while the row is
// still there (PostgreSQL drops it at the next lease round) and names a
// dead process.
TEST_P(StaleLocksTest, AReleasedLocksHolderNeverVouchesForALaterLock) {
  ASSERT_TRUE(Lock(7, "again", "u", "w", "m"));
  ASSERT_TRUE(Unlock(7, "again", "u", "w", "m"));
  Exec("update FD_LockHolders set pid = " + std::to_string(ReapedPid()));
  Put({"again", "u", "w", "m", "7", ""});
  auto con = OpenConnection();
  const std::vector<LockView> listed = ListLocks(*con);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_FALSE(listed[0].holder.has_value());
  EXPECT_TRUE(ReleaseStaleLocks(*con).empty());
  EXPECT_EQ(Scalar("select count(*) from FD_Locks").ToLong(), 1);
}

// Seen from another machine, this process's lock lives by its lease: the
// heartbeat's renewal brings a lapsed lease back.
TEST_P(StaleLocksTest, AnotherMachineGoesByTheLeaseTheHeartbeatRenews) {
  ASSERT_TRUE(Lock(7, "leased", "u", "w", "m"));
  auto con = OpenConnection();
  ProcessIdentity elsewhere = ThisProcess();
  elsewhere.host = "elsewhere";
  elsewhere.machine_id = "another-machine";
  auto state = [&] {
    auto rs = con->Execute(
        "select host, pid, process_start, taken_at, machine_id, pid_ns, renewed_at, holder_kind "
        "from FD_LockHolders where " +
        HolderOf("leased"));
    HolderJudge judge(*con, elsewhere);
    return judge.StateOf(ReadLockHolder(*rs));
  };
  EXPECT_EQ(state(), HolderState::kAlive);
  Exec("update FD_LockHolders set " + RenewedAgo(engine(), kLeaseSeconds + 1));
  EXPECT_EQ(state(), HolderState::kGone);
  EXPECT_EQ(RenewLeases(*con), 1);
  EXPECT_EQ(state(), HolderState::kAlive);
}

// A holder table of an earlier release (no machine id, PID namespace, lease
// or kind) is listed as it is and given the new columns by the next lock;
// its rows keep being judged, never taken as stale.
TEST_P(StaleLocksTest, AnEarlierReleasesHolderTableIsReadAndUpgraded) {
  const std::string text = engine() == Engine::PostgreSQL ? "citext" : "text";
  Exec("drop table FD_LockHolders");
  std::string create = "create table FD_LockHolders (";
  for (const char* c : {"locks_id", "user_name", "workstation_name", "mod_name", "class_flag",
                        "digest", "host", "process_start", "backend_start", "taken_at"})
    create += std::string(c) + " " + text + ", ";
  Exec(create + "pid integer, backend_pid integer)");
  Put({"old", "u", "w", "m", "7", ""});
  Exec(
      "insert into FD_LockHolders (locks_id, user_name, workstation_name, mod_name, "
      "class_flag, digest, host, pid, process_start, taken_at) values ('old', 'u', 'w', 'm', "
      "'7', '', 'elsewhere', " +
      std::to_string(ReapedPid()) + ", 'another-boot/1', '2020-01-01 00:00:00')");
  auto con = OpenConnection();
  std::vector<LockView> before = ListLocks(*con);
  ASSERT_EQ(before.size(), 1u);
  EXPECT_EQ(before[0].state, HolderState::kUnknown);

  ASSERT_TRUE(Lock(7, "new", "u", "w", "m"));
  EXPECT_TRUE(ReleaseStaleLocks(*con).empty());
  std::map<std::string, HolderState> after;
  for (const LockView& v : ListLocks(*con)) after[v.key.id] = v.state;
  EXPECT_EQ(after["old"], HolderState::kUnknown);
  EXPECT_EQ(after["new"], HolderState::kAlive);
  EXPECT_EQ(Scalar("select count(*) from FD_LockHolders where machine_id is not null").ToLong(), 1);
}

Q6_INSTANTIATE_ENGINE_TEST(StaleLocksTest);

}  // namespace
}  // namespace q6::test
