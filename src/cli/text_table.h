// Tables for a terminal: columns aligned by display width, so Chinese text
// (two columns a character) lines up with Latin text.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace q6::cli {

// Terminal columns `s` takes: East Asian wide and full-width characters
// count two, combining marks none, everything else one.
size_t DisplayWidth(std::string_view s);

class TextTable {
 public:
  explicit TextTable(std::vector<std::string> header) : header_(std::move(header)) {}
  void Add(std::vector<std::string> row) { rows_.push_back(std::move(row)); }
  size_t size() const { return rows_.size(); }
  // Writes the table, each line starting with `indent`.
  void Print(std::ostream& out, const std::string& indent = "  ") const;

 private:
  std::vector<std::string> header_;
  std::vector<std::vector<std::string>> rows_;
};

}  // namespace q6::cli
