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

// `s` with what a terminal or a later command line cannot carry as it is
// written as an escape: a control character as \n, \r, \t or \xHH, a byte
// that is not part of valid UTF-8 as \xHH, and (with `backslashes`, so that
// UnescapedText gives `s` back) a backslash as \\. Valid text without
// control characters or backslashes comes back unchanged. Tables escape
// every cell (without `backslashes`).
std::string EscapedText(std::string_view s, bool backslashes = true);

// The reverse of EscapedText: \\, \n, \r, \t and \xHH become what they
// stand for; any other backslash stays as it is.
std::string UnescapedText(std::string_view s);

class TextTable {
 public:
  explicit TextTable(std::vector<std::string> header) : header_(std::move(header)) {}
  void Add(std::vector<std::string> row) {
    for (std::string& cell : row) cell = EscapedText(cell, false);
    rows_.push_back(std::move(row));
  }
  size_t size() const { return rows_.size(); }
  // Writes the table, each line starting with `indent`.
  void Print(std::ostream& out, const std::string& indent = "  ") const;

 private:
  std::vector<std::string> header_;
  std::vector<std::vector<std::string>> rows_;
};

}  // namespace q6::cli
