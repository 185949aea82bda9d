#include "import/table_def.h"

#include <strings.h>

#include <algorithm>

namespace q6::import {

ColumnDef* TableDef::Find(const std::string& column) {
  for (ColumnDef& c : columns)
    if (strcasecmp(c.name.c_str(), column.c_str()) == 0) return &c;
  return nullptr;
}

const ColumnDef* TableDef::Find(const std::string& column) const {
  return const_cast<TableDef*>(this)->Find(column);
}

void TableDef::Note(const std::string& note) {
  if (std::find(notes.begin(), notes.end(), note) == notes.end()) notes.push_back(note);
}

}  // namespace q6::import
