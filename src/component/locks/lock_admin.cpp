// Listing locks with their holders, releasing stale ones.
#include "component/locks/lock_admin.h"

#include <ctime>

#include "component/frame/exclusive_transaction.h"
#include "component/locks/lock_transaction.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/fields.h"
#include "platform/adodb/recordset.h"
#include "platform/drivers/driver.h"
#include "platform/schema/schema.h"
#include "platform/trace/trace.h"

namespace q6 {
namespace {

std::string Text(Recordset& rs, const char* name) {
  Variant v = rs.Fields()->Item(Variant(name))->Value();
  return v.IsNull() ? std::string() : v.ToString();
}

std::vector<LockView> Read(Connection& con, bool with_holders) {
  // Holder columns: all of them, or (a table of an earlier release this
  // login may not alter) the ones it has, the others as nulls.
  const std::string sql =
      (with_holders ? LocksWithHoldersSql(con, LockHoldersUpToDate(con.driver()))
                    : "select l.locks_id, l.user_name, l.workstation_name, l.mod_name, "
                      "l.class_flag, l.digest from FD_Locks l") +
      " order by l.locks_id";
  std::shared_ptr<Recordset> rs = con.ExecuteTranslated(sql, sql);
  HolderJudge judge(con);
  std::vector<LockView> out;
  for (; !rs->EOF(); rs->MoveNext()) {
    LockView v;
    v.key = {Text(*rs, "locks_id"), Text(*rs, "user_name"),  Text(*rs, "workstation_name"),
             Text(*rs, "mod_name"), Text(*rs, "class_flag"), Text(*rs, "digest")};
    if (with_holders && !Text(*rs, "host").empty()) {
      v.holder = ReadLockHolder(*rs);
      v.state = judge.StateOf(*v.holder);
    }
    out.push_back(std::move(v));
  }
  return out;
}

}  // namespace

std::vector<LockView> ListLocks(Connection& con) { return Read(con, LockHoldersPresent(con)); }

std::vector<LockView> ReleaseStaleLocks(Connection& con) {
  std::vector<LockView> released;
  if (!LockHoldersReady(con)) return released;
  ExclusiveTransaction xact(con, "LockManager (stale locks)", LockerExclusion());
  HolderJudge judge(con);
  for (LockView& v : Read(con, true)) {
    if (v.state != HolderState::kGone) continue;
    std::string who;
    if (!AllHoldersGone(judge, con, v.key, &who)) continue;  // a twin row is held by someone alive
    DeleteLockRows(con, v.key);
    TraceNote("LockManager (stale locks)", "released the lock on '" + v.key.id + "': " + who);
    released.push_back(std::move(v));
  }
  if (!released.empty()) DropReleasedTransactionHolders(con);
  xact.Commit();
  return released;
}

std::optional<int64_t> AgeSeconds(const std::string& taken_at) {
  const std::optional<int64_t> at = SecondsSinceEpoch(taken_at);
  if (!at) return std::nullopt;
  return static_cast<int64_t>(std::time(nullptr)) - *at;
}

const char* StateName(HolderState state) {
  switch (state) {
    case HolderState::kAlive:
      return "alive";
    case HolderState::kGone:
      return "gone";
    case HolderState::kAdministrator:
      return "administrator";
    case HolderState::kUnknown:
      break;
  }
  return "unknown";
}

}  // namespace q6
