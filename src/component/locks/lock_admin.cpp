// Listing locks with their holders, releasing stale ones.
#include "component/locks/lock_admin.h"

#include <ctime>

#include "component/frame/exclusive_transaction.h"
#include "component/locks/lock_transaction.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/fields.h"
#include "platform/adodb/recordset.h"
#include "platform/trace/trace.h"

namespace q6 {
namespace {

std::string Text(Recordset& rs, const char* name) {
  Variant v = rs.Fields()->Item(Variant(name))->Value();
  return v.IsNull() ? std::string() : v.ToString();
}

std::vector<LockView> Read(Connection& con, bool with_holders) {
  static const char* kKey[] = {"locks_id", "user_name",  "workstation_name",
                               "mod_name", "class_flag", "digest"};
  std::string sql =
      "select l.locks_id, l.user_name, l.workstation_name, l.mod_name, "
      "l.class_flag, l.digest";
  if (with_holders) {
    sql +=
        ", h.host, h.pid, h.process_start, h.backend_pid, h.backend_start, h.taken_at "
        "from FD_Locks l left join FD_LockHolders h on ";
    for (int i = 0; i < 6; ++i)
      sql += std::string(i ? " and " : "") + "l." + kKey[i] + " = h." + kKey[i];
  } else {
    sql += " from FD_Locks l";
  }
  std::shared_ptr<Recordset> rs = con.Execute(sql + " order by l.locks_id");
  std::vector<LockView> out;
  for (; !rs->EOF(); rs->MoveNext()) {
    LockView v;
    v.key = {Text(*rs, "locks_id"), Text(*rs, "user_name"),  Text(*rs, "workstation_name"),
             Text(*rs, "mod_name"), Text(*rs, "class_flag"), Text(*rs, "digest")};
    if (with_holders && !Text(*rs, "host").empty()) {
      auto number = [&](const char* name) {
        Variant n = rs->Fields()->Item(Variant(name))->Value();
        return n.IsNull() ? int64_t{0} : int64_t{n.ToLong()};
      };
      v.holder = LockHolder{Text(*rs, "host"),          number("pid"),
                            Text(*rs, "process_start"), number("backend_pid"),
                            Text(*rs, "backend_start"), Text(*rs, "taken_at")};
      v.state = StateOf(con, *v.holder);
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
  for (LockView& v : Read(con, true)) {
    if (v.state != HolderState::kGone) continue;
    std::string who;
    if (!AllHoldersGone(con, v.key, &who)) continue;  // a twin row is held by someone alive
    DeleteLockRows(con, v.key);
    TraceNote("LockManager (stale locks)", "released the lock on '" + v.key.id + "': " + who);
    released.push_back(std::move(v));
  }
  xact.Commit();
  return released;
}

std::optional<int64_t> AgeSeconds(const std::string& taken_at) {
  std::tm tm{};
  const char* end = ::strptime(taken_at.c_str(), "%Y-%m-%d %H:%M:%S", &tm);
  if (!end || *end) return std::nullopt;
  return static_cast<int64_t>(std::time(nullptr) - ::timegm(&tm));
}

const char* StateName(HolderState state) {
  switch (state) {
    case HolderState::kAlive:
      return "alive";
    case HolderState::kGone:
      return "gone";
    case HolderState::kUnknown:
      break;
  }
  return "unknown";
}

}  // namespace q6
