// Four processes compete for one record lock, round after round, on each
// engine. Every holder notes when it got the lock and when it let go; no
// two of those intervals may overlap, and no lock row may be left.
//
// The children are forked from the test and open their own connections
// (nothing the parent opened is used across the fork); they leave with
// _exit so that no test-framework teardown runs in them.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "component/locks/conflict_message.h"
#include "locks_fixture.h"

namespace q6::test {
namespace {

constexpr int kProcesses = 4;
constexpr int kRounds = 100;
constexpr auto kHold = std::chrono::milliseconds(2);

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void WriteLine(int fd, const std::string& line) {
  // One write on an O_APPEND descriptor: lines of the processes never mix.
  if (::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) _exit(3);
}

// One competitor: kRounds times take the lock (retrying while another
// holds it), hold it, note the interval, release it. Returns the exit code.
int Compete(const std::string& dsn, int index, const std::string& log) {
  int fd = ::open(log.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0644);
  if (fd < 0) return 3;
  std::mt19937 rng(index);
  auto lm = std::make_shared<LockManager>();
  int failures = 0;
  const std::string me = "p" + std::to_string(index);
  for (int round = 0; round < kRounds; ++round) {
    for (;;) {
      Variant d(dsn), vid("REC-1");
      std::string user = me, ws = "ws" + me, mod = "fd", digest = "round";
      int32_t level = 7;
      try {
        if (lm->LockIt(d, vid, user, ws, mod, level, digest)) break;
        return 4;  // False cannot happen for a record lock with an id
      } catch (const ComError& e) {
        if (e.description() == kLockConcurrencyFailure) ++failures;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(100 + rng() % 400));
    }
    int64_t enter = NowNs();
    std::this_thread::sleep_for(kHold);
    int64_t exit = NowNs();
    WriteLine(fd, std::to_string(index) + " " + std::to_string(enter) + " " + std::to_string(exit) +
                      "\n");
    Variant d(dsn), vid("rec-1");
    std::string user = me, ws = "ws" + me, mod = "fd";
    int32_t level = 7;
    if (!lm->UnlockIt(d, vid, user, ws, mod, level)) return 5;
  }
  WriteLine(fd, "failures " + std::to_string(failures) + "\n");
  ::close(fd);
  return 0;
}

class LockConcurrencyTest : public LocksTest {};

TEST_P(LockConcurrencyTest, HoldersOfOneRecordLockNeverOverlap) {
  const std::string log = folder() + "/intervals.txt";
  std::fflush(nullptr);
  std::vector<pid_t> children;
  for (int i = 0; i < kProcesses; ++i) {
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int code = 6;
      try {
        code = Compete(dsn(), i, log);
      } catch (...) {
        code = 7;
      }
      _exit(code);
    }
    children.push_back(pid);
  }

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  std::vector<int> codes;
  for (pid_t pid : children) {
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    codes.push_back(WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status));
  }
  EXPECT_EQ(codes, std::vector<int>(kProcesses, 0));

  std::vector<std::pair<int64_t, int64_t>> intervals;
  int failures = 0;
  std::ifstream in(log);
  for (std::string line; std::getline(in, line);) {
    std::istringstream ss(line);
    std::string head;
    ss >> head;
    if (head == "failures") {
      int n = 0;
      ss >> n;
      failures += n;
      continue;
    }
    int64_t enter = 0, exit = 0;
    ss >> enter >> exit;
    intervals.emplace_back(enter, exit);
  }
  EXPECT_EQ(intervals.size(), static_cast<size_t>(kProcesses * kRounds));
  EXPECT_EQ(failures, 0) << "lock attempts that failed for a reason other than a conflict";
  std::sort(intervals.begin(), intervals.end());
  int overlaps = 0;
  for (size_t i = 1; i < intervals.size(); ++i)
    if (intervals[i].first < intervals[i - 1].second) ++overlaps;
  EXPECT_EQ(overlaps, 0);
  EXPECT_TRUE(Rows().empty());
}

Q6_INSTANTIATE_ENGINE_TEST(LockConcurrencyTest);

}  // namespace
}  // namespace q6::test
