// The ini file parser and its cache.
//
// Every connection opened by name resolves it here, so a parsed file is kept
// and only checked with stat(2) on later calls.
#include "platform/datasource/ini_file.h"

#include <sys/stat.h>

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
  while (std::getline(in, line)) {
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

}  // namespace q6
