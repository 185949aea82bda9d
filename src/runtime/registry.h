// The registration store: a small text file of "key = value" lines standing in
// for the system registry. Its path is $Q6FD_REGISTRY, else
// ~/.config/q6fd/registry.txt.
//
// Keys use backslashes as in "CLSID\{...}\InprocServer32". Writers take an
// exclusive file lock and replace the file atomically, so concurrent
// registrations from several processes never corrupt it.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/internal_export.h"

namespace q6 {

class Q6FD_INTERNAL RegistryStore {
 public:
  // The store at the default path.
  RegistryStore();
  explicit RegistryStore(std::string path);

  static std::string DefaultPath();
  const std::string& path() const { return path_; }

  // All entries; an absent file is an empty store.
  std::map<std::string, std::string> Load() const;
  std::optional<std::string> Get(std::string_view key) const;

  // Adds or replaces `entries` in one locked rewrite.
  void SetAll(const std::vector<std::pair<std::string, std::string>>& entries);
  // Removes every key equal to one of `keys` or below it ("key\..."), in one
  // locked rewrite.
  void RemoveTrees(const std::vector<std::string>& keys);

 private:
  template <class F>
  void Rewrite(F&& edit);
  std::string path_;
};

}  // namespace q6
