// LockManager: application-level record locks kept in FD_Locks.
//
// Errors (HRESULTs):
//   LockIt: 0x80040C1E when another holder's lock conflicts (the text names
//   the holder) or when the lock cannot be taken for any other reason
//   ("由于并发原因不能进行操作！"); it returns False, raising nothing, when the
//   level or what the level needs is missing.
//   LockItEx, UnlockIt, UnLockItEx: the first failing call's error passes
//   through unchanged.
#pragma once

#include <string>

#include "component/frame/component.h"
#include "component/support/enums.h"

namespace q6 {

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
