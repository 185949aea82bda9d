// The list methods LockItEx and UnLockItEx: one call of LockIt or UnlockIt
// per item of a separated list held in one of the arguments.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "runtime/variant.h"

namespace q6 {

// The four arguments a lock call normalises, by reference.
struct LockArgRefs {
  Variant& id;               // vID
  std::string& user;         // UserName
  std::string& workstation;  // WorkStation
  std::string& module;       // ModName
};

// False when `list` holds no item for `separator`: the separator or the
// list is empty, or nothing but blanks is left once every occurrence of the
// separator (case-sensitive) is removed.
bool LockListHasItems(const std::string& list, const std::string& separator);

// Splits the argument that holds the list for `level` (2 WorkStation,
// 3 UserName, 5 ModName, 6 and 7 vID, each through CheckNull in text mode)
// and calls `call` once per non-empty item, in order, with `args` except
// that the item stands in for the list's argument. `separator` goes through
// CheckNull first and keeps the result. Items come from GetNextItem of the
// apartment's PublicService.
// Returns false, calling nothing, for levels 1, 4 and values outside 1 to 7
// and when LockListHasItems is false; true once the list is used up.
// Errors of GetNextItem and of `call` pass through; items already done stay
// done.
bool ForEachLockListItem(int32_t level, LockArgRefs args, std::string& separator,
                         const std::function<void(LockArgRefs)>& call);

}  // namespace q6
