// Four processes walking a user's whole road on the sample receipts at the
// same time, for Q6_STRESS_SECONDS (5 by default; `make soak` runs longer):
// load the type (LoadEOMetaData), browse (GetData, MoveToByRS), lock the
// record shown (LockIt), change or delete it (Save, Delete) and release it
// (UnlockIt), and enter a new receipt with two lines (GetNewOID three times,
// Save). Each process writes down every OID it was handed, every receipt it
// entered and every one it deleted.
//
// The only error allowed is the lock conflict. Afterwards the database must
// agree with the processes' notes: every line has its receipt, no lock row
// is left, each counter moved by exactly the OIDs handed out, no OID was
// handed out twice, and the receipts are the seeded and entered ones less
// the deleted ones, each entered receipt with its two lines.
#include <chrono>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "component/support/enums.h"
#include "platform/adodb/recordset.h"
#include "road.h"
#include "workers.h"

namespace q6::test {
namespace {

constexpr int kProcesses = 4;
constexpr int kSeededReceipts = 20;

// What one process did.
struct Tally {
  int rounds = 0, conflicts = 0, updates = 0, deletes = 0, entered = 0;
};

class Walker {
 public:
  Walker(std::string source, int index, std::string notes)
      : source_(std::move(source)),
        me_("walker" + std::to_string(index)),
        notes_(std::move(notes)),
        rng_(static_cast<unsigned>(index * 7919 + ::getpid())) {
    con_->Open(source_);
  }

  // Walks until `deadline`; returns the exit code (0, or 1 after an error).
  int Run(std::chrono::steady_clock::time_point deadline) {
    int errors = 0;
    while (std::chrono::steady_clock::now() < deadline) {
      try {
        Round();
      } catch (const std::exception& e) {
        ++errors;
        Note("error " + FailureText(e));
        if (con_->InTransaction()) con_->RollbackTrans();
      }
    }
    std::ostringstream t;
    t << "tally " << tally_.rounds << " " << tally_.conflicts << " " << tally_.updates << " "
      << tally_.deletes << " " << tally_.entered;
    Note(t.str());
    return errors == 0 ? 0 : 1;
  }

 private:
  void Note(const std::string& line) { AppendLine(notes_, line); }

  void Round() {
    ++tally_.rounds;
    std::shared_ptr<EntityObject> receipt = LoadType(dm_, source_, kReceipt);
    if (Browse(receipt)) EditShown(receipt);
    Enter(*receipt);
  }

  // GetData, then MoveToByRS to the first or last receipt and a few steps
  // on. Returns whether a receipt is shown.
  bool Browse(const std::shared_ptr<EntityObject>& receipt) {
    ObjectRef con = con_, eo = receipt, prs, crs;
    bool get_child = true;
    if (!dm_.GetData(con, eo, prs, crs, get_child)) throw std::runtime_error("GetData False");
    if (As<Recordset>(prs)->EOF()) return false;
    int32_t mode = rng_() % 2 ? enum_First : enum_Last;
    for (int steps = static_cast<int>(rng_() % 4);; mode = enum_Next) {
      receipt->ChildEOs()->Clear();
      if (!dm_.MoveToByRS(con, eo, mode, prs, crs, get_child))
        throw std::runtime_error("MoveToByRS False");
      if (steps-- == 0 || mode == enum_Last) break;
    }
    return !receipt->OID()->Value().empty();
  }

  // Locks the receipt shown and changes it, deletes it, or only holds it;
  // a conflict with another walker's lock skips it.
  void EditShown(const std::shared_ptr<EntityObject>& receipt) {
    const std::string oid = receipt->OID()->Value();
    try {
      LockRecord(lm_, source_, oid, me_);
    } catch (const ComError& e) {
      if (!IsLockConflict(e)) throw;
      ++tally_.conflicts;
      return;
    }
    ObjectRef con = con_, eo = receipt;
    switch (rng_() % 3) {
      case 0:
        receipt->Fields()->Item("amount")->SetValue(Variant(double(rng_() % 100000) / 4));
        receipt->SetEditState(Variant(int32_t{3}));
        con_->BeginTrans();
        dm_.Save(con, eo);
        con_->CommitTrans();
        ++tally_.updates;
        break;
      case 1:
        con_->BeginTrans();
        dm_.Delete(con, eo);
        con_->CommitTrans();
        Note("deleted " + oid);
        ++tally_.deletes;
        break;
      default:
        break;
    }
    UnlockRecord(lm_, source_, oid, me_);
  }

  // A new receipt with two lines; every OID is noted as soon as it is had.
  void Enter(const EntityObject& definition) {
    const std::string oid = NewOid(om_, source_, kReceipt);
    Note("oid " + oid);
    std::vector<std::string> lines;
    for (int i = 0; i < 2; ++i) {
      lines.push_back(NewOid(om_, source_, kReceiptLine));
      Note("oid " + lines.back());
    }
    ObjectRef con = con_;
    ObjectRef doc = NewReceipt(definition, oid, lines, double(rng_() % 100000) / 4);
    con_->BeginTrans();
    dm_.Save(con, doc);
    con_->CommitTrans();
    Note("entered " + oid);
    ++tally_.entered;
  }

  std::string source_, me_, notes_;
  std::mt19937 rng_;
  std::shared_ptr<Connection> con_ = std::make_shared<Connection>();
  DataManager dm_;
  LockManager lm_;
  OIDManager om_;
  Tally tally_;
};

class StressRoadTest : public ReliabilityTest {};

TEST_P(StressRoadTest, FourWalkersLeaveAConsistentDatabase) {
  const std::string& source = SharedSource();
  SeedSampleData(kSeededReceipts);
  auto counter = [&](int32_t type) {
    auto con = OpenShared();
    return std::stoll(
        RowTexts(*con, "select sMaxOID from FD_Entities where iID = " + std::to_string(type))
            .at(0));
  };
  const int64_t receipt_seed = counter(kReceipt), line_seed = counter(kReceiptLine);
  std::set<std::string> expected;
  {
    auto con = OpenShared();
    for (const std::string& oid : RowTexts(*con, "select oid from fd_receipt"))
      expected.insert(oid);
  }

  const int seconds = StressSeconds();
  Workers workers;
  for (int p = 0; p < kProcesses; ++p)
    workers.Spawn([&, p] {
      Walker walker(source, p, folder() + "/notes" + std::to_string(p));
      return walker.Run(std::chrono::steady_clock::now() + std::chrono::seconds(seconds));
    });
  EXPECT_EQ(workers.WaitAll(std::chrono::seconds(seconds + 120)), std::vector<int>(kProcesses, 0));

  std::map<int, std::set<std::string>> handed_out;  // by type: 51, 52
  size_t oid_notes = 0;
  std::set<std::string> entered, deleted;
  Tally total;
  for (int p = 0; p < kProcesses; ++p)
    for (const std::string& line : ReadLines(folder() + "/notes" + std::to_string(p))) {
      std::istringstream in(line);
      std::string head, oid;
      in >> head;
      if (head == "error") ADD_FAILURE() << "walker " << p << ": " << line;
      if (head == "tally") {
        Tally t;
        in >> t.rounds >> t.conflicts >> t.updates >> t.deletes >> t.entered;
        total.rounds += t.rounds, total.conflicts += t.conflicts, total.updates += t.updates;
        total.deletes += t.deletes, total.entered += t.entered;
      }
      in >> oid;
      if (head == "oid") ++oid_notes, handed_out[std::stoi(oid.substr(0, 2))].insert(oid);
      if (head == "entered") entered.insert(oid);
      if (head == "deleted") deleted.insert(oid);
    }
  std::printf(
      "[ figures  ] %s: %d walkers x %d s: %d rounds, %d receipts entered, %d changed, %d "
      "deleted, %d lock conflicts, %zu OIDs handed out\n",
      quirks().name, kProcesses, seconds, total.rounds, total.entered, total.updates, total.deletes,
      total.conflicts, oid_notes);
  EXPECT_GT(total.entered, 0);
  EXPECT_EQ(handed_out[kReceipt].size() + handed_out[kReceiptLine].size(), oid_notes)
      << "an OID was handed out twice";
  EXPECT_EQ(counter(kReceipt) - receipt_seed, int64_t(handed_out[kReceipt].size()));
  EXPECT_EQ(counter(kReceiptLine) - line_seed, int64_t(handed_out[kReceiptLine].size()));

  auto con = OpenShared();
  EXPECT_EQ(CountOf(*con, "select count(*) from FD_Locks"), 0);
  EXPECT_EQ(CountOf(*con,
                    "select count(*) from fd_receipt_line l where not exists "
                    "(select 1 from fd_receipt r where r.oid = l.receipt_oid)"),
            0)
      << "lines without their receipt";
  for (const std::string& oid : entered) expected.insert(oid);
  for (const std::string& oid : deleted) expected.erase(oid);
  const std::vector<std::string> rows = RowTexts(*con, "select oid from fd_receipt order by oid");
  EXPECT_EQ(std::set<std::string>(rows.begin(), rows.end()), expected);
  for (const std::string& oid : entered) {
    if (!expected.count(oid)) continue;
    EXPECT_EQ(
        CountOf(*con, "select count(*) from fd_receipt_line where receipt_oid = '" + oid + "'"), 2)
        << oid;
  }
  EXPECT_EQ(IntegrityCheck(), "ok");
}

Q6_INSTANTIATE_ENGINE_TEST(StressRoadTest);

}  // namespace
}  // namespace q6::test
