// LockManager: application-level record locks kept in FD_Locks.
//
// Errors (HRESULTs):
//   LockIt: 0x80040C1E when another holder's lock conflicts (the text names
//   the holder; the error's kind is ErrorKind::kLockConflict and its data
//   holds the holder under the names below) or when the lock cannot be taken
//   for any other reason ("由于并发原因不能进行操作！", with the kind and
//   engine code of the failure behind it); it returns False, raising
//   nothing, when the level or what the level needs is missing.
//   LockItEx, UnlockIt, UnLockItEx: the first failing call's error passes
//   through unchanged.
#pragma once

#include <string>

#include "component/frame/component.h"
#include "component/support/enums.h"

namespace q6 {

// The names under which a conflict's error carries the holder of the lock
// in the way (ComError::data()): each value as the lock's row holds it, ""
// for Null. The level is the lock's level as text ("7"); the reason is the
// digest its holder gave.
inline constexpr const char* kConflictUser = "user";
inline constexpr const char* kConflictWorkstation = "workstation";
inline constexpr const char* kConflictModule = "module";
inline constexpr const char* kConflictLevel = "level";
inline constexpr const char* kConflictReason = "reason";

class LockManager final : public ComponentObject {
 public:
  const InterfaceInfo& Interface() const override;

  bool LockItEx(Variant& DataSourceName, Variant& vID, std::string& UserName,
                std::string& WorkStation, std::string& ModName, int32_t& iClass,
                std::string& sDigest, std::string& sSeparator);
  bool LockIt(Variant& DataSourceName, Variant& vID, std::string& UserName,
              std::string& WorkStation, std::string& ModName, int32_t& iClass,
              std::string& sDigest);
  bool UnlockIt(Variant& DataSourceName, Variant& vID, std::string& UserName,
                std::string& WorkStation, std::string& ModName, int32_t& iClass);
  bool UnLockItEx(Variant& DataSourceName, Variant& vID, std::string& UserName,
                  std::string& WorkStation, std::string& ModName, int32_t& iClass,
                  std::string& sDigest, std::string& sSeparator);
};

}  // namespace q6
