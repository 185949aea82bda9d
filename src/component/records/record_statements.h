// The statement texts of the record readers (GetData, MoveTo) and the filter
// texts of MoveToByRS, joined from literal pieces exactly as the readers have
// always sent them, blanks included.
//
// The builders are pure functions of a few texts and numbers, so that each
// text can be checked piece by piece; RecordSourceOf and ChildSourceOf take
// those pieces from an entity definition. Every value placed between single
// quotes (the current OID, the parent OID, the type prefix) goes through
// SqlEscaped, which leaves values without a quote unchanged.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "component/support/enums.h"
#include "outside/eso/entity_object.h"

namespace q6 {

// What a master statement is built from.
struct RecordSource {
  std::string table;  // SourceTable
  std::string join;   // QryJoin when UseExpr is True, else ""
  std::string key;    // the key column (KeyColumn)
  int32_t effective_bi_type = 0;
  std::string prefix;  // the type prefix (TypePrefix)
};

// Raises as KeyColumn when the key field is missing.
RecordSource RecordSourceOf(const EntityObject& eo);

// How the type filter of the BI types 21 to 81 (except 63) ends.
enum class RangeEnding {
  kGetData,       // "%' "
  kMoveBackward,  // "%' and book_name is null"   (MoveTo modes 0, 1, the retry)
  kMoveForward,   // "%' and book_name is null "  (MoveTo modes 3, 4)
};

// The type filter by effective BI type:
//   63:              " where " K " like '51%' "
//   21 to 81:        " Where " K " like '" prefix <ending>
//   below 21, above 81: " Where " K " like '" prefix "%'"
std::string TypeFilter(const RecordSource& s, RangeEnding ending);

// GetData's statement: "Select " columns " From " table " " join, the type
// filter, " Order By " K " ASC".
std::string GetDataStatement(const RecordSource& s, const std::string& columns);

// MoveTo's one-row statement for `mode` with the current OID `current`
// ("Select top 1 ..."); modes other than 0 to 4 give the base alone.
std::string MoveToStatement(const RecordSource& s, const std::string& columns, int32_t mode,
                            const std::string& current);

// MoveToStatement with `value` standing where the quoted current OID goes:
// that quoted literal, or a driver's placeholder so that the one statement
// serves every current OID.
std::string MoveToStatementWith(const RecordSource& s, const std::string& columns, int32_t mode,
                                const std::string& value);

// Whether MoveTo's statement for `mode` compares with the current OID
// (modes 1, 2 and 3).
bool MoveToReadsCurrent(int32_t mode);

// MoveTo's second statement when the first found no row ("Select Top 1 ..."):
// with `reversal` the type filter ordered ASC for mode 3, DESC otherwise
// (wrapping around); without it the current record by its key.
std::string MoveToRetryStatement(const RecordSource& s, const std::string& columns, int32_t mode,
                                 bool reversal, const std::string& current);

// What a child statement is built from.
struct ChildSource {
  std::string table;         // the child's SourceTable
  std::string join;          // the child's QryJoin when the PARENT's UseExpr is True
  std::string parent_field;  // the child's ParentField
  std::string parent_oid;    // the child's ParentOID
  std::string key;           // ChildKeyColumn of the child
};

// Raises as ChildKeyColumn when the child's key field is missing.
ChildSource ChildSourceOf(const EntityObject& child, bool parent_use_expr);

// "Select " columns " From " table " " join " Where " parent_field " = '"
// parent_oid "' order by " key.
std::string ChildStatement(const ChildSource& c, const std::string& columns);

// MoveToByRS's filter on the master recordset for `mode`: K " < '" C "'"
// (mode 1), K " = '" C "'" (2), K " > '" C "'" (3); nullopt for the modes that
// set none.
std::optional<std::string> RecordsetMoveFilter(int32_t mode, const std::string& key,
                                               const std::string& current);

// MoveToByRS's filter on the child recordset: parent_field " = '" parent_oid "'".
std::string ChildRecordsetFilter(const std::string& parent_field, const std::string& parent_oid);

}  // namespace q6
