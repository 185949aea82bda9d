// Captures the statements every connection of the process sends while the
// capture lives, through the statement trace, so tests can compare the SQL a
// method built with golden text.
#pragma once

#include <string>
#include <vector>

namespace q6::test {

class StatementCapture {
 public:
  StatementCapture();   // starts a fresh trace file
  ~StatementCapture();  // turns the trace off and removes the file
  StatementCapture(const StatementCapture&) = delete;
  StatementCapture& operator=(const StatementCapture&) = delete;

  // The "sql" text of every statement so far, in order.
  std::vector<std::string> Sql() const;
  // The "native" text (as sent to the engine).
  std::vector<std::string> Native() const;
  // Every line's "error" text ("" for statements that succeeded).
  std::vector<std::string> Errors() const;
  // Forgets what was captured so far.
  void Clear();

 private:
  std::vector<std::string> Values(const std::string& key) const;
  std::string path_;
};

}  // namespace q6::test
