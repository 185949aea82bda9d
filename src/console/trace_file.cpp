// The console's statement trace file.
#include "console/trace_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "platform/trace/trace.h"

namespace q6::console {

ConsoleTrace::ConsoleTrace() {
  const char* env = std::getenv("Q6FD_TRACE");
  if (env && *env) {
    path_ = env;
    return;
  }
  const char* tmp = std::getenv("TMPDIR");
  std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/q6fd-console-trace.XXXXXX";
  int fd = ::mkstemp(templ.data());  // mode 0600
  if (fd < 0) throw std::runtime_error("cannot create the console's trace file " + templ);
  ::close(fd);
  path_ = templ;
  own_ = true;
  SetTraceFile(path_);
}

ConsoleTrace::~ConsoleTrace() {
  if (!own_) return;
  SetTraceFile("");
  ::unlink(path_.c_str());
}

void ConsoleTrace::Trim() {
  if (!own_) return;
  std::lock_guard<std::mutex> l(mu_);
  struct stat st {};
  if (::stat(path_.c_str(), &st) == 0 && static_cast<size_t>(st.st_size) > kMaxBytes)
      [[maybe_unused]]
    int rc = ::truncate(path_.c_str(), 0);
}

}  // namespace q6::console
