// Parameters of a page request.
#include "console/page.h"

#include <charconv>

namespace q6::console {

std::string Param(const Params& p, const std::string& name, const std::string& def) {
  auto it = p.find(name);
  return it == p.end() ? def : it->second;
}

int32_t WholeParam(const Params& p, const std::string& name) {
  std::string s = Param(p, name);
  int32_t v = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (s.empty() || r.ec != std::errc() || r.ptr != s.data() + s.size())
    throw BadRequest("parameter " + name + " must be a whole number");
  return v;
}

int SourceIndex(const PageContext& ctx, const Params& p) {
  int32_t i = WholeParam(p, "ds");
  if (i < 0 || static_cast<size_t>(i) >= ctx.sources.size())
    throw BadRequest("no data source " + std::to_string(i) + " is served here");
  return i;
}

}  // namespace q6::console
