// LockManager: application-level record locks kept in FD_Locks.
//
// Each method takes a connection of its own for DataSourceName from the
// apartment's pool and gives it back on every path; every failure is a
// q6::ComError (see each method).
#pragma once

#include <string>

#include "component/frame/component.h"
#include "component/support/enums.h"
#include "runtime/export.h"

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

class Q6FD_API LockManager final : public ComponentObject {
 public:
  const InterfaceInfo& Interface() const override;

  // The arguments of all four methods: vID the record identifier (level 7)
  // or identifier prefix (level 6), UserName, WorkStation and ModName the
  // holder, iClass the level (1 everything, 2 a workstation, 3 a user, 4 a
  // user at a workstation, 5 a module, 6 a class of records, 7 one record;
  // LockModeEnum), sDigest the reason shown to whoever runs into the lock.
  // vID, UserName and WorkStation (and ModName for LockIt) are normalised
  // (Null to "", lower case) and written back; levels 1 to 5 write their
  // scope identifier ("_a", "_h", "_u", "_h&u", "_m") into an empty vID.

  // Takes one lock: looks for a lock in FD_Locks that conflicts with the
  // requested one and, when there is none, inserts the lock's row and
  // records its holder; the check and the insert run in one transaction of
  // the method's own connection that shuts out every other locker, so two
  // callers cannot both get it. Returns True when the lock was taken;
  // False, with no connection taken, when iClass is not 1 to 7 or what the
  // level needs is empty. Errors: 0x80040C1E naming the holder when a lock
  // conflicts (kind lock_conflict; the holder in the error's data under
  // the names above), 0x80040C1E with "由于并发原因不能进行操作！" and the
  // cause's kind for any other failure (the cause goes to the statement
  // trace). With ReclaimStaleLocks=1 in the data source, a conflicting lock
  // whose holder is provably gone is taken over in the same transaction
  // (and traced).
  bool LockIt(Variant& DataSourceName, Variant& vID, std::string& UserName,
              std::string& WorkStation, std::string& ModName, int32_t& iClass,
              std::string& sDigest);
  // LockIt once per item of the list sSeparator (default ",") separates,
  // taken from the argument the level names (2 WorkStation, 3 UserName,
  // 5 ModName, 6 and 7 vID); empty items are skipped. Returns False with
  // nothing done for levels 1 and 4, an empty separator or a list of
  // separators only; True after the whole list. Errors: the first item's
  // failure is raised unchanged; items locked before it stay locked.
  bool LockItEx(Variant& DataSourceName, Variant& vID, std::string& UserName,
                std::string& WorkStation, std::string& ModName, int32_t& iClass,
                std::string& sDigest, std::string& sSeparator);
  // Releases locks with one DELETE chosen by the level: every lock (1), a
  // workstation's (2), a user's (3), a user's at a workstation (4), a
  // module's (5) and the class lock on the prefix vID (6), both only those
  // of the given user and workstation when these are not empty, and the
  // lock on vID whoever holds it (7); rows go whatever their level. Returns True when the statement
  // ran (whether or not a row went); False, with no connection taken, when
  // the level cannot build a statement. Errors: raised unchanged.
  bool UnlockIt(Variant& DataSourceName, Variant& vID, std::string& UserName,
                std::string& WorkStation, std::string& ModName, int32_t& iClass);
  // UnlockIt once per item of a separated list, as LockItEx (sDigest is not
  // used). Returns and raises as LockItEx.
  bool UnLockItEx(Variant& DataSourceName, Variant& vID, std::string& UserName,
                  std::string& WorkStation, std::string& ModName, int32_t& iClass,
                  std::string& sDigest, std::string& sSeparator);
};

}  // namespace q6
