// The lock table builder and reading the lock table.
#include "console/lock_rows.h"

#include "outside/services/connection_manager.h"

namespace q6::console {

std::string LocksTable(const std::vector<LockView>& locks, int release_ds) {
  std::vector<std::string> headers{"id",     "user",   "workstation", "module",      "level",
                                   "digest", "holder", "age (s)",     "holder state"};
  if (release_ds >= 0) headers.push_back("");
  HtmlTable t(headers, "locks");
  for (const LockView& v : locks) {
    std::optional<int64_t> age = v.holder ? AgeSeconds(v.holder->taken_at) : std::nullopt;
    std::string state = StateName(v.state);
    std::vector<std::string> cells{
        Escape(v.key.id),
        Escape(v.key.user),
        Escape(v.key.workstation),
        Escape(v.key.module),
        Escape(v.key.level),
        Escape(v.key.digest),
        v.holder ? Escape(Describe(*v.holder)) : "<span class=\"null\">another program</span>",
        age ? std::to_string(*age) : "",
        "<span class=\"state-" + Escape(state) + "\">" + Escape(state) + "</span>"};
    if (release_ds >= 0)
      cells.push_back(
          v.key.id.empty()
              ? ""
              : Link(Url("/locks/release", {{"ds", std::to_string(release_ds)}, {"id", v.key.id}}),
                     "release…"));
    t.Add(std::move(cells));
  }
  return t.Render();
}

std::vector<LockView> CurrentLocks(const std::string& dsn) {
  ConnectionLease lease{Variant(dsn)};
  return ListLocks(*lease);
}

}  // namespace q6::console
