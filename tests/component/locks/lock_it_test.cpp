// LockIt on both engines: the statements of every level, what is written
// back, when nothing happens, quotes, and the failure path.
#include <fstream>
#include <random>

#include "component/locks/lock_statements.h"
#include "locks_fixture.h"
#include "outside/services/connection_manager.h"
#include "platform/drivers/driver.h"
#include "platform/trace/trace.h"
#include "runtime/dispatch.h"

namespace q6::test {
namespace {

class LockItTest : public LocksTest {};

const std::string kH =
    "Select top 1 * From FD_Locks with(updlock) Where  class_flag='1'"
    " or (class_flag='2' and workstation_name='w1') or (class_flag='3' and user_name='u1')"
    " or (class_flag='4' and user_name='u1' and workstation_name='w1')";

TEST_P(LockItTest, EveryLevelSendsItsQueryAndInsertInOneTransaction) {
  struct Row {
    int32_t level;
    std::string id, user, ws, mod, digest;
    std::string query, insert, id_after;
  } rows[] = {
      {1, "", "User1", "PC01", "FD", "", "Select top 1 * From FD_Locks with(updlock)",
       "insert into fd_locks values('_a','user1','pc01','fd','1','')", "_a"},
      {2, "", "u1", "W1", "m1", "d",
       "Select top 1 * From FD_Locks with(updlock) Where (class_flag<>'1' and workstation_name = "
       "'w1') or class_flag='1'",
       "insert into fd_locks values('_h','u1','w1','m1','2','d')", "_h"},
      {3, "", "U1", "w1", "m1", "",
       "Select top 1 * From FD_Locks with(updlock) Where (class_flag<>'1' and user_name = 'u1') "
       "or class_flag='1'",
       "insert into fd_locks values('_u','u1','w1','m1','3','')", "_u"},
      {4, "", "u1", "", "m1", "",
       "Select top 1 * From FD_Locks with(updlock) Where (class_flag<>'1' and user_name = 'u1' or "
       "workstation_name = '') or class_flag='1'",
       "insert into fd_locks values('_h&u','u1','','m1','4','')", "_h&u"},
      {5, "", "u1", "w1", "FD", "", kH + " or (class_flag>='6' and mod_name='fd')",
       "insert into fd_locks values('_m','u1','w1','fd','5','')", "_m"},
      {5, "Doc", "u1", "w1", "fd", "", kH + " or (class_flag>='6' and mod_name='fd')",
       "insert into fd_locks values('doc','u1','w1','fd','5','')", "doc"},
      {6, "ABC", "u1", "w1", "m1", "",
       kH + " or (class_flag='5' and mod_name='m1') or (class_flag>='6' and left(locks_id,3)= "
            "'abc')",
       "insert into fd_locks values('abc','u1','w1','m1','6','')", "abc"},
      {6, "资金Ä", "u1", "w1", "m1", "",
       kH + " or (class_flag='5' and mod_name='m1') or (class_flag>='6' and left(locks_id,3)= "
            "'资金ä')",
       "insert into fd_locks values('资金ä','u1','w1','m1','6','')", "资金ä"},
      {6, "AB资Ä", "u1", "w1", "m1", "",
       kH + " or (class_flag='5' and mod_name='m1') or (class_flag>='6' and left(locks_id,4)= "
            "'ab资ä')",
       "insert into fd_locks values('ab资ä','u1','w1','m1','6','')", "ab资ä"},
      {7, "5100001", "u1", "w1", "m1", "editing",
       kH + " or (class_flag='5' and mod_name='m1') or (class_flag='6' and "
            "left('5100001',len(locks_id))=locks_id) or (class_flag='7' and locks_id='5100001')",
       "insert into fd_locks values('5100001','u1','w1','m1','7','editing')", "5100001"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE("level " + std::to_string(r.level) + " id " + r.id);
    Exec("delete from FD_Locks");
    Variant dsn(this->dsn()), vid(r.id);
    std::string user = r.user, ws = r.ws, mod = r.mod, digest = r.digest;
    int32_t level = r.level;
    StatementCapture cap;
    EXPECT_TRUE(lm_->LockIt(dsn, vid, user, ws, mod, level, digest));
    EXPECT_EQ(ProtocolSql(cap.Sql()), LockSql(r.query, r.insert));
    for (const std::string& e : cap.Errors()) EXPECT_EQ(e, "");
    EXPECT_EQ(vid.ToString(), r.id_after);
    EXPECT_EQ(user, ToLower(r.user));
    EXPECT_EQ(ws, ToLower(r.ws));
    EXPECT_EQ(mod, ToLower(r.mod));
    ASSERT_EQ(Rows().size(), 1u);
    EXPECT_EQ(Rows()[0], (LockRow{r.id_after, user, ws, mod, std::to_string(r.level), digest}));
  }
}

TEST_P(LockItTest, MissingLevelOrNeedReturnsFalseWithoutAConnection) {
  struct Row {
    int32_t level;
    std::string id, user, ws, mod;
    std::string id_after;
  } rows[] = {
      {7, "", "u", "w", "m", ""},        {6, "", "u", "w", "m", ""},   {0, "x", "u", "w", "m", "x"},
      {8, "x", "u", "w", "m", "x"},      {-1, "", "u", "w", "m", ""},  {2, "", "u", "", "m", "_h"},
      {3, "", "", "w", "m", "_u"},       {4, "", "", "", "m", "_h&u"}, {5, "", "u", "w", "", "_m"},
      {5, "Keep", "u", "w", "", "keep"},
  };
  auto cm = ApartmentConnectionManager();
  for (const Row& r : rows) {
    SCOPED_TRACE("level " + std::to_string(r.level) + " id " + r.id);
    Variant dsn(this->dsn()), vid(r.id);
    std::string user = r.user, ws = r.ws, mod = r.mod, digest;
    int32_t level = r.level;
    size_t idle = cm->IdleCount();
    StatementCapture cap;
    EXPECT_FALSE(lm_->LockIt(dsn, vid, user, ws, mod, level, digest));
    EXPECT_TRUE(cap.Sql().empty());
    EXPECT_EQ(cm->IdleCount(), idle);
    EXPECT_EQ(vid.ToString(), r.id_after);
  }
  // A Null identifier counts as empty.
  Variant dsn(this->dsn()), vid = Variant::Null();
  std::string user = "u", ws = "w", mod = "m", digest;
  int32_t level = 7;
  EXPECT_FALSE(lm_->LockIt(dsn, vid, user, ws, mod, level, digest));
  EXPECT_EQ(vid, Variant(""));
  EXPECT_TRUE(Rows().empty());
}

TEST_P(LockItTest, QuotesAreDoubledInTheTextAndStoredExactly) {
  StatementCapture cap;
  ASSERT_TRUE(Lock(7, "a'b", "o'neil", "w'1", "m'1", "it's mine"));
  std::vector<std::string> sql = ProtocolSql(cap.Sql());
  EXPECT_EQ(sql[sql.size() - 2],
            "insert into fd_locks values('a''b','o''neil','w''1','m''1','7','it''s mine')");
  EXPECT_EQ(Rows(), (std::vector<LockRow>{{"a'b", "o'neil", "w'1", "m'1", "7", "it's mine"}}));
  // The stored identifier is found again by record and by class.
  EXPECT_THROW(Lock(7, "a'b", "x", "y", "z"), ComError);
  EXPECT_THROW(Lock(6, "a'", "x", "y", "z"), ComError);
  EXPECT_TRUE(Lock(7, "a''b", "x", "y", "z"));
  cap.Clear();
  EXPECT_TRUE(Unlock(6, "a'b", "O'Neil", "W'1"));
  EXPECT_EQ(cap.Sql(),
            (std::vector<std::string>{"delete From FD_Locks Where locks_id = 'a''b' and "
                                      "user_name='o''neil' and WorkStation_name='w''1'"}));
  EXPECT_EQ(Rows().size(), 1u);
}

TEST_P(LockItTest, ByReferenceArgumentsAreWrittenBackThroughInvoke) {
  Variant dsn(this->dsn()), vid("REC-Ä1"), user("User1"), ws("PC01"), mod("FdMod"), level(7),
      digest("Why");
  Variant r =
      lm_->Invoke("LockIt", MemberKind::Method,
                  {Variant::Ref(&dsn), Variant::Ref(&vid), Variant::Ref(&user), Variant::Ref(&ws),
                   Variant::Ref(&mod), Variant::Ref(&level), Variant::Ref(&digest)});
  EXPECT_EQ(r, Variant(true));
  EXPECT_EQ(vid, Variant("rec-ä1"));
  EXPECT_EQ(user, Variant("user1"));
  EXPECT_EQ(ws, Variant("pc01"));
  EXPECT_EQ(mod, Variant("fdmod"));
  EXPECT_EQ(digest, Variant("Why"));  // the digest is stored as given
  EXPECT_EQ(Rows(), (std::vector<LockRow>{{"rec-ä1", "user1", "pc01", "fdmod", "7", "Why"}}));

  // Omitted vID with a scope level: the scope identifier comes back.
  Variant vid2 = Variant::Null(), level2(2), mod2("Other");
  r = lm_->Invoke("LockIt", MemberKind::Method,
                  {Variant::Ref(&dsn), Variant::Ref(&vid2), Variant("u9"), Variant("PC09"),
                   Variant::Ref(&mod2), Variant::Ref(&level2)});
  EXPECT_EQ(r, Variant(true));
  EXPECT_EQ(vid2, Variant("_h"));
  EXPECT_EQ(mod2, Variant("other"));

  // UnlockIt writes back vID, UserName and WorkStation, never ModName.
  Variant uvid("REC-Ä1"), uuser("USER1"), uws("PC01"), umod("FdMod"), ulevel(6);
  r = lm_->Invoke("UnlockIt", MemberKind::Method,
                  {Variant::Ref(&dsn), Variant::Ref(&uvid), Variant::Ref(&uuser),
                   Variant::Ref(&uws), Variant::Ref(&umod), Variant::Ref(&ulevel)});
  EXPECT_EQ(r, Variant(true));
  EXPECT_EQ(uvid, Variant("rec-ä1"));
  EXPECT_EQ(uuser, Variant("user1"));
  EXPECT_EQ(uws, Variant("pc01"));
  EXPECT_EQ(umod, Variant("FdMod"));
  EXPECT_EQ(Rows().size(), 1u);
}

// Reads the "note" lines of a trace file.
std::vector<std::string> TraceNotes(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> out;
  for (std::string line; std::getline(in, line);)
    if (line.find("\"note\"") != std::string::npos) out.push_back(line);
  return out;
}

TEST_P(LockItTest, OtherFailuresRaiseTheConcurrencyTextAndTraceTheCause) {
  const std::string trace = folder() + "/trace.jsonl";
  SetTraceFile(trace);
  auto cm = ApartmentConnectionManager();

  // No connection to be had.
  Variant bad("Driver=sqlite;Database=" + folder() + "/no/such/dir/x.db"), vid("r1");
  std::string user = "u", ws = "w", mod = "m", digest;
  int32_t level = 7;
  try {
    lm_->LockIt(bad, vid, user, ws, mod, level, digest);
    ADD_FAILURE() << "no error";
  } catch (const ComError& e) {
    EXPECT_EQ(e.hr(), Q6_E_LOCKED);
    EXPECT_EQ(e.description(), "由于并发原因不能进行操作！");
    EXPECT_EQ(e.source(), "");
    // The fixed text stands for the failure; its kind and code travel along.
    EXPECT_EQ(e.kind(), ErrorKind::kConnectionLost);
    EXPECT_EQ(e.native_code(), "14");
  }
  ASSERT_EQ(TraceNotes(trace).size(), 1u);
  EXPECT_NE(TraceNotes(trace)[0].find("LockManager.LockIt"), std::string::npos);
  EXPECT_NE(TraceNotes(trace)[0].find("0x80004005"), std::string::npos);

  // A statement that fails inside the transaction: the table has lost a
  // column, so the insert fails after the conflict query.
  Exec("drop table FD_Locks");
  Exec(
      "create table FD_Locks (locks_id text, user_name text, workstation_name text, "
      "mod_name text, class_flag text)");
  size_t idle = cm->IdleCount();
  try {
    Lock(7, "r1", "u", "w", "m");
    ADD_FAILURE() << "no error";
  } catch (const ComError& e) {
    EXPECT_EQ(e.hr(), Q6_E_LOCKED);
    EXPECT_EQ(e.description(), "由于并发原因不能进行操作！");
    EXPECT_EQ(e.kind(), ErrorKind::kOther);
    EXPECT_FALSE(e.native_code().empty());
  }
  // The holder table's readiness check notes first that the rebuilt table
  // cannot take the release trigger; the failure's own note comes last.
  ASSERT_GE(TraceNotes(trace).size(), 2u);
  EXPECT_NE(TraceNotes(trace).back().find("LockManager.LockIt"), std::string::npos);
  SetTraceFile("");
  // The connection went back to the pool with its transaction ended, so
  // the next caller can use it at once.
  EXPECT_EQ(cm->IdleCount(), idle + 1);
  Exec("insert into FD_Locks values('x','u','w','m','7')");
  EXPECT_EQ(Scalar("select count(*) from FD_Locks").ToLong(), 1);
}

TEST_P(LockItTest, IdentifiersLongerThanTheEngineIndexesAreRefusedClearly) {
  // The longest identifier each engine's index on locks_id takes; 0: none.
  const size_t limit = engine() == Engine::PostgreSQL ? 2692 : 0;
  // Text that does not compress, so that the engine stores it as it is.
  std::minstd_rand rng(7);
  auto text = [&](size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s += "abcdefghijklmnopqrstuvwxyz0123456789"[rng() % 36];
    return s;
  };
  EXPECT_TRUE(Lock(7, text(limit ? limit : 100000), "u"));
  ASSERT_EQ(Rows().size(), 1u);
  if (!limit) return;
  try {
    Lock(7, text(limit + 1), "u");
    ADD_FAILURE() << "no error";
  } catch (const ComError& e) {
    EXPECT_EQ(e.hr(), Q6_E_LOCKED);
    EXPECT_NE(e.description().find(std::to_string(limit + 1) + " bytes"), std::string::npos)
        << e.description();
  }
  EXPECT_EQ(Rows().size(), 1u);
}

// Bytes that are not UTF-8 (a record id, a class prefix of the same bytes)
// are refused before anything is sent, on both engines alike.
TEST_P(LockItTest, TextsThatAreNotUtf8AreRefused) {
  struct Case {
    int32_t level;
    std::string id, user;
  } cases[] = {{7,
                "\xE4\xB8"
                "abc",
                "u"},
               {6, "\xE4\xB8", "u"},
               {7, "rec", "\xFF"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    try {
      Lock(c.level, c.id, c.user);
      ADD_FAILURE() << "no error";
    } catch (const ComError& e) {
      EXPECT_EQ(e.hr(), Q6_E_LOCKED);
      EXPECT_NE(e.description().find("not valid UTF-8"), std::string::npos) << e.description();
    }
  }
  EXPECT_TRUE(Rows().empty());
}

Q6_INSTANTIATE_ENGINE_TEST(LockItTest);

}  // namespace
}  // namespace q6::test
