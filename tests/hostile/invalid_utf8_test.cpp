// Text that is not valid UTF-8, handed to the typed methods by a C++ caller.
//
// Every case must end in one of two ways: a ComError with a description, or
// the bytes stored and read back exactly as the method reports it stored
// them. Never a crash, and a canary table and the lock table stay as they
// were. Runs on both engines with the sample document types.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "component/frame/data_manager.h"
#include "component/frame/lock_manager.h"
#include "component/frame/log_manager.h"
#include "component/frame/sql_text.h"
#include "outside/eso/entity_field.h"
#include "outside/eso/entity_fields.h"
#include "outside/eso/entity_object.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/recordset.h"
#include "sample/sample_data.h"
#include "support/test_db.h"

namespace q6::test {
namespace {

// Byte sequences no UTF-8 decoder may accept, some next to a quote that a
// careless decoder would swallow as a continuation byte.
const std::vector<std::string>& InvalidTexts() {
  static const std::vector<std::string> texts = {
      "\xff",
      "a\x80z",
      "\xc3",                                       // lead byte at the end
      "\xc3'; drop table canary; --",               // lead byte before a quote
      "\xe4\xbd' or '1'='1",                        // two of three bytes, then a quote
      "\xc0\xaf",                                   // overlong '/'
      "\xed\xa0\x80",                               // a surrogate
      "\xf4\x90\x80\x80",                           // beyond U+10FFFF
      std::string("\xfe\xff", 2) + "\xef\xbb\xbf",  // byte-order marks, one broken
  };
  return texts;
}

class InvalidUtf8Test : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped()) return;
    auto con = OpenConnection();
    sample::SeedOptions options;
    options.documents = 1;
    sample::SeedSample(*con, options);
    Exec("create table canary (id integer, note varchar(20))");
    Exec("insert into canary values (1, 'alive')");
  }

  // What no call may change.
  void ExpectIntact() {
    EXPECT_EQ(Scalar("select count(*) from canary").ToLong(), 1);
    EXPECT_EQ(Scalar("select note from canary").ToString(), "alive");
    EXPECT_EQ(Scalar("select count(*) from FD_Entities").ToLong(), entities_);
  }

  // A ComError carries a description.
  static void ExpectDescribed(const ComError& e) { EXPECT_FALSE(e.description().empty()); }

  int32_t entities_ = 6;  // the sample types
};

TEST_P(InvalidUtf8Test, LockTextsAreRefusedOrStoredExactly) {
  enum Slot { kId, kUser, kWorkstation, kModule, kDigest };
  for (int slot = kId; slot <= kDigest; ++slot) {
    for (const std::string& bad : InvalidTexts()) {
      SCOPED_TRACE("slot " + std::to_string(slot) + ", text " + SqlQuoted(bad));
      LockManager lm;
      Variant dsn(this->dsn());
      Variant id(slot == kId ? bad : std::string("510000000000001"));
      std::string user = slot == kUser ? bad : "u";
      std::string ws = slot == kWorkstation ? bad : "pc";
      std::string mod = slot == kModule ? bad : "fd";
      std::string digest = slot == kDigest ? bad : "d";
      int32_t level = 7;
      try {
        ASSERT_TRUE(lm.LockIt(dsn, id, user, ws, mod, level, digest));
        // Stored as the method reports it (the four names lower-cased); the
        // bytes that are not UTF-8 stay as they were.
        auto con = OpenConnection();
        auto rs = con->Execute(
            "select locks_id, user_name, workstation_name, mod_name, digest from FD_Locks");
        ASSERT_FALSE(rs->EOF());
        EXPECT_EQ(rs->Field("locks_id").ToString(), id.ToString());
        EXPECT_EQ(rs->Field("user_name").ToString(), user);
        EXPECT_EQ(rs->Field("workstation_name").ToString(), ws);
        EXPECT_EQ(rs->Field("mod_name").ToString(), mod);
        EXPECT_EQ(rs->Field("digest").ToString(), digest);
        if (slot == kDigest) EXPECT_EQ(digest, bad);
        if (slot == kId) EXPECT_EQ(id.ToString(), ToLower(bad));
      } catch (const ComError& e) {
        ExpectDescribed(e);
      }
      Exec("delete from FD_Locks");
      ExpectIntact();
    }
  }
}

TEST_P(InvalidUtf8Test, FieldValuesAreRefusedOrSavedExactly) {
  auto dm = std::make_shared<DataManager>();
  auto con = OpenConnection();
  int n = 0;
  for (const std::string& bad : InvalidTexts()) {
    SCOPED_TRACE(SqlQuoted(bad));
    Variant dsn(this->dsn());
    int32_t type = 51, only_used = 0;
    bool only_eo = false, child = false;
    ObjectRef eo_ref = dm->LoadEOMetaData(dsn, type, only_eo, only_used, child);
    auto eo = std::dynamic_pointer_cast<EntityObject>(eo_ref);
    ASSERT_TRUE(eo);
    const std::string oid = "5198" + std::string(10, '0') + std::to_string(n++);
    eo->SetEditState(Variant(int32_t{2}));
    eo->SetOIDValue(Variant(oid));
    eo->Fields()->Item("oid")->SetValue(Variant(oid));
    eo->Fields()->Item("payer")->SetValue(Variant(bad));
    ObjectRef con_ref = con;
    try {
      ASSERT_TRUE(dm->Save(con_ref, eo_ref));
      EXPECT_EQ(Scalar("select payer from fd_receipt where oid = '" + oid + "'").ToString(), bad);
    } catch (const ComError& e) {
      ExpectDescribed(e);
      EXPECT_EQ(Scalar("select count(*) from fd_receipt where oid = '" + oid + "'").ToLong(), 0);
    }
    ExpectIntact();
  }
}

TEST_P(InvalidUtf8Test, StatementsAndNamesAreRefusedOrAnsweredExactly) {
  auto dm = std::make_shared<DataManager>();
  for (const std::string& bad : InvalidTexts()) {
    SCOPED_TRACE(SqlQuoted(bad));
    Variant dsn(this->dsn());
    std::string sql = "select 1 as a, " + SqlQuoted(bad) + " as b";
    try {
      EXPECT_EQ(dm->MoveToBySQL(dsn, sql), bad);
    } catch (const ComError& e) {
      ExpectDescribed(e);
    }
    Variant bad_dsn(bad);
    std::string one = "select 1 as a, 2 as b";
    try {
      dm->MoveToBySQL(bad_dsn, one);
      ADD_FAILURE() << "a data source named by broken text was found";
    } catch (const ComError& e) {
      ExpectDescribed(e);
    }
    ExpectIntact();
  }
}

TEST_P(InvalidUtf8Test, LogLinesAreWrittenAsGiven) {
  for (bool unicode : {false, true}) {
    for (const std::string& bad : InvalidTexts()) {
      SCOPED_TRACE(SqlQuoted(bad) + (unicode ? " UTF-16" : " UTF-8"));
      const std::string path = folder() + "/log.txt";
      {
        LogManager log;
        bool overwrite = true;
        std::string error;
        ASSERT_TRUE(log.StartLog(path, overwrite, error, unicode)) << error;
        std::string line = bad;
        log.WriteLine(line);
        bool kill = false;
        log.StopLog(kill);
        std::ifstream in(path, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // UTF-8 logs hold the bytes as given; a UTF-16 log cannot, and only
        // has to survive the write.
        if (!unicode) EXPECT_NE(bytes.find("\n" + bad + "\r\n"), std::string::npos) << bytes;
      }
      // A name that is not UTF-8 is still a file name.
      {
        LogManager log;
        bool overwrite = true;
        std::string error;
        const std::string odd = folder() + "/" + bad + ".log";
        if (log.StartLog(odd, overwrite, error, unicode)) {
          EXPECT_EQ(log.GetLogFileName(), odd);
          EXPECT_TRUE(std::ifstream(odd).good());
        } else {
          EXPECT_FALSE(error.empty());
        }
      }
    }
  }
}

Q6_INSTANTIATE_ENGINE_TEST(InvalidUtf8Test);

}  // namespace
}  // namespace q6::test
