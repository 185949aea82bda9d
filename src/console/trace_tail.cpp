// Reading the end of a trace file. A line cut by the start of the window
// read, or one half written, does not parse (ParseTraceLine) and is left out.
#include "console/trace_tail.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace q6::console {
std::vector<TraceEntry> ReadTraceTail(const std::string& path, size_t count, int64_t pid) {
  std::vector<TraceEntry> out;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return out;
  struct stat st {};
  std::string buf;
  if (::fstat(fd, &st) == 0 && st.st_size > 0) {
    off_t from = st.st_size > static_cast<off_t>(kTailBytes) ? st.st_size - kTailBytes : 0;
    buf.resize(static_cast<size_t>(st.st_size - from));
    ssize_t n = ::pread(fd, buf.data(), buf.size(), from);
    buf.resize(n > 0 ? static_cast<size_t>(n) : 0);
  }
  ::close(fd);
  const std::string mine = std::to_string(pid);
  // Whole lines from the end backwards, until `count` of ours are found.
  size_t end = buf.size();
  while (end > 0 && out.size() < count) {
    size_t start = buf.rfind('\n', end - 1);
    size_t begin = start == std::string::npos ? 0 : start + 1;
    if (begin < end) {
      TraceEntry e = ParseTraceLine(std::string_view(buf).substr(begin, end - begin));
      if (!e.empty() && e["pid"] == mine) out.push_back(std::move(e));
    }
    if (start == std::string::npos) break;
    end = start;
  }
  std::reverse(out.begin(), out.end());
  return out;
}

}  // namespace q6::console
