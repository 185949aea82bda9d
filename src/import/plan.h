// What an import will do, worked out from its files before anything is
// written: the tables, where their rows are, and every value checked.
//
// Files ending in .sql are scripts; any other file is a bcp character
// export loaded into the table named by its file name (orders.dat ->
// orders), with its format file beside it (orders.fmt). A table whose
// batch has a syntax error, or one of whose rows does not fit its columns,
// is marked failed with the reason and is not written at all.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "import/bcp_reader.h"
#include "import/script_reader.h"
#include "import/table_def.h"

namespace q6::import {

// INSERT statements of one table in one piece of a script (script_reader.h).
struct RowRange {
  size_t file = 0;                          // index into Plan::scripts
  uint64_t piece_begin = 0, piece_end = 0;  // the piece's bytes in the file
  size_t begin = 0, end = 0;                // the statements in the piece's text
};

struct BcpSource {
  std::string data_path;
  BcpFormat format;
};

struct PlannedTable {
  TableDef def;
  std::vector<RowRange> ranges;
  std::vector<BcpSource> bcp;
  int64_t rows = 0;
  std::string source;  // the file that defines it
  std::string error;   // why it is not written; "" when it will be
};

struct Plan {
  // The scripts, open, by file index: their rows are read again from them
  // when they are written, a piece at a time.
  std::vector<std::unique_ptr<ScriptFile>> scripts;
  std::deque<PlannedTable> tables;   // a deque: pointers to its tables stay valid
  std::vector<std::string> skipped;  // objects not carried
  std::vector<std::string> errors;   // batch and file errors, with place

  PlannedTable* Find(const std::string& name);
};

// Reads and checks `files`, a piece of a script or a block of a bcp export
// at a time. Raises E_FAIL for a file that cannot be read;
// everything else is recorded in the plan. Without `check_bcp_rows` only
// the format files of bcp exports are read: their rows are counted and
// checked as they are written (a bad row then rolls its table back). A
// script that is not valid in its encoding (`encoding`, or UTF-8 when ""
// and no byte-order mark says otherwise) is an error of the plan, naming
// the line.
Plan MakePlan(const std::vector<std::string>& files, bool check_bcp_rows,
              const std::string& encoding = "");

}  // namespace q6::import
