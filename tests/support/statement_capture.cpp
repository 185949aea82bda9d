// StatementCapture: reads the statement trace back.
#include "support/statement_capture.h"

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>

#include "platform/trace/trace.h"

namespace q6::test {

namespace {

std::atomic<int> counter{0};

}  // namespace

StatementCapture::StatementCapture() {
  path_ = (std::filesystem::temp_directory_path() /
           ("q6capture-" + std::to_string(::getpid()) + "-" + std::to_string(++counter) + ".jsonl"))
              .string();
  std::filesystem::remove(path_);
  SetTraceFile(path_);
}

StatementCapture::~StatementCapture() {
  SetTraceFile("");
  std::error_code ec;
  std::filesystem::remove(path_, ec);
}

void StatementCapture::Clear() {
  SetTraceFile("");
  std::filesystem::remove(path_);
  SetTraceFile(path_);
}

std::vector<std::string> StatementCapture::Values(const std::string& key) const {
  std::vector<std::string> out;
  std::ifstream in(path_);
  std::string line;
  while (std::getline(in, line)) {
    TraceEntry e = ParseTraceLine(line);
    if (!e.contains("sql")) continue;  // a note, not a statement
    // A process that holds locks renews their lease from a thread of its
    // own every few seconds (lock_lease.h): not the statements under test.
    if (e["sql"].starts_with("update FD_LockHolders set renewed_at")) continue;
    out.push_back(e[key]);
  }
  return out;
}

std::vector<std::string> StatementCapture::Sql() const { return Values("sql"); }
std::vector<std::string> StatementCapture::Native() const { return Values("native"); }
std::vector<std::string> StatementCapture::Errors() const { return Values("error"); }

}  // namespace q6::test
