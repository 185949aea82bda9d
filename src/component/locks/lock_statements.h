// The statements of the lock table FD_Locks: the conflict query a new lock
// runs first, the row it inserts and the release statement of each level.
//
// Every text is joined from fixed fragments and the caller's values, left to
// right, exactly as the lock protocol has always sent it; the one change is
// that a single quote inside a value is written twice (SqlEscaped), so a
// value can neither break a statement nor change its meaning, and the row
// stores the text exactly as given.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/variant.h"

namespace q6 {

// The normalised arguments of a lock or release call: W, U, M and V.
struct LockTarget {
  std::string id;           // vID
  std::string user;         // UserName
  std::string workstation;  // WorkStation
  std::string module;       // ModName
};

// What a lock method does to each of its text arguments first, in place:
// Null (and Empty) become "", then the text is lower-cased, Unicode letters
// included. A text of ASCII characters is lowered where it stands, without
// a copy. Raises what CheckNull or the text conversion raises.
void NormaliseLockText(Variant& value);
// The same for a text argument (never Null).
void NormaliseLockText(std::string& text);

// Whether `level` is one of 1 to 7 and what it needs is not empty: 1 needs
// nothing, 2 the workstation, 3 the user, 4 the user or the workstation,
// 5 the module, 6 and 7 the identifier.
bool LockLevelApplies(int32_t level, const LockTarget& t);

// The identifier a lock of level 1 to 5 stores when the caller gave none:
// "_a", "_h", "_u", "_h&u", "_m"; "" for every other level.
std::string_view LockScopeIdentifier(int32_t level);

// How the values of a lock statement are written into its text: quoted
// literals, or marks (bound_statement.h) for a statement run with its
// values bound. An empty value is always written '': statements are built
// differently for empty values.
struct LockValuesSql {
  std::string id, user, workstation, module, digest;
};
LockValuesSql QuotedLockValues(const LockTarget& t, std::string_view digest = {});
// The marks of value n of LockValueList, as slot `first_slot` + n.
LockValuesSql MarkedLockValues(const LockTarget& t, std::string_view digest = {},
                               size_t first_slot = 0);
// The values the marks stand for: id, user, workstation, module, digest.
std::vector<std::string> LockValueList(const LockTarget& t, std::string_view digest = {});
// Which of those values are empty, one bit each (the identifier's lowest):
// with the level, all that the marked texts below depend on, but for the
// length of a class prefix (ConflictQuery, level 6).
uint32_t EmptyLockValues(const LockTarget& t, std::string_view digest = {});

// The query that finds an existing lock in the way of a new lock of
// `level`; nullopt when LockLevelApplies is false (no query is built).
// Values as quoted literals, or as `v` writes them.
std::optional<std::string> ConflictQuery(int32_t level, const LockTarget& t);
std::optional<std::string> ConflictQuery(int32_t level, const LockTarget& t,
                                         const LockValuesSql& v);

// "insert into fd_locks values('V','U','W','M','<level>','<digest>')".
std::string InsertLockStatement(const LockTarget& t, int32_t level, std::string_view digest);
std::string InsertLockStatement(int32_t level, const LockValuesSql& v);
// One insert of several rows of `level`: "insert into fd_locks values(...),(...)".
std::string InsertLockStatement(int32_t level, std::span<const LockValuesSql> rows);

// The DELETE that releases the locks of `level`; nullopt when
// LockLevelApplies is false. `t.module` is compared as given.
std::optional<std::string> ReleaseStatement(int32_t level, const LockTarget& t);
std::optional<std::string> ReleaseStatement(int32_t level, const LockTarget& t,
                                            const LockValuesSql& v);
}  // namespace q6
