// The statements of one batch of a generated script.
//
// Known statements are handed to a ScriptSink: CREATE TABLE (storage
// clauses dropped with a note), ALTER TABLE ... ADD DEFAULT / PRIMARY KEY /
// UNIQUE, CREATE INDEX, INSERT rows. SET, USE, PRINT and transaction
// statements are read and ignored. Foreign keys and CHECK constraints are
// read and noted as dropped. A batch creating a procedure, view, trigger,
// function, type or other object that is not a table (or running EXEC or
// IF) is reported whole as not carried. Anything else is a syntax error.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "import/lexer.h"
#include "import/table_def.h"
#include "import/type_map.h"

namespace q6::import {

class ScriptSink {
 public:
  virtual ~ScriptSink() = default;
  virtual void OnTable(TableDef def) = 0;
  virtual void OnDefault(const std::string& table, const std::string& column,
                         const std::string& expr) = 0;
  virtual void OnPrimaryKey(const std::string& table, std::vector<std::string> columns) = 0;
  virtual void OnIndex(const std::string& table, IndexDef index) = 0;
  virtual void OnTableNote(const std::string& table, const std::string& note) = 0;
  // One row of an INSERT: `columns` as listed (empty: every column in
  // order). [stmt_begin, stmt_end) is the INSERT statement in the batch.
  virtual void OnRow(const std::string& table, const std::vector<std::string>& columns,
                     const std::vector<Literal>& values, size_t stmt_begin, size_t stmt_end) = 0;
  // An object the import does not carry: "procedure [dbo].[p]".
  virtual void OnSkipped(const std::string& what) = 0;
};

// A syntax error in a batch, with the table of the statement it is in ("" when
// none was named yet).
struct BatchError {
  SyntaxError error;
  std::string table;
};

// Parses `text` (one batch) into `sink`. Raises BatchError.
void ParseBatch(std::string_view text, ScriptSink& sink);

// Tables that statements from `offset` on name after INSERT, CREATE TABLE or
// ALTER TABLE, found by a plain scan (for what a broken batch would have
// touched). Never raises.
std::vector<std::string> TablesNamedFrom(std::string_view text, size_t offset);

}  // namespace q6::import
