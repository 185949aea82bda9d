// Reading the end of a trace file. The parser takes only what the trace
// writes (trace.h): one flat object per line, string values escaped as
// JsonString escapes them. A line cut by the start of the window read, or
// one half written, does not parse and is left out.
#include "console/trace_tail.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace q6::console {
namespace {

class Reader {
 public:
  explicit Reader(std::string_view s) : s_(s) {}

  bool Object(TraceEntry& out) {
    if (!Eat('{')) return false;
    if (Eat('}')) return Done();
    do {
      std::string key, value;
      if (!String(key) || !Eat(':') || !Value(value)) return false;
      out[key] = std::move(value);
    } while (Eat(','));
    return Eat('}') && Done();
  }

 private:
  void Blank() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\r' || s_[i_] == '\n'))
      ++i_;
  }
  bool Eat(char c) {
    Blank();
    if (i_ < s_.size() && s_[i_] == c) return ++i_, true;
    return false;
  }
  bool Done() {
    Blank();
    return i_ == s_.size();
  }
  bool Value(std::string& out) {
    Blank();
    if (i_ < s_.size() && s_[i_] == '"') return String(out);
    size_t start = i_;
    while (i_ < s_.size() && s_[i_] != ',' && s_[i_] != '}' && s_[i_] != ' ') ++i_;
    out = std::string(s_.substr(start, i_ - start));
    return !out.empty();
  }
  static void Utf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  bool String(std::string& out) {
    if (!Eat('"')) return false;
    while (i_ < s_.size()) {
      char c = s_[i_++];
      if (c == '"') return true;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (i_ >= s_.size()) return false;
      char e = s_[i_++];
      switch (e) {
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          if (i_ + 4 > s_.size()) return false;
          uint32_t cp = 0;
          for (int k = 0; k < 4; ++k) {
            char h = s_[i_++];
            cp <<= 4;
            if (h >= '0' && h <= '9')
              cp |= h - '0';
            else if (h >= 'a' && h <= 'f')
              cp |= h - 'a' + 10;
            else if (h >= 'A' && h <= 'F')
              cp |= h - 'A' + 10;
            else
              return false;
          }
          Utf8(out, cp);
          break;
        }
        default:
          out += e;  // \" \\ \/
      }
    }
    return false;
  }

  std::string_view s_;
  size_t i_ = 0;
};

}  // namespace

TraceEntry ParseTraceLine(std::string_view line) {
  TraceEntry e;
  if (!Reader(line).Object(e)) e.clear();
  return e;
}

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
