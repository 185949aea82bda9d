// LockItEx and UnLockItEx: one LockIt or UnlockIt per item of a list.
#include "component/locks/lock_list.h"

#include <unistd.h>

#include "component/locks/lock_admin.h"
#include "component/locks/lock_holders.h"
#include "component/locks/lock_lease.h"
#include "locks_fixture.h"

namespace q6::test {
namespace {

TEST(LockListHasItems, SeparatorsAndBlanksAloneAreNoList) {
  struct Row {
    std::string list, separator;
    bool has;
  } rows[] = {
      {"a,b", ",", true},    {"", ",", false},     {"a", "", false},   {",,,", ",", false},
      {" , ,", ",", false},  {"a", ",", true},     {";;", ";", false}, {"x;;y", ";;", true},
      {"abab", "ab", false}, {"aBab", "ab", true}, {"\t", ",", true},
  };
  for (const Row& r : rows)
    EXPECT_EQ(LockListHasItems(r.list, r.separator), r.has) << r.list << " / " << r.separator;
}

class LockListTest : public LocksTest {
 protected:
  bool LockEx(int32_t level, std::string id, std::string user, std::string ws, std::string mod,
              std::string sep, Variant* id_after = nullptr) {
    Variant dsn(this->dsn()), vid(id);
    std::string digest = "dg";
    bool r = lm_->LockItEx(dsn, vid, user, ws, mod, level, digest, sep);
    if (id_after) *id_after = vid;
    return r;
  }
  bool UnlockEx(int32_t level, std::string id, std::string user, std::string ws, std::string mod,
                std::string sep) {
    Variant dsn(this->dsn()), vid(id);
    std::string digest;
    return lm_->UnLockItEx(dsn, vid, user, ws, mod, level, digest, sep);
  }
};

TEST_P(LockListTest, LocksEachNonEmptyItem) {
  struct Row {
    int32_t level;
    std::string id, user, ws, mod, sep;
    std::vector<LockRow> rows;
  } rows[] = {
      {7,
       "A,,B",
       "U",
       "W",
       "M",
       ",",
       {{"a", "u", "w", "m", "7", "dg"}, {"b", "u", "w", "m", "7", "dg"}}},
      {6,
       " p1 ; p2 ;",
       "u",
       "w",
       "m",
       ";",
       {{"p1", "u", "w", "m", "6", "dg"}, {"p2", "u", "w", "m", "6", "dg"}}},
      {2,
       "",
       "u",
       "W1|W2",
       "m",
       "|",
       {{"_h", "u", "w1", "m", "2", "dg"}, {"_h", "u", "w2", "m", "2", "dg"}}},
      {3,
       "",
       "A;B",
       "w",
       "m",
       ";",
       {{"_u", "a", "w", "m", "3", "dg"}, {"_u", "b", "w", "m", "3", "dg"}}},
      {5,
       "",
       "u",
       "w",
       "M1,M2",
       ",",
       {{"_m", "u", "w", "m1", "5", "dg"}, {"_m", "u", "w", "m2", "5", "dg"}}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.id + r.user + r.ws + r.mod);
    Exec("delete from FD_Locks");
    EXPECT_TRUE(LockEx(r.level, r.id, r.user, r.ws, r.mod, r.sep));
    EXPECT_EQ(Rows(), r.rows);
  }
}

TEST_P(LockListTest, ScopeIdentifierOfTheFirstCallHoldsForTheRest) {
  Variant id_after;
  EXPECT_TRUE(LockEx(5, "", "u", "w", "m1,m2", ",", &id_after));
  EXPECT_EQ(id_after, Variant("_m"));
}

TEST_P(LockListTest, NothingToSplitReturnsFalseWithoutStatements) {
  struct Row {
    int32_t level;
    std::string id, sep;
  } rows[] = {
      {7, ",,", ","},  {7, " , ", ","}, {7, "a,b", ""},  {7, "", ","},
      {4, "a,b", ","}, {1, "a,b", ","}, {0, "a,b", ","}, {8, "a,b", ","},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(r.level) + " " + r.id + " " + r.sep);
    StatementCapture cap;
    EXPECT_FALSE(LockEx(r.level, r.id, "u", "w", "m", r.sep));
    EXPECT_FALSE(UnlockEx(r.level, r.id, "u", "w", "m", r.sep));
    EXPECT_TRUE(cap.Sql().empty());
  }
}

TEST_P(LockListTest, AFailingItemStopsTheListAndKeepsEarlierLocks) {
  Put({"b", "x", "y", "z", "7", ""});
  EXPECT_THROW(LockEx(7, "a,b,c", "u", "w", "m", ","), ComError);
  EXPECT_EQ(Rows(),
            (std::vector<LockRow>{{"a", "u", "w", "m", "7", "dg"}, {"b", "x", "y", "z", "7", ""}}));
}

// Items of one list in each other's way: the later one is refused as a lock
// taken by an earlier call would refuse it (case and trailing blanks aside).
TEST_P(LockListTest, AnItemInTheWayOfAnEarlierOneIsRefused) {
  struct Row {
    int32_t level;
    std::string list;
    std::vector<LockRow> kept;
  } rows[] = {
      {7, "a,b,A ", {{"a", "u", "w", "m", "7", "dg"}, {"b", "u", "w", "m", "7", "dg"}}},
      {6, "pq,x,p", {{"pq", "u", "w", "m", "6", "dg"}, {"x", "u", "w", "m", "6", "dg"}}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.list);
    Exec("delete from FD_Locks");
    EXPECT_THROW(LockEx(r.level, r.list, "u", "w", "m", ","), ComError);
    EXPECT_EQ(Rows(), r.kept);
  }
}

TEST_P(LockListTest, UnlocksEachItem) {
  Put({"_u", "a", "w", "m", "3", ""});
  Put({"r", "b", "w", "m", "7", ""});
  Put({"r2", "c", "w", "m", "7", ""});
  StatementCapture cap;
  EXPECT_TRUE(UnlockEx(3, "", "A;;B", "", "", ";"));
  EXPECT_EQ(cap.Sql(), (std::vector<std::string>{"delete From FD_Locks Where user_name = 'a'",
                                                 "delete From FD_Locks Where user_name = 'b'"}));
  EXPECT_EQ(Rows(), (std::vector<LockRow>{{"r2", "c", "w", "m", "7", ""}}));
}

// Lists longer than one statement's rows: every item locked with its
// holder row, then released with it; a release list names items as the
// engines compare them (case, trailing blanks) and leaves the others.
TEST_P(LockListTest, LongListsLockAndReleaseEveryItemWithItsHolder) {
  const size_t n = 107;
  std::string list;
  for (size_t i = 0; i < n; ++i) list += (i ? "," : "") + std::string("R") + std::to_string(i);
  auto holders = [&] {
    return OpenConnection()
        ->Execute("select count(*) from FD_LockHolders")
        ->Fields()
        ->Item(Variant(int32_t{0}))
        ->Value()
        .ToLong();
  };
  for (int32_t level : {7, 6}) {
    SCOPED_TRACE(level);
    Exec("delete from FD_Locks");
    ASSERT_TRUE(LockEx(level, list, "u", "w", "m", ","));
    EXPECT_EQ(Rows().size(), n);
    EXPECT_EQ(holders(), quirks().lock_holder_per_transaction ? 1 : static_cast<int64_t>(n));
    for (const LockView& v : ListLocks(*OpenConnection()))
      EXPECT_TRUE(v.holder && v.holder->process.pid == ::getpid() && v.state == HolderState::kAlive)
          << v.key.id;
    Put({"keep", "u", "w", "m", std::to_string(level), ""});
    EXPECT_TRUE(UnlockEx(level, list, "u", "w", "m", ","));
    EXPECT_EQ(Rows(), (std::vector<LockRow>{{"keep", "u", "w", "m", std::to_string(level), ""}}));
    // A lease round drops the holder row of a transaction whose locks are
    // all gone (the trigger took per-lock rows already).
    RenewLeases(*OpenConnection());
    EXPECT_EQ(holders(), 0);
  }
  Exec("delete from FD_Locks");
  ASSERT_TRUE(LockEx(7, "a,b,c", "u", "w", "m", ","));
  EXPECT_TRUE(UnlockEx(7, "A ;b", "x", "y", "z", ";"));
  EXPECT_EQ(Rows(), (std::vector<LockRow>{{"c", "u", "w", "m", "7", "dg"}}));
}

// Identifiers travel to the engine together as one list: quotes,
// backslashes, control characters and other alphabets must arrive as they
// are, each one lock, and be found again (any case) by a single lock and a
// list's release.
TEST_P(LockListTest, AListKeepsEveryIdentifierAsWritten) {
  const std::vector<std::string> ids = {"a\"b", "c\\d", "e\tf", "g'h", "\u0436\u00e9", "[1]"};
  std::string list;
  for (const std::string& id : ids) list += (list.empty() ? "" : "|") + id;
  for (int32_t level : {7, 6}) {
    SCOPED_TRACE(level);
    Exec("delete from FD_Locks");
    ASSERT_TRUE(LockEx(level, list, "u", "w", "m", "|"));
    std::vector<LockRow> want;
    for (const std::string& id : ids)
      want.push_back({id, "u", "w", "m", std::to_string(level), "dg"});
    std::vector<LockRow> got = Rows();
    std::sort(want.begin(), want.end(), [](auto& a, auto& b) { return a.id < b.id; });
    std::sort(got.begin(), got.end(), [](auto& a, auto& b) { return a.id < b.id; });
    EXPECT_EQ(got, want);
    EXPECT_THROW(Lock(level, "\u0416\u00c9", "x", "y", "z"), ComError);
    EXPECT_TRUE(UnlockEx(level, list, "u", "w", "m", "|"));
    EXPECT_TRUE(Rows().empty());
  }
}

Q6_INSTANTIATE_ENGINE_TEST(LockListTest);

}  // namespace
}  // namespace q6::test
