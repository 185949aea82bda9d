// The statement trace file.
//
// The descriptor is opened once, on first use, from Q6FD_TRACE (or the path a
// caller set) and kept for the life of the process; O_APPEND makes every
// write land at the end of the file even when other processes append to it
// too, and a line goes out in a single write(2) so that lines stay whole.
#include "platform/trace/trace.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>

#include "runtime/value_utf8.h"

namespace q6 {
namespace {

std::mutex g_mu;            // guards opening and replacing the descriptor
std::atomic<int> g_fd{-2};  // -2: not configured yet, -1: off

int OpenTrace(const std::string& path) {
  if (path.empty()) return -1;
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    int err = errno;
    std::string msg = "q6fd: cannot write the statement trace " + path + ": " + std::strerror(err) +
                      " (tracing is off)\n";
    [[maybe_unused]] ssize_t n = ::write(STDERR_FILENO, msg.data(), msg.size());
  }
  return fd;
}

// "2026-12-08T05:30:00.123Z".
std::string IsoNow() {
  struct timespec ts {};
  ::clock_gettime(CLOCK_REALTIME, &ts);
  struct tm tm {};
  ::gmtime_r(&ts.tv_sec, &tm);
  char buf[96];  // room for any int the compiler cannot rule out
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03ldZ", tm.tm_year + 1900,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                static_cast<long>(ts.tv_nsec / 1000000 % 1000));
  return buf;
}

int TraceFd() {
  int fd = g_fd.load(std::memory_order_acquire);
  if (fd != -2) return fd;
  std::lock_guard<std::mutex> l(g_mu);
  fd = g_fd.load(std::memory_order_relaxed);
  if (fd == -2) {
    const char* env = std::getenv("Q6FD_TRACE");
    fd = OpenTrace(env ? env : "");
    g_fd.store(fd, std::memory_order_release);
  }
  return fd;
}

// Reads back one flat object as TraceLine writes it.
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
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
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
          value::AppendUtf8(cp, &out);
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

bool TraceEnabled() { return TraceFd() >= 0; }

void SetTraceFile(const std::string& path) {
  std::lock_guard<std::mutex> l(g_mu);
  int old = g_fd.exchange(OpenTrace(path));
  // Writers do not take the lock, so a statement traced on another thread at
  // this moment may still write to the old descriptor: switch the trace
  // between statements only (the command line and tests do).
  if (old >= 0) ::close(old);
}

std::string JsonString(std::string_view s) {
  std::string out;
  out.reserve(s.size() + 2);
  out += '"';
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 0x80) {
      size_t len = 1;
      bool valid = false;
      value::DecodeAt(s, i, &len, &valid);
      if (valid) {
        out.append(s.substr(i, len));
      } else {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\u%04x", c);
        out += buf;
        len = 1;
      }
      i += len;
      continue;
    }
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
    ++i;
  }
  out += '"';
  return out;
}

std::string TraceLine(const TraceRecord& r) {
  char num[64];
  std::string line = "{\"conn\": " + std::to_string(r.conn);
  line += ", \"sql\": " + JsonString(r.sql);
  line += ", \"native\": " + JsonString(r.native);
  // to_chars, not printf: the decimal separator must not follow the locale.
  auto res = std::to_chars(num, num + sizeof num, r.ms, std::chars_format::fixed, 3);
  line += ", \"ms\": ";
  line.append(num, res.ptr);
  line += ", \"rows\": " + std::to_string(r.rows);
  if (r.error) {
    line += ", \"error\": " + JsonString(*r.error);
    if (!r.kind.empty()) line += ", \"kind\": " + JsonString(r.kind);
    if (!r.code.empty()) line += ", \"code\": " + JsonString(r.code);
  }
  line += "}\n";
  return line;
}

std::string WithContext(std::string line, std::string_view source) {
  size_t close = line.rfind('}');
  if (close == std::string::npos) return line;
  std::string context = ", \"time\": \"" + IsoNow() + "\", \"pid\": " + std::to_string(::getpid());
  if (!source.empty()) context += ", \"source\": " + JsonString(source);
  line.insert(close, context);
  return line;
}

void TraceStatement(const TraceRecord& r) {
  int fd = TraceFd();
  if (fd < 0) return;
  std::string line = WithContext(TraceLine(r), r.source);
  // One write per line; a short write (disk full) is not retried, since a
  // second write could interleave with another writer's line.
  [[maybe_unused]] ssize_t n = ::write(fd, line.data(), line.size());
}

void TraceNote(std::string_view source, std::string_view error) {
  int fd = TraceFd();
  if (fd < 0) return;
  std::string line = WithContext(
      "{\"note\": " + JsonString(source) + ", \"error\": " + JsonString(error) + "}\n", "");
  [[maybe_unused]] ssize_t n = ::write(fd, line.data(), line.size());
}

TraceEntry ParseTraceLine(std::string_view line) {
  TraceEntry e;
  if (!Reader(line).Object(e)) e.clear();
  return e;
}

}  // namespace q6
