// Which existing locks stand in the way of a new one, level by level, on
// both engines; and the error a conflict raises.
#include "locks_fixture.h"

namespace q6::test {
namespace {

struct Request {
  int32_t level;
  std::string id, user, ws, mod;
};

struct MatrixRow {
  const char* what;
  LockRow existing;
  Request request;
  bool conflict;
};

// The requester is u1 at w1 in m1 unless a row says otherwise; "other"
// locks belong to u2 at w2 in m2.
const MatrixRow kMatrix[] = {
    // Level 1: every lock is in the way.
    {"1 vs nothing", {"", "", "", "", "", ""}, {1, "", "u1", "w1", "m1"}, false},
    {"1 vs other's record", {"r", "u2", "w2", "m2", "7", ""}, {1, "", "u1", "w1", "m1"}, true},
    // Level 2: level 1, or anything held from the workstation.
    {"2 vs level 1", {"_a", "u2", "w2", "m2", "1", ""}, {2, "", "u1", "w1", "m1"}, true},
    {"2 vs record from w1", {"r", "u2", "w1", "m2", "7", ""}, {2, "", "u1", "w1", "m1"}, true},
    {"2 vs record from w2", {"r", "u1", "w2", "m1", "7", ""}, {2, "", "u1", "w1", "m1"}, false},
    {"2 vs host lock of w2", {"_h", "u1", "w2", "m1", "2", ""}, {2, "", "u1", "w1", "m1"}, false},
    // Level 3: level 1, or anything held by the user.
    {"3 vs record of u1", {"r", "u1", "w2", "m2", "7", ""}, {3, "", "u1", "w1", "m1"}, true},
    {"3 vs record of u2", {"r", "u2", "w1", "m1", "7", ""}, {3, "", "u1", "w1", "m1"}, false},
    {"3 vs level 1", {"_a", "u2", "w2", "m2", "1", ""}, {3, "", "u1", "w1", "m1"}, true},
    // Level 4: level 1, u1 at levels other than 1, anything from w1.
    {"4 vs record of u1 at w2", {"r", "u1", "w2", "m2", "7", ""}, {4, "", "u1", "w1", "m1"}, true},
    {"4 vs record of u2 at w1", {"r", "u2", "w1", "m2", "7", ""}, {4, "", "u1", "w1", "m1"}, true},
    {"4 vs record of u2 at w2", {"r", "u2", "w2", "m1", "7", ""}, {4, "", "u1", "w1", "m1"}, false},
    {"4 vs level 1 of u2", {"_a", "u2", "w2", "m2", "1", ""}, {4, "", "u1", "w1", "m1"}, true},
    // Level 5: owner scopes, and class or record locks in the module.
    {"5 vs class in m1", {"p", "u2", "w2", "m1", "6", ""}, {5, "", "u1", "w1", "m1"}, true},
    {"5 vs record in m1", {"r", "u2", "w2", "m1", "7", ""}, {5, "", "u1", "w1", "m1"}, true},
    {"5 vs record in m2", {"r", "u2", "w2", "m2", "7", ""}, {5, "", "u1", "w1", "m1"}, false},
    {"5 vs module m1", {"_m", "u2", "w2", "m1", "5", ""}, {5, "", "u1", "w1", "m1"}, false},
    {"5 vs own module m1", {"_m", "u1", "w1", "m1", "5", ""}, {5, "", "u1", "w1", "m1"}, false},
    {"5 vs host w1", {"_h", "u2", "w1", "m2", "2", ""}, {5, "", "u1", "w1", "m1"}, true},
    {"5 vs host w9", {"_h", "u2", "w9", "m2", "2", ""}, {5, "", "u1", "w1", "m1"}, false},
    {"5 vs user u1", {"_u", "u1", "w2", "m2", "3", ""}, {5, "", "u1", "w1", "m1"}, true},
    {"5 vs user u2", {"_u", "u2", "w1", "m2", "3", ""}, {5, "", "u1", "w1", "m1"}, false},
    {"5 vs u1 at w1", {"_h&u", "u1", "w1", "m2", "4", ""}, {5, "", "u1", "w1", "m1"}, true},
    {"5 vs u1 at w2", {"_h&u", "u1", "w2", "m2", "4", ""}, {5, "", "u1", "w1", "m1"}, false},
    // Level 6: owner scopes, the module, class and record locks inside the prefix.
    {"6 'ab' vs record 'abc'",
     {"abc", "u2", "w2", "m2", "7", ""},
     {6, "ab", "u1", "w1", "m1"},
     true},
    {"6 'a' vs class 'ab'", {"ab", "u2", "w2", "m2", "6", ""}, {6, "a", "u1", "w1", "m1"}, true},
    {"6 'abc' vs class 'ab'",
     {"ab", "u2", "w2", "m2", "6", ""},
     {6, "abc", "u1", "w1", "m1"},
     false},
    {"6 'ab' vs record 'xab'",
     {"xab", "u2", "w2", "m2", "7", ""},
     {6, "ab", "u1", "w1", "m1"},
     false},
    {"6 vs module m1", {"_m", "u2", "w2", "m1", "5", ""}, {6, "ab", "u1", "w1", "m1"}, true},
    {"6 vs module m2", {"_m", "u2", "w2", "m2", "5", ""}, {6, "ab", "u1", "w1", "m1"}, false},
    {"6 vs user u1", {"_u", "u1", "w2", "m2", "3", ""}, {6, "ab", "u1", "w1", "m1"}, true},
    // Level 7: owner scopes, the module, a class prefix of V, V itself.
    {"7 vs other's lock on it",
     {"r1", "u2", "w2", "m2", "7", ""},
     {7, "r1", "u1", "w1", "m1"},
     true},
    {"7 vs own lock on it", {"r1", "u1", "w1", "m1", "7", ""}, {7, "r1", "u1", "w1", "m1"}, true},
    {"7 vs mixed-case request",
     {"r1", "u2", "w2", "m2", "7", ""},
     {7, "R1", "u1", "w1", "m1"},
     true},
    {"7 vs another record", {"r2", "u2", "w2", "m2", "7", ""}, {7, "r1", "u1", "w1", "m1"}, false},
    // A class prefix that ends in a blank covers the records that begin with
    // it: LEN drops the blank and the comparison ignores trailing blanks.
    {"7 'ab c' vs class 'ab '",
     {"ab ", "u2", "w2", "m2", "6", ""},
     {7, "ab c", "u1", "w1", "m1"},
     true},
    {"5 in Cyrillic vs record in the same module spelt otherwise",
     {"r", "u2", "w2", "Продажи", "7", ""},
     {5, "", "u1", "w1", "ПРОДАЖИ"},
     true},
    {"7 'abc' vs class 'ab'",
     {"ab", "u2", "w2", "m2", "6", ""},
     {7, "abc", "u1", "w1", "m1"},
     true},
    {"7 'xy' vs class 'ab'", {"ab", "u2", "w2", "m2", "6", ""}, {7, "xy", "u1", "w1", "m1"}, false},
    {"7 'a' vs class 'ab'", {"ab", "u2", "w2", "m2", "6", ""}, {7, "a", "u1", "w1", "m1"}, false},
    {"7 vs module m1", {"_m", "u2", "w2", "m1", "5", ""}, {7, "r1", "u1", "w1", "m1"}, true},
    {"7 vs module m2", {"_m", "u2", "w2", "m2", "5", ""}, {7, "r1", "u1", "w1", "m1"}, false},
    {"7 vs host w1", {"_h", "u2", "w1", "m2", "2", ""}, {7, "r1", "u1", "w1", "m1"}, true},
    {"7 vs level 1", {"_a", "u2", "w2", "m2", "1", ""}, {7, "r1", "u1", "w1", "m1"}, true},
};

class LockConflictTest : public LocksTest {};

TEST_P(LockConflictTest, MatrixOfLevelsAgainstExistingLocks) {
  for (const MatrixRow& m : kMatrix) {
    SCOPED_TRACE(m.what);
    Exec("delete from FD_Locks");
    if (!m.existing.level.empty()) Put(m.existing);
    const Request& q = m.request;
    const size_t before = Rows().size();
    if (!m.conflict) {
      EXPECT_TRUE(Lock(q.level, q.id, q.user, q.ws, q.mod));
      EXPECT_EQ(Rows().size(), before + 1);
      continue;
    }
    try {
      Lock(q.level, q.id, q.user, q.ws, q.mod);
      ADD_FAILURE() << "no conflict";
    } catch (const ComError& e) {
      EXPECT_EQ(e.hr(), Q6_E_LOCKED);
      EXPECT_EQ(e.kind(), ErrorKind::kLockConflict);
      ASSERT_TRUE(e.Find(kConflictLevel)) << e.description();
      EXPECT_EQ(*e.Find(kConflictLevel), m.existing.level);
      EXPECT_EQ(*e.Find(kConflictUser), m.existing.user);
      EXPECT_NE(e.description().find("锁定(级别" + m.existing.level + ")"), std::string::npos)
          << e.description();
    }
    EXPECT_EQ(Rows().size(), before);
  }
}

// A list of records or classes is checked by one statement for all its
// items: it must find what each item's own check finds, for an item after
// the first too (the first then stays locked, as it would alone).
TEST_P(LockConflictTest, AListFindsWhatEachItemsCheckFinds) {
  for (const MatrixRow& m : kMatrix) {
    const Request& q = m.request;
    if (q.level != 6 && q.level != 7) continue;
    SCOPED_TRACE(m.what);
    Exec("delete from FD_Locks");
    if (!m.existing.level.empty()) Put(m.existing);
    const size_t before = Rows().size();
    Variant dsn(this->dsn()), vid("qq9," + q.id);
    std::string user = q.user, ws = q.ws, mod = q.mod, digest, sep = ",";
    int32_t level = q.level;
    if (!m.conflict) {
      EXPECT_TRUE(lm_->LockItEx(dsn, vid, user, ws, mod, level, digest, sep));
      EXPECT_EQ(Rows().size(), before + 2);
      continue;
    }
    try {
      lm_->LockItEx(dsn, vid, user, ws, mod, level, digest, sep);
      ADD_FAILURE() << "no conflict";
    } catch (const ComError& e) {
      EXPECT_EQ(e.kind(), ErrorKind::kLockConflict) << e.description();
      EXPECT_EQ(e.Find(kConflictLevel) ? *e.Find(kConflictLevel) : "", m.existing.level);
    }
    // A lock of an owner scope or module is in the way of the first item too.
    EXPECT_EQ(Rows().size(), before + (m.existing.level < "6" ? 0 : 1));
  }
}

TEST_P(LockConflictTest, TheMessageNamesTheHolderWithAndWithoutDigest) {
  Put({"r1", "user1", "pc01", "fd", "7", ""});
  Put({"r2", "user2", "pc02", "", "7", "月末结账 'x'"});
  struct Row {
    std::string id, message;
    ErrorData holder;  // the error's data, in this order
  } rows[] = {
      {"r1",
       "当前记录已被工作站[pc01]上的用户[user1]于模块[fd]中锁定(级别7)，请稍后再试！",
       {{"user", "user1"},
        {"workstation", "pc01"},
        {"module", "fd"},
        {"level", "7"},
        {"reason", ""}}},
      {"R2",
       "当前记录已被工作站[pc02]上的用户[user2]锁定(级别7)，原因如下:\r\n\r\n\t月末结账 'x'",
       {{"user", "user2"},
        {"workstation", "pc02"},
        {"module", ""},
        {"level", "7"},
        {"reason", "月末结账 'x'"}}},
  };
  for (const Row& r : rows) {
    StatementCapture cap;
    try {
      Lock(7, r.id, "user1", "pc01", "fd");
      ADD_FAILURE() << "no conflict for " << r.id;
    } catch (const ComError& e) {
      EXPECT_EQ(e.hr(), Q6_E_LOCKED);
      EXPECT_EQ(e.description(), r.message);
      EXPECT_EQ(e.source(), "");
      // Callers learn the holder from the kind and the data, not the text.
      EXPECT_EQ(e.kind(), ErrorKind::kLockConflict);
      EXPECT_EQ(e.data(), r.holder);
    }
    // No insert, and the transaction was rolled back.
    std::vector<std::string> sql = cap.Sql();
    ASSERT_FALSE(sql.empty());
    EXPECT_EQ(sql.back(), "RollbackTrans");
    for (const std::string& s : sql) EXPECT_EQ(s.find("insert"), std::string::npos) << s;
  }
  EXPECT_EQ(Rows().size(), 2u);
}

Q6_INSTANTIATE_ENGINE_TEST(LockConflictTest);

}  // namespace
}  // namespace q6::test
