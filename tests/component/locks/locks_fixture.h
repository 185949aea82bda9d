// What the lock tests share: a LockManager on the test's database, typed
// calls with plain values, the rows of FD_Locks, and the statements a lock
// call is expected to send around its own two on each engine.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "component/frame/lock_manager.h"
#include "component/frame/sql_text.h"
#include "support/statement_capture.h"
#include "support/test_db.h"

namespace q6::test {

// One row of FD_Locks, in column order.
struct LockRow {
  std::string id, user, workstation, module, level, digest;
  bool operator==(const LockRow&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const LockRow& r) {
  return os << "(" << r.id << "," << r.user << "," << r.workstation << "," << r.module << ","
            << r.level << "," << r.digest << ")";
}

class LocksTest : public EngineTest {
 protected:
  void TearDown() override {
    reader_.reset();
    EngineTest::TearDown();
  }

  // What LockIt sends after BeginTrans to keep other lockers out, per
  // engine: the one engine difference these tests know of.
  std::vector<std::string> ExclusionSql() const {
    if (engine() == Engine::PostgreSQL) return {"LOCK TABLE FD_Locks IN SHARE ROW EXCLUSIVE MODE"};
    return {};
  }
  // The statements of a successful LockIt: the transaction around the
  // conflict query and the insert.
  // `sql` without the holder bookkeeping (statements on FD_LockHolders, the
  // check for its release trigger), which rides along with the lock protocol.
  static std::vector<std::string> ProtocolSql(std::vector<std::string> sql) {
    std::erase_if(sql, [](const std::string& s) {
      return s.find("FD_LockHolders") != s.npos || s.find("FD_Locks_release") != s.npos ||
             s.find("fd_locks_release") != s.npos;
    });
    return sql;
  }

  std::vector<std::string> LockSql(const std::string& query, const std::string& insert) const {
    std::vector<std::string> out{"BeginTrans"};
    for (auto& s : ExclusionSql()) out.push_back(s);
    out.push_back(query);
    out.push_back(insert);
    out.push_back("CommitTrans");
    return out;
  }

  // The condition on FD_LockHolders that finds the holder row of lock `id`.
  std::string HolderOf(const std::string& id) const {
    return quirks().lock_holder_per_transaction
               ? "lock_xact = (select xmin::text::bigint from FD_Locks where locks_id = " +
                     SqlQuoted(id) + ")"
               : "locks_id = " + SqlQuoted(id);
  }

  bool Lock(int32_t level, std::string id, std::string user = "", std::string ws = "",
            std::string mod = "", std::string digest = "") {
    Variant dsn(this->dsn()), vid(id);
    return lm_->LockIt(dsn, vid, user, ws, mod, level, digest);
  }
  bool Unlock(int32_t level, std::string id, std::string user = "", std::string ws = "",
              std::string mod = "") {
    Variant dsn(this->dsn()), vid(id);
    return lm_->UnlockIt(dsn, vid, user, ws, mod, level);
  }

  void Put(const LockRow& r) {
    auto q = [](const std::string& v) { return SqlQuoted(v); };
    Exec("insert into FD_Locks values(" + q(r.id) + "," + q(r.user) + "," + q(r.workstation) + "," +
         q(r.module) + "," + q(r.level) + "," + q(r.digest) + ")");
  }
  std::vector<LockRow> Rows() {
    if (!reader_) reader_ = OpenConnection();
    auto rs = reader_->Execute("select * from FD_Locks");
    std::vector<LockRow> out;
    auto text = [&](const char* name) {
      Variant v = rs->Field(name);
      return v.IsNull() ? std::string("<null>") : v.ToString();
    };
    for (; !rs->EOF(); rs->MoveNext())
      out.push_back({text("locks_id"), text("user_name"), text("workstation_name"),
                     text("mod_name"), text("class_flag"), text("digest")});
    std::sort(out.begin(), out.end(), [](const LockRow& a, const LockRow& b) {
      return std::tie(a.id, a.user, a.workstation, a.module, a.level) <
             std::tie(b.id, b.user, b.workstation, b.module, b.level);
    });
    return out;
  }

  std::shared_ptr<LockManager> lm_ = std::make_shared<LockManager>();

 private:
  std::shared_ptr<Connection> reader_;  // opened on first use by Rows()
};

}  // namespace q6::test
