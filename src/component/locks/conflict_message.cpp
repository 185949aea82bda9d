// The conflict message: who holds the lock in the way, where and why.
#include "component/locks/conflict_message.h"

#include "component/frame/lock_manager.h"
#include "component/frame/mdl_public.h"
#include "platform/adodb/recordset.h"

namespace q6 {

LockHolderRow ReadLockHolderRow(const Recordset& rs) {
  LockHolderRow row;
  row.workstation_name = rs.Field("workstation_name");
  row.user_name = rs.Field("user_name");
  row.mod_name = rs.Field("Mod_name");
  row.class_flag = rs.Field("class_flag");
  row.digest = rs.Field("digest");
  return row;
}

std::string LockConflictMessage(const LockHolderRow& row) {
  std::string msg = "当前记录已被";
  if (std::string w = CheckNullText(row.workstation_name); !w.empty())
    msg += "工作站[" + w + "]上的";
  if (std::string u = CheckNullText(row.user_name); !u.empty()) msg += "用户[" + u + "]";
  if (std::string m = CheckNullText(row.mod_name); !m.empty()) msg += "于模块[" + m + "]中";
  msg += "锁定(级别" + CheckNullText(row.class_flag) + ")，";
  if (std::string d = CheckNullText(row.digest); d.empty())
    msg += "请稍后再试！";
  else
    msg += "原因如下:\r\n\r\n\t" + d;
  return msg;
}

ComError LockConflictError(const LockHolderRow& row) {
  return ComError(Q6_E_LOCKED, LockConflictMessage(row), "", ErrorKind::kLockConflict, "",
                  {{kConflictUser, CheckNullText(row.user_name)},
                   {kConflictWorkstation, CheckNullText(row.workstation_name)},
                   {kConflictModule, CheckNullText(row.mod_name)},
                   {kConflictLevel, CheckNullText(row.class_flag)},
                   {kConflictReason, CheckNullText(row.digest)}});
}

void ThrowLocked(const std::string& description, const std::exception& cause) {
  ThrowWithCauseOf(Q6_E_LOCKED, description, cause);
}

}  // namespace q6
