// The lock table's statements, built from fixed fragments.
//
// Levels 5 to 7 share one head that finds the locks of every owner scope
// (everything, workstation, user, user at workstation); the tail of each
// level adds its module, class or record test. Values go in through
// SqlEscaped, everything else is literal text.
#include "component/locks/lock_statements.h"

#include <algorithm>

#include "component/frame/mdl_public.h"
#include "component/frame/sql_text.h"
#include "component/support/bound_statement.h"
#include "component/support/enums.h"

namespace q6 {
namespace {

constexpr std::string_view kSelectHead = "Select top 1 * From FD_Locks with(updlock)";
constexpr std::string_view kDeleteHead = "delete From FD_Locks";

// The part shared by the conflict queries of levels 5, 6 and 7 (two blanks
// after Where, as the protocol has always sent it).
std::string OwnerScopesHead(const LockValuesSql& v) {
  const std::string& w = v.workstation;
  const std::string& u = v.user;
  std::string q(kSelectHead);
  q += " Where ";
  q += " class_flag='1'";
  q += " or (class_flag='2' and workstation_name=" + w + ")";
  q += " or (class_flag='3' and user_name=" + u + ")";
  q += " or (class_flag='4' and user_name=" + u + " and workstation_name=" + w + ")";
  return q;
}

std::string ModuleTail(const LockValuesSql& v, std::string_view relation) {
  return " or (class_flag" + std::string(relation) + " and mod_name=" + v.module + ")";
}

// " and user_name='U'" and " and WorkStation_name='W'", each when given.
std::string OwnerFilter(const LockTarget& t, const LockValuesSql& v) {
  std::string s;
  if (!t.user.empty()) s += " and user_name=" + v.user;
  if (!t.workstation.empty()) s += " and WorkStation_name=" + v.workstation;
  return s;
}

// A value as a quoted literal, or ValueMark(slot) when marked (an empty
// value stays '': statements branch on emptiness).
std::string ValueSql(std::string_view value, bool marked, size_t slot) {
  return marked && !value.empty() ? ValueMark(slot) : SqlQuoted(value);
}

LockValuesSql ValuesSql(const LockTarget& t, std::string_view digest, bool marked, size_t first) {
  return {ValueSql(t.id, marked, first), ValueSql(t.user, marked, first + 1),
          ValueSql(t.workstation, marked, first + 2), ValueSql(t.module, marked, first + 3),
          ValueSql(digest, marked, first + 4)};
}

}  // namespace

void NormaliseLockText(std::string& text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      // Lowering is idempotent, so the ASCII letters lowered already make
      // no difference to the whole text's mapping.
      text = ToLower(text);
      return;
    }
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  }
}

void NormaliseLockText(Variant& value) {
  // A text passes the Null rule as it is: only its case changes.
  if (value.type() == VarType::String) {
    NormaliseLockText(value.string_ref());
    return;
  }
  value = Variant(ToLower(CheckNullText(value)));
}

bool LockLevelApplies(int32_t level, const LockTarget& t) {
  switch (level) {
    case enum_All:
      return true;
    case enum_ByHost:
      return !t.workstation.empty();
    case enum_ByUser:
      return !t.user.empty();
    case enum_ByHostAndUser:
      return !t.user.empty() || !t.workstation.empty();
    case enum_ByMod:
      return !t.module.empty();
    case enum_byClass:
    case enum_byID:
      return !t.id.empty();
    default:
      return false;
  }
}

std::string_view LockScopeIdentifier(int32_t level) {
  switch (level) {
    case enum_All:
      return "_a";
    case enum_ByHost:
      return "_h";
    case enum_ByUser:
      return "_u";
    case enum_ByHostAndUser:
      return "_h&u";
    case enum_ByMod:
      return "_m";
    default:
      return "";
  }
}

LockValuesSql QuotedLockValues(const LockTarget& t, std::string_view digest) {
  return ValuesSql(t, digest, false, 0);
}

LockValuesSql MarkedLockValues(const LockTarget& t, std::string_view digest, size_t first_slot) {
  return ValuesSql(t, digest, true, first_slot);
}

std::vector<std::string> LockValueList(const LockTarget& t, std::string_view digest) {
  return {t.id, t.user, t.workstation, t.module, std::string(digest)};
}

uint32_t EmptyLockValues(const LockTarget& t, std::string_view digest) {
  return (t.id.empty() ? 1u : 0u) | (t.user.empty() ? 2u : 0u) | (t.workstation.empty() ? 4u : 0u) |
         (t.module.empty() ? 8u : 0u) | (digest.empty() ? 16u : 0u);
}

std::optional<std::string> ConflictQuery(int32_t level, const LockTarget& t) {
  return ConflictQuery(level, t, QuotedLockValues(t));
}

std::optional<std::string> ConflictQuery(int32_t level, const LockTarget& t,
                                         const LockValuesSql& v) {
  if (!LockLevelApplies(level, t)) return std::nullopt;
  std::string q(kSelectHead);
  switch (level) {
    case enum_All:
      return q;
    case enum_ByHost:
      return q + " Where (class_flag<>'1' and workstation_name = " + v.workstation +
             ") or class_flag='1'";
    case enum_ByUser:
      return q + " Where (class_flag<>'1' and user_name = " + v.user + ") or class_flag='1'";
    case enum_ByHostAndUser:
      return q + " Where (class_flag<>'1' and user_name = " + v.user +
             " or workstation_name = " + v.workstation + ") or class_flag='1'";
    case enum_ByMod:
      return OwnerScopesHead(v) + ModuleTail(v, ">='6'");
    case enum_byClass:
      // The class test counts the characters of the prefix as stored, not
      // of its quoted form.
      return OwnerScopesHead(v) + ModuleTail(v, "='5'") +
             " or (class_flag>='6' and left(locks_id," + SqlNumber(CharCount(t.id)) + ")= " + v.id +
             ")";
    default:  // enum_byID
      return OwnerScopesHead(v) + ModuleTail(v, "='5'") + " or (class_flag='6' and left(" + v.id +
             ",len(locks_id))=locks_id)" + " or (class_flag='7' and locks_id=" + v.id + ")";
  }
}

std::string InsertLockStatement(const LockTarget& t, int32_t level, std::string_view digest) {
  return InsertLockStatement(level, QuotedLockValues(t, digest));
}

std::string InsertLockStatement(int32_t level, const LockValuesSql& v) {
  return InsertLockStatement(level, std::span<const LockValuesSql>(&v, 1));
}

std::string InsertLockStatement(int32_t level, std::span<const LockValuesSql> rows) {
  std::string s = "insert into fd_locks values";
  for (const LockValuesSql& v : rows) {
    if (&v != rows.data()) s += ',';
    s += "(" + v.id + "," + v.user + "," + v.workstation + "," + v.module + ",'" +
         SqlNumber(level) + "'," + v.digest + ")";
  }
  return s;
}

std::optional<std::string> ReleaseStatement(int32_t level, const LockTarget& t) {
  return ReleaseStatement(level, t, QuotedLockValues(t));
}

std::optional<std::string> ReleaseStatement(int32_t level, const LockTarget& t,
                                            const LockValuesSql& v) {
  if (!LockLevelApplies(level, t)) return std::nullopt;
  std::string s(kDeleteHead);
  switch (level) {
    case enum_All:
      return s;
    case enum_ByHost:
      return s + " Where workstation_name = " + v.workstation;
    case enum_ByUser:
      return s + " Where user_name = " + v.user;
    case enum_ByHostAndUser:
      return s + " Where user_name = " + v.user + " and workstation_name = " + v.workstation;
    case enum_ByMod:
      return s + " Where mod_name = " + v.module + OwnerFilter(t, v);
    case enum_byClass:
      return s + " Where locks_id = " + v.id + OwnerFilter(t, v);
    default:  // enum_byID: whoever holds it
      return s + " Where locks_id = " + v.id;
  }
}

}  // namespace q6
