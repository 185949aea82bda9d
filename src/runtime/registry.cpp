// The registration store file.
#include "runtime/registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "runtime/com_error.h"
#include "runtime/variant.h"

namespace q6 {

namespace fs = std::filesystem;

namespace {

std::string Trim(std::string_view s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string_view::npos) return "";
  size_t e = s.find_last_not_of(" \t\r");
  return std::string(s.substr(b, e - b + 1));
}

std::map<std::string, std::string> Parse(std::istream& in) {
  std::map<std::string, std::string> out;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    size_t eq = line.find(" = ");
    if (eq == std::string::npos) continue;
    out[Trim(line.substr(0, eq))] = Trim(line.substr(eq + 3));
  }
  return out;
}

bool KeyUnder(std::string_view key, std::string_view root) {
  if (key.size() < root.size()) return false;
  if (!EqualsNoCase(key.substr(0, root.size()), root)) return false;
  return key.size() == root.size() || key[root.size()] == '\\';
}

// Holds an exclusive lock on "<path>.lock" for its lifetime.
class FileLock {
 public:
  explicit FileLock(const std::string& path) {
    fd_ = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) Throw(E_FAIL, "cannot open the registration store lock " + path + ".lock");
    ::flock(fd_, LOCK_EX);
  }
  ~FileLock() {
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_ = -1;
};

}  // namespace

RegistryStore::RegistryStore() : path_(DefaultPath()) {}
RegistryStore::RegistryStore(std::string path) : path_(std::move(path)) {}

std::string RegistryStore::DefaultPath() {
  if (const char* p = std::getenv("Q6FD_REGISTRY"); p && *p) return p;
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : ".") + "/.config/q6fd/registry.txt";
}

std::map<std::string, std::string> RegistryStore::Load() const {
  std::ifstream in(path_);
  if (!in) return {};
  return Parse(in);
}

std::optional<std::string> RegistryStore::Get(std::string_view key) const {
  for (auto& [k, v] : Load())
    if (EqualsNoCase(k, key)) return v;
  return std::nullopt;
}

template <class F>
void RegistryStore::Rewrite(F&& edit) {
  fs::path p(path_);
  if (p.has_parent_path()) fs::create_directories(p.parent_path());
  FileLock lock(path_);
  auto entries = Load();
  edit(entries);
  std::string tmp = path_ + ".tmp";
  {
    std::ofstream out(tmp, std::ios::trunc);
    if (!out) Throw(E_FAIL, "cannot write the registration store " + path_);
    out << "# q6fd registration store\n";
    for (auto& [k, v] : entries) out << k << " = " << v << "\n";
    if (!out.flush()) Throw(E_FAIL, "cannot write the registration store " + path_);
  }
  fs::rename(tmp, p);
}

void RegistryStore::SetAll(const std::vector<std::pair<std::string, std::string>>& add) {
  Rewrite([&](std::map<std::string, std::string>& e) {
    for (auto& [k, v] : add) {
      for (auto it = e.begin(); it != e.end();) {
        if (EqualsNoCase(it->first, k))
          it = e.erase(it);
        else
          ++it;
      }
      e[k] = v;
    }
  });
}

void RegistryStore::RemoveTrees(const std::vector<std::string>& keys) {
  Rewrite([&](std::map<std::string, std::string>& e) {
    for (auto it = e.begin(); it != e.end();) {
      bool drop = false;
      for (auto& k : keys) drop = drop || KeyUnder(it->first, k);
      it = drop ? e.erase(it) : std::next(it);
    }
  });
}

}  // namespace q6
