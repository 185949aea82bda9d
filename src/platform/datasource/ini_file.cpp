// The ini file parser and its cache.
//
// Every connection opened by name resolves it here, so a parsed file is kept
// and only checked with stat(2) on later calls.
#include "platform/datasource/ini_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>

#include "runtime/variant.h"

namespace q6 {
namespace {

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

std::shared_ptr<IniFile> Parse(const std::string& path, std::istream& in) {
  auto file = std::make_shared<IniFile>();
  file->path = path;
  IniSection* current = nullptr;
  std::string line;
  bool first = true;
  while (std::getline(in, line)) {
    // A byte-order mark some editors write first is not part of the text.
    if (first && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    first = false;
    std::string t = Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '#') continue;
    if (t.front() == '[' && t.back() == ']') {
      current = &file->sections[ToLower(Trim(t.substr(1, t.size() - 2)))];
      continue;
    }
    size_t eq = t.find('=');
    if (!current || eq == std::string::npos) continue;
    current->emplace_back(Trim(t.substr(0, eq)), Trim(t.substr(eq + 1)));
  }
  return file;
}

}  // namespace

IniFile ParseIniText(const std::string& path, std::string_view text) {
  std::istringstream in{std::string(text)};
  return std::move(*Parse(path, in));
}

namespace {

struct Cached {
  struct timespec mtime {};
  off_t size = 0;
  std::shared_ptr<const IniFile> file;
};

}  // namespace

std::shared_ptr<const IniFile> LoadIniFile(const std::string& path) {
  static std::mutex mu;
  static std::map<std::string, Cached>* cache = new std::map<std::string, Cached>;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
  std::lock_guard<std::mutex> l(mu);
  Cached& c = (*cache)[path];
  if (c.file && c.size == st.st_size && c.mtime.tv_sec == st.st_mtim.tv_sec &&
      c.mtime.tv_nsec == st.st_mtim.tv_nsec)
    return c.file;
  std::ifstream in(path);
  if (!in) return nullptr;
  c.file = Parse(path, in);
  c.mtime = st.st_mtim;
  c.size = st.st_size;
  return c.file;
}

std::string IniFileProblem(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    return errno == ENOENT ? "does not exist"
                           : std::string("cannot be read: ") + std::strerror(errno);
  if (S_ISDIR(st.st_mode)) return "is a folder, not a file";
  if (S_ISFIFO(st.st_mode)) return "is a pipe, not a file";
  if (S_ISSOCK(st.st_mode)) return "is a socket, not a file";
  if (!S_ISREG(st.st_mode)) return "is not a regular file";
  if (::access(path.c_str(), R_OK) != 0)
    return std::string("cannot be read: ") + std::strerror(errno);
  return "";
}

}  // namespace q6
