// The statement trace a console writes while it runs.
//
// When Q6FD_TRACE names a file the trace already goes there, and the
// console shows that file's lines of this process and leaves the file
// alone. Otherwise the console traces into a file of its own in the
// temporary folder (created private to the user), keeps it small by
// emptying it when it grows past kMaxBytes, and deletes it when it stops.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>

namespace q6::console {

class ConsoleTrace {
 public:
  static constexpr size_t kMaxBytes = 8u << 20;

  // Switches the trace on (SetTraceFile) unless Q6FD_TRACE does already.
  // Raises std::runtime_error when the private file cannot be created.
  ConsoleTrace();
  // Switches a private trace off and deletes its file.
  ~ConsoleTrace();
  ConsoleTrace(const ConsoleTrace&) = delete;
  ConsoleTrace& operator=(const ConsoleTrace&) = delete;

  const std::string& path() const { return path_; }

  // Empties a private trace that has grown past kMaxBytes. Lines are
  // appended (O_APPEND), so writers simply go on at the new end.
  void Trim();

 private:
  std::string path_;
  bool own_ = false;
  std::mutex mu_;
};

}  // namespace q6::console
