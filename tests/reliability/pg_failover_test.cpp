// A primary with a synchronous standby (made by pg_basebackup) behind one
// data source that names both servers; clients in forked processes go
// through the office's road (a new OID, a lock on one of a few records, the
// save of a receipt with that OID, the unlock) while the primary is cut off
// (stopped at once, as a power cut does) and the standby promoted. The old
// primary comes back as the new one's standby, and again. Afterwards:
//   - no OID was handed out twice, and every save a client was told had
//     succeeded is on the last primary;
//   - no record was held by two clients at once (a client holding a lock
//     owns a marker file created with O_EXCL);
//   - every failed call failed with the connection_lost kind (or refused a
//     lock another client holds), and calls succeed again no later than 2 s
//     after the promotion ended, without the clients doing anything but
//     calling again.
// Q6_SOAK=1 makes 20 promotions instead of 2.
//
// The servers are throwaway ones of the test's own (scripts/pg.sh,
// scripts/pg-replica.sh); the test runs when Q6FD_TEST_PG is set (the runs
// that have PostgreSQL), except through a pooler, whose run it would only
// repeat.
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <thread>

#include "road.h"
#include "workers.h"

namespace q6::test {
namespace {

using Clock = std::chrono::system_clock;

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
      .count();
}

// Runs `command` with bash; its standard output, the last line break cut.
// Raises when it fails.
std::string Shell(const std::string& command) {
  std::string out;
  FILE* p = ::popen(("bash -c '" + command + "'").c_str(), "r");
  if (!p) throw std::runtime_error("popen failed");
  std::array<char, 512> buf;
  while (size_t n = std::fread(buf.data(), 1, buf.size(), p)) out.append(buf.data(), n);
  if (::pclose(p) != 0) throw std::runtime_error("failed: " + command);
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

std::string Script(const std::string& name) { return std::string(Q6_SCRIPTS_DIR) + "/" + name; }

// Two server folders, one the primary, the other its synchronous standby.
class Pair {
 public:
  explicit Pair(const std::string& base) : dirs_{base + "/a", base + "/b"} {
    Shell("bash " + Script("pg.sh") + " start " + dirs_[0] + " >/dev/null 2>&1");
    ports_[0] = Shell("cat " + dirs_[0] + "/port");
    ports_[1] = Shell("bash " + Script("pg-replica.sh") + " start " + dirs_[0] + " " + dirs_[1] +
                      " 2>/dev/null");
  }
  ~Pair() {
    for (const std::string& d : dirs_)
      std::system(("bash " + Script("pg-replica.sh") + " stop " + d + " >/dev/null 2>&1").c_str());
  }

  std::string Source() const {
    return "Driver=postgresql;Server=" + dirs_[0] + "," + dirs_[1] + ";Port=" + ports_[0] + "," +
           ports_[1] + ";Database=q6test;UID=postgres;LockTimeout=2000";
  }

  // Cuts the primary off and promotes the standby; returns when the new
  // primary takes writes.
  void FailOver() {
    Shell("bash " + Script("pg-replica.sh") + " crash " + dirs_[primary_] + " >/dev/null 2>&1");
    Shell("bash " + Script("pg-replica.sh") + " promote " + dirs_[1 - primary_] +
          " >/dev/null 2>&1");
    primary_ = 1 - primary_;
  }

  // The old primary again, as a copy of the new one and its standby.
  void RebuildStandby() {
    Shell("bash " + Script("pg-replica.sh") + " start " + dirs_[primary_] + " " +
          dirs_[1 - primary_] + " " + ports_[1 - primary_] + " >/dev/null 2>&1");
  }

 private:
  std::array<std::string, 2> dirs_;
  std::array<std::string, 2> ports_;
  int primary_ = 0;
};

constexpr int kClients = 4;
constexpr int kRecords = 3;  // the records the clients lock, so that they meet

// One client's road until `stop` exists. Lines in `out`:
//   OID <oid>       an OID GetNewOID returned
//   SAVED <oid>     a receipt Save said it saved
//   OK <ms>         a call that succeeded, when
//   FAIL <ms> <kind> <call>: <description>   a call that failed
//   DOUBLE <record> a lock granted while another client held it
int Client(int id, const std::string& source, const std::string& base) {
  const std::string out = base + "/client" + std::to_string(id) + ".txt";
  const std::string user = "c" + std::to_string(id);
  OIDManager om;
  LockManager lm;
  DataManager dm;
  std::string unsure;  // a record whose lock may be this client's after a failure
  for (int round = 0; ::access((base + "/stop").c_str(), F_OK) != 0; ++round) {
    const std::string record = "51000000000000" + std::to_string(1 + (id + round) % kRecords);
    const std::string marker = base + "/held-" + record;
    std::string call;
    bool held = false;
    try {
      if (!unsure.empty()) {
        // A release by ID frees the record whoever holds it: only a lock
        // that turns out to be this client's own is released.
        call = "UnlockIt";
        Connection con;
        con.Open(source);
        if (!RowTexts(con, "select user_name from fd_locks where locks_id = '" + unsure +
                               "' and user_name = '" + user + "'")
                 .empty())
          UnlockRecord(lm, source, unsure, user);
        unsure.clear();
      }
      call = "GetNewOID";
      const std::string oid = NewOid(om, source, kReceipt);
      AppendLine(out, "OID " + oid);
      const std::string line = NewOid(om, source, kReceiptLine);
      AppendLine(out, "OID " + line);
      AppendLine(out, "OK " + std::to_string(NowMs()));
      call = "LockIt";
      unsure = record;
      try {
        held = LockRecord(lm, source, record, user);
      } catch (const ComError& e) {
        if (!IsLockConflict(e)) throw;
      }
      if (!held) unsure.clear();
      if (held) {
        const int fd = ::open(marker.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
        if (fd < 0) AppendLine(out, "DOUBLE " + record);
        if (fd >= 0) ::close(fd);
      }
      AppendLine(out, "OK " + std::to_string(NowMs()));
      call = "Save";
      auto con = std::make_shared<Connection>();
      con->Open(source);
      ObjectRef c = con;
      ObjectRef doc = NewReceipt(*LoadType(dm, source, kReceipt), oid, {line}, 10.0 + round);
      if (dm.Save(c, doc)) AppendLine(out, "SAVED " + oid);
      AppendLine(out, "OK " + std::to_string(NowMs()));
      if (held) {
        // The marker goes before the lock does: never a moment where the
        // lock is free and the marker still there.
        ::unlink(marker.c_str());
        held = false;
        call = "UnlockIt";
        UnlockRecord(lm, source, record, user);
        unsure.clear();
        AppendLine(out, "OK " + std::to_string(NowMs()));
      }
    } catch (const ComError& e) {
      if (held) ::unlink(marker.c_str());
      AppendLine(out, "FAIL " + std::to_string(NowMs()) + " " + ErrorKindName(e.kind()) + " " +
                          call + ": " + e.description());
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  return 0;
}

TEST(PgFailoverTest, NothingTwiceNothingLostAndCallsComeBackAfterThePromotion) {
  const char* pg = std::getenv("Q6FD_TEST_PG");
  if (!pg || !*pg) GTEST_SKIP() << "Q6FD_TEST_PG is not set: PostgreSQL tests skipped";
  if (ResolveDataSource(pg).pooled) GTEST_SKIP() << "the run through the pooler repeats nothing";
  char templ[] = "/tmp/q6fo.XXXXXX";
  ASSERT_NE(::mkdtemp(templ), nullptr);
  const std::string base = templ;
  ::chmod(base.c_str(), 0777);  // the servers' folders in it belong to their own user
  const int promotions = SoakRun() ? 20 : 2;
  {
    Pair pair(base);
    const std::string source = pair.Source();
    {
      Connection con;
      con.Open(source);
      CreateSchema(con);
      sample::SeedOptions seed;
      seed.documents = 0;
      sample::SeedSample(con, seed);
    }
    Workers clients;
    for (int i = 0; i < kClients; ++i)
      clients.Spawn([i, &source, &base] { return Client(i, source, base); });
    clients.Start();
    std::vector<std::pair<int64_t, int64_t>> outages;  // cut off, promoted (ms)
    for (int n = 0; n < promotions; ++n) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1500));
      const int64_t cut = NowMs();
      pair.FailOver();
      outages.emplace_back(cut, NowMs());
      std::this_thread::sleep_for(std::chrono::milliseconds(1500));
      if (n + 1 < promotions) pair.RebuildStandby();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    AppendLine(base + "/stop", "stop");
    for (int code : clients.WaitAll(std::chrono::seconds(60))) EXPECT_EQ(code, 0);

    std::map<std::string, int> handed_out;
    std::set<std::string> saved;
    std::vector<int64_t> ok_times;
    std::vector<int64_t> fail_times;
    for (int i = 0; i < kClients; ++i) {
      for (const std::string& line : ReadLines(base + "/client" + std::to_string(i) + ".txt")) {
        const std::string word = line.substr(0, line.find(' '));
        const std::string rest = line.substr(word.size() + 1);
        if (word == "OID") ++handed_out[rest];
        if (word == "SAVED") saved.insert(rest);
        if (word == "OK") ok_times.push_back(std::stoll(rest));
        if (word == "DOUBLE") ADD_FAILURE() << "record " << rest << " locked twice";
        if (word == "FAIL") {
          fail_times.push_back(std::stoll(rest));
          EXPECT_NE(line.find(" connection_lost "), std::string::npos) << line;
        }
      }
    }
    for (const auto& [oid, times] : handed_out) EXPECT_EQ(times, 1) << "OID " << oid;
    EXPECT_GT(saved.size(), 0u);
    Connection con;
    con.Open(source);
    std::set<std::string> there;
    for (const std::string& row : RowTexts(con, "select oid from fd_receipt")) there.insert(row);
    for (const std::string& oid : saved) EXPECT_TRUE(there.count(oid)) << "lost save " << oid;
    // Every failure falls in an outage, from the cut to 2 s after the
    // promotion ended, and calls succeeded after each outage.
    for (int64_t t : fail_times) {
      bool inside = false;
      for (const auto& [cut, promoted] : outages) inside |= t >= cut && t <= promoted + 2000;
      EXPECT_TRUE(inside) << "a call failed " << t << " ms, outside every outage";
    }
    for (const auto& [cut, promoted] : outages)
      EXPECT_TRUE(std::any_of(ok_times.begin(), ok_times.end(),
                              [&](int64_t t) { return t > promoted && t <= promoted + 2000; }))
          << "no call succeeded within 2 s of the promotion at " << promoted;
    std::printf("failover: %d promotions, %zu OIDs, %zu saves, %zu failed calls\n", promotions,
                handed_out.size(), saved.size(), fail_times.size());
  }
  std::error_code ec;
  std::filesystem::remove_all(base, ec);
}

}  // namespace
}  // namespace q6::test
