// A table as a script defines it, before any engine is chosen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace q6::import {

struct ColumnDef {
  std::string name;
  std::string type;               // lower case, schema-less: "nvarchar", "decimal"
  std::string type_owner;         // the schema of a user-defined type ("dbo"); "" for built-in ones
  std::vector<std::string> args;  // "50", "max", "18", "2"
  bool nullable = true;
  bool identity = false;
  int64_t seed = 1, increment = 1;
  bool case_sensitive = false;  // a COLLATE clause naming a _CS_ collation
  bool computed = false;        // "c AS (expr)": never carried
  std::string default_expr;     // T-SQL text of the default, parentheses stripped
};

struct IndexDef {
  std::string name;
  bool unique = false;
  std::vector<std::string> columns;
};

struct TableDef {
  std::string name;  // without its schema
  std::vector<ColumnDef> columns;
  std::vector<std::string> primary_key;
  std::vector<IndexDef> indexes;   // unique constraints and CREATE INDEX
  std::vector<std::string> notes;  // what was dropped or changed, and why

  ColumnDef* Find(const std::string& column);
  const ColumnDef* Find(const std::string& column) const;
  // Adds `note` unless the table already has it.
  void Note(const std::string& note);
};

}  // namespace q6::import
