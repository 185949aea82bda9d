// The statements of a list of record or class locks of one owner
// (LockItEx, UnLockItEx): the conflict check, the insert and the release of
// every identifier of the list, each as one statement whatever the list's
// length.
//
// The identifiers travel as one bound value, a JSON array of strings, that
// the engine unpacks itself (SQLite's json_each, PostgreSQL's
// json_array_elements_text). The text of each statement is then the same
// for every list: prepared once per connection, with four or five values
// to bind, where a statement listing each identifier as a parameter of its
// own costs more to prepare than to run and differs with the list's
// length. The check reads FD_Locks once for the whole list, looking each
// record identifier up in the list as a set, where a check per item reads
// the table once per item.
//
// They are written in each engine's own SQL and compare exactly as the
// statements of one lock do once translated (lock_statements.h): the same
// column collations on SQLite (NOCASE: every letter folded, trailing blanks
// ignored), the same blank-insensitive citext comparisons on PostgreSQL,
// the same prefix rules (a class lock covers the records that begin with
// its identifier, LEN dropping its trailing blanks; a class lock is in the
// way of the record and class locks that begin with its identifier).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "component/locks/lock_statements.h"
#include "platform/drivers/driver.h"

namespace q6 {

class Connection;

// `ids` as a JSON array of strings; nullopt when an identifier holds a NUL
// character (the engines would cut it there; such an identifier goes
// through the statements of one lock, which refuse it).
// REQUIRES: every identifier is valid UTF-8.
std::optional<std::string> LockIdList(std::span<const std::string* const> ids);

// The query that finds a lock in the way of any of the record (level 7) or
// class (level 6) locks of `owner` (user, workstation and module; its id
// unused) on the identifiers of `id_list` (LockIdList): the locks of the
// owner's scopes and module, and the class and record locks each
// identifier meets as LockIt's own check would. Rows: the locks in the way
// (at most one). REQUIRES: `level` is 6 or 7.
Driver::Batched ListConflictQuery(const Connection& con, int32_t level, const LockTarget& owner,
                                  const std::string& id_list);

// The insert of one FD_Locks row of `level` per identifier of `id_list`,
// in the list's order, with `owner`'s texts and `digest`.
Driver::Batched ListInsertStatement(const Connection& con, int32_t level, const LockTarget& owner,
                                    const std::string& digest, const std::string& id_list);

// The DELETE that releases the locks of `level` (6 or 7) on every
// identifier of `id_list`, as ReleaseStatement does for one: records
// whoever holds them, classes of `owner`'s user and workstation where
// given. REQUIRES: `level` is 6 or 7.
Driver::Batched ListReleaseStatement(const Connection& con, int32_t level, const LockTarget& owner,
                                     const std::string& id_list);

// The engine's rows of `id_list`, one text column `v` per identifier in
// the list's order, for a FROM clause; `list` is the list's placeholder.
std::string ListRowsSql(Engine engine, const std::string& list);

}  // namespace q6
