// The list statements of FD_Locks, one text per engine.
//
// Each text is written with a function that gives the SQL of value n: the
// engine's placeholder for the statement that runs, the value quoted for
// the text the statement trace shows. The comparisons are those the dialect
// writes for the statements of one lock: on SQLite the columns' NOCASE
// collation decides (a prefix cut from a column is compared COLLATE
// NOCASE, as the dialect writes it); on PostgreSQL `^=` and
// `rtrim(...)::citext` on both sides.
#include "component/locks/lock_list_statements.h"

#include <algorithm>
#include <functional>

#include "component/frame/sql_text.h"
#include "component/support/enums.h"
#include "platform/adodb/connection.h"
#include "platform/trace/trace.h"

namespace q6 {
namespace {

// The SQL of value n (0-based) of a statement.
using ValueSql = std::function<std::string(size_t)>;

bool Pg(Engine e) { return e == Engine::PostgreSQL; }

// `column` compared with value `n` as the dialect compares them.
std::string Eq(Engine e, const char* column, const ValueSql& v, size_t n) {
  return std::string(column) + (Pg(e) ? " ^= " : "=") + v(n);
}

std::string Flag(Engine e, const char* relation, char level) {
  return std::string("l.class_flag") + (Pg(e) ? " ^" : "") + relation + (Pg(e) ? " '" : "'") +
         level + "'";
}

// The check: the owner's scopes and module (values 0 to 2: user,
// workstation, module), then the list's own class and record tests (value
// 3: the list).
std::string CheckText(Engine e, int32_t level, const ValueSql& v) {
  const std::string rows = ListRowsSql(e, v(3));
  std::string q = "Select l.* From FD_Locks l Where  " + Flag(e, "=", '1');
  q += " or (" + Flag(e, "=", '2') + " and " + Eq(e, "l.workstation_name", v, 1) + ")";
  q += " or (" + Flag(e, "=", '3') + " and " + Eq(e, "l.user_name", v, 0) + ")";
  q += " or (" + Flag(e, "=", '4') + " and " + Eq(e, "l.user_name", v, 0) + " and " +
       Eq(e, "l.workstation_name", v, 1) + ")";
  q += " or (" + Flag(e, "=", '5') + " and " + Eq(e, "l.mod_name", v, 2) + ")";
  if (level == enum_byClass) {
    // Any record or class lock that begins with an identifier of the list,
    // cut to the identifier's length in characters.
    q += " or (" + Flag(e, ">=", '6') + " and exists (select 1 from " + rows + " where " +
         (Pg(e) ? "rtrim(left(l.locks_id,length(j.v)))::citext=rtrim(j.v)::citext"
                : "substr(l.locks_id,1,length(j.v))=j.v COLLATE NOCASE") +
         "))";
  } else {
    // A class lock that an identifier begins with, LEN of the class
    // dropping its trailing blanks; a record lock on an identifier, looked
    // up in the list as a set.
    q += " or (" + Flag(e, "=", '6') + " and exists (select 1 from " + rows + " where " +
         (Pg(e) ? "rtrim(left(j.v,length(rtrim(l.locks_id))))::citext=rtrim(l.locks_id)::citext"
                : "substr(j.v,1,length(rtrim(l.locks_id)))=l.locks_id") +
         "))";
    q += " or (" + Flag(e, "=", '7') + " and " +
         (Pg(e) ? "rtrim(l.locks_id)::citext in (select rtrim(j.v)::citext from " + rows + ")"
                : "l.locks_id in (select j.v from " + rows + ")") +
         ")";
  }
  return q + " LIMIT 1" + (Pg(e) ? " FOR UPDATE" : "");
}

// Values 0 to 3: user, workstation, module, digest; value 4: the list.
std::string InsertText(Engine e, int32_t level, const ValueSql& v) {
  const char* cast = Pg(e) ? "::citext" : "";
  std::string q = "insert into fd_locks select j.v";
  for (size_t n : {0, 1, 2}) q += "," + v(n) + cast;
  return q + ",'" + SqlNumber(level) + "'" + cast + "," + v(3) + cast + " from " +
         ListRowsSql(e, v(4));
}

// Value 0: the list; then the user and the workstation of a class lock's
// owner, those given.
std::string ReleaseText(Engine e, int32_t level, const LockTarget& owner, const ValueSql& v) {
  std::string q = Pg(e) ? "delete From FD_Locks l using " + ListRowsSql(e, v(0)) +
                              " Where l.locks_id ^= j.v::citext"
                        : "delete From FD_Locks Where locks_id in (select j.v from " +
                              ListRowsSql(e, v(0)) + ")";
  if (level != enum_byClass) return q;
  const char* table = Pg(e) ? "l." : "";
  size_t n = 1;
  if (!owner.user.empty()) q += std::string(" and ") + table + Eq(e, "user_name", v, n++);
  if (!owner.workstation.empty())
    q += std::string(" and ") + table + Eq(e, "workstation_name", v, n++);
  return q;
}

// The statement of `text` on `con` with `values` bound; the trace shows the
// text with the values quoted in place.
Driver::Batched Bound(const Connection& con,
                      const std::function<std::string(const ValueSql&)>& text,
                      std::vector<std::string> values) {
  const Driver& driver = con.driver();
  std::string native = text([&](size_t n) { return driver.Placeholder(static_cast<int>(n) + 1); });
  std::string built;
  if (TraceEnabled()) built = text([&](size_t n) { return SqlQuoted(values[n]); });
  std::vector<Variant> params;
  params.reserve(values.size());
  for (std::string& v : values) params.emplace_back(std::move(v));
  return {{std::move(native), std::move(params)}, std::move(built)};
}

}  // namespace

std::optional<std::string> LockIdList(std::span<const std::string* const> ids) {
  size_t size = 2;
  for (const std::string* id : ids) size += id->size() + 3;
  std::string list;
  list.reserve(size);
  list += '[';
  for (const std::string* id : ids) {
    if (list.size() > 1) list += ',';
    // An identifier that needs no escape (no quote, backslash or control
    // character; the identifiers are valid UTF-8) goes in whole, which is
    // what JsonString writes for it; any other through JsonString.
    const bool plain = std::none_of(id->begin(), id->end(), [](char c) {
      return c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20;
    });
    if (plain) {
      list += '"';
      list += *id;
      list += '"';
    } else if (id->find('\0') != std::string::npos) {
      return std::nullopt;
    } else {
      list += JsonString(*id);
    }
  }
  list += ']';
  return list;
}

std::string ListRowsSql(Engine engine, const std::string& list) {
  return Pg(engine) ? "json_array_elements_text(" + list + "::json) j(v)"
                    : "(select value as v from json_each(" + list + ")) j";
}

Driver::Batched ListConflictQuery(const Connection& con, int32_t level, const LockTarget& owner,
                                  const std::string& id_list) {
  const Engine e = con.engine();
  return Bound(con, [&](const ValueSql& v) { return CheckText(e, level, v); },
               {owner.user, owner.workstation, owner.module, id_list});
}

Driver::Batched ListInsertStatement(const Connection& con, int32_t level, const LockTarget& owner,
                                    const std::string& digest, const std::string& id_list) {
  const Engine e = con.engine();
  return Bound(con, [&](const ValueSql& v) { return InsertText(e, level, v); },
               {owner.user, owner.workstation, owner.module, digest, id_list});
}

Driver::Batched ListReleaseStatement(const Connection& con, int32_t level, const LockTarget& owner,
                                     const std::string& id_list) {
  const Engine e = con.engine();
  std::vector<std::string> values = {id_list};
  if (level == enum_byClass) {
    if (!owner.user.empty()) values.push_back(owner.user);
    if (!owner.workstation.empty()) values.push_back(owner.workstation);
  }
  return Bound(
      con, [&](const ValueSql& v) { return ReleaseText(e, level, owner, v); }, std::move(values));
}

}  // namespace q6
