// Four processes competing for locks round after round, on each engine.
// Every holder notes when it got its lock and when it let go; afterwards no
// two intervals of conflicting locks may overlap, and no lock row may be
// left, and every attempt that fails must fail as a lock conflict. Rows: one
// record lock (level 7) that all want, taken by an identifier in capitals and
// released by the same identifier in lower case (identifiers are kept in
// lower case, so the release must find the lock whatever case it is given
// in); and class locks (level 6) on a prefix against record locks on two
// records under it, where the two record locks may be held side by side but
// never together with the class lock.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <random>
#include <sstream>
#include <thread>

#include "component/frame/lock_manager.h"
#include "road.h"
#include "workers.h"

namespace q6::test {
namespace {

constexpr int kProcesses = 4;
constexpr auto kHold = std::chrono::milliseconds(2);

struct Want {
  int32_t level;
  const char* id;
};

struct LockRaceCase {
  const char* name;
  std::vector<Want> wants;  // round r of process p wants wants[(p + r) % size]
};

const LockRaceCase kCases[] = {
    {"OneRecord", {{7, "REC-1"}}},
    {"ClassAgainstRecords", {{6, "5100000000"}, {7, "510000000000001"}, {7, "510000000000002"}}},
};

int Rounds() { return SoakRun() ? 1000 : 200; }

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

struct Hold {
  int32_t level = 0;
  std::string id;
  int64_t enter = 0, exit = 0;
};

// Whether two locks may not be held at the same time: record against
// record on the same id; a class lock against a record under its prefix, or
// against a class lock whose prefix begins with its own or the other way.
bool Conflict(const Hold& a, const Hold& b) {
  if (a.level == 7 && b.level == 7) return a.id == b.id;
  if (a.level == 6 && b.level == 6) return StartsWith(a.id, b.id) || StartsWith(b.id, a.id);
  const Hold& cls = a.level == 6 ? a : b;
  const Hold& rec = a.level == 6 ? b : a;
  return StartsWith(rec.id, cls.id);
}

std::string Lower(std::string s) {
  for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return s;
}

// One competitor. Writes "hold level id enter exit" per round and, at the
// end, "conflicts n" and "failures n" (failures: any error but a conflict).
int Compete(const std::string& source, const LockRaceCase& c, int index, const std::string& out) {
  std::mt19937 rng(index);
  LockManager lm;
  int conflicts = 0, failures = 0;
  const std::string me = "p" + std::to_string(index);
  std::string lines;
  for (int round = 0; round < Rounds(); ++round) {
    const Want& want = c.wants[(index + round) % c.wants.size()];
    for (;;) {
      Variant dsn(source), id(want.id);
      std::string user = me, ws = "ws" + me, mod = "fd", digest = "round";
      int32_t level = want.level;
      try {
        if (!lm.LockIt(dsn, id, user, ws, mod, level, digest)) return 4;
        break;
      } catch (const ComError& e) {
        if (IsLockConflict(e))
          ++conflicts;
        else
          ++failures;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(100 + rng() % 400));
    }
    const int64_t enter = NowNs();
    std::this_thread::sleep_for(kHold);
    const int64_t exit = NowNs();
    lines += "hold " + std::to_string(want.level) + " " + want.id + " " + std::to_string(enter) +
             " " + std::to_string(exit) + "\n";
    Variant dsn(source), id(Lower(want.id));
    std::string user = me, ws = "ws" + me, mod = "fd";
    int32_t level = want.level;
    if (!lm.UnlockIt(dsn, id, user, ws, mod, level)) return 5;
  }
  lines += "conflicts " + std::to_string(conflicts) + "\nfailures " + std::to_string(failures);
  return AppendLine(out, lines) ? 0 : 3;
}

class LockRaceTest : public ReliabilityTest {};

TEST_P(LockRaceTest, ConflictingHoldersNeverOverlapAndNoRowIsLeft) {
  const std::string& source = SharedSource();
  for (const LockRaceCase& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::string out = folder() + "/" + c.name + ".txt";
    Workers workers;
    for (int p = 0; p < kProcesses; ++p)
      workers.Spawn([&, p] { return Compete(source, c, p, out); });
    EXPECT_EQ(workers.WaitAll(std::chrono::seconds(120)), std::vector<int>(kProcesses, 0));

    std::vector<Hold> holds;
    int conflicts = 0, failures = 0;
    for (const std::string& line : ReadLines(out)) {
      std::istringstream in(line);
      std::string head;
      in >> head;
      int n = 0;
      if (head == "conflicts" && in >> n) conflicts += n;
      if (head == "failures" && in >> n) failures += n;
      if (head != "hold") continue;
      Hold h;
      in >> h.level >> h.id >> h.enter >> h.exit;
      holds.push_back(h);
    }
    EXPECT_EQ(holds.size(), size_t(kProcesses * Rounds()));
    EXPECT_EQ(failures, 0) << "lock attempts that failed for a reason other than a conflict";
    std::sort(holds.begin(), holds.end(),
              [](const Hold& a, const Hold& b) { return a.enter < b.enter; });
    int overlaps = 0;
    for (size_t i = 0; i < holds.size(); ++i)
      for (size_t j = i + 1; j < holds.size() && holds[j].enter < holds[i].exit; ++j)
        if (Conflict(holds[i], holds[j])) ++overlaps;
    EXPECT_EQ(overlaps, 0) << "conflicting locks held at the same time";
    auto con = OpenShared();
    EXPECT_EQ(CountOf(*con, "select count(*) from FD_Locks"), 0);
    std::printf("[ figures  ] %s %s: %d processes x %d rounds, %d conflicts met, %d overlaps\n",
                quirks().name, c.name, kProcesses, Rounds(), conflicts, overlaps);
  }
}

Q6_INSTANTIATE_ENGINE_TEST(LockRaceTest);

}  // namespace
}  // namespace q6::test
