// The texts of the error 0x80040C1E that LockIt raises.
//
// A conflict names the holder of the lock in the way, built from that lock's
// row, and carries that holder as data of the error (ErrorKind::
// kLockConflict) so that callers never read it back out of the text; every
// other failure says only that the lock could not be taken because of
// concurrent work (the cause goes to the statement trace).
#pragma once

#include <string>

#include "runtime/com_error.h"
#include "runtime/variant.h"

namespace q6 {

class Recordset;

// The columns of an existing lock that the conflict message names, as read
// from FD_Locks (each may be Null).
struct LockHolderRow {
  Variant workstation_name;
  Variant user_name;
  Variant mod_name;
  Variant class_flag;
  Variant digest;
};

// The current row of `rs`, read by the names "workstation_name",
// "user_name", "Mod_name", "class_flag" and "digest". Raises what
// Recordset::Field raises (3265 for a missing column, 3021 at EOF).
LockHolderRow ReadLockHolderRow(const Recordset& rs);

// "当前记录已被", then "工作站[W]上的", "用户[U]", "于模块[M]中" for each of
// those columns that is not empty, then "锁定(级别F)，" and either
// "请稍后再试！" (no digest) or "原因如下:" CR LF CR LF TAB digest. Null
// counts as empty. Raises only what the text conversion of a column raises.
std::string LockConflictMessage(const LockHolderRow& row);

// The error of a conflict with the lock in `row`: Q6_E_LOCKED with
// LockConflictMessage(row) and no source, kind ErrorKind::kLockConflict, and
// the holder's columns as data under the names LockManager's header gives
// (the text of each, "" for Null). Raises only what LockConflictMessage
// raises.
ComError LockConflictError(const LockHolderRow& row);

// The description of every failure of LockIt other than a conflict.
inline constexpr const char* kLockConcurrencyFailure = "由于并发原因不能进行操作！";

// Raises Q6_E_LOCKED with `description` and no source, keeping the kind
// and engine code of the failure `cause` (the fixed concurrency text stands
// for many failures; the kind tells a busy database from a missing table).
[[noreturn]] void ThrowLocked(const std::string& description, const std::exception& cause);

}  // namespace q6
