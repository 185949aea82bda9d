// The lock table with filters: by holder state and by user, workstation or
// module (a part of the text, any case). Filtering happens here, on the
// rows ListLocks read; nothing the visitor types reaches a statement.
#include <algorithm>
#include <cctype>

#include "console/lock_rows.h"
#include "console/page.h"

namespace q6::console {
namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

bool Contains(const std::string& text, const std::string& part) {
  return part.empty() || Lower(text).find(Lower(part)) != std::string::npos;
}

std::string FilterForm(int ds, const std::string& state, const Params& p) {
  std::string f =
      "<form method=\"get\" action=\"/locks\"><input type=\"hidden\" name=\"ds\" "
      "value=\"" +
      std::to_string(ds) + "\"><label>Holder state <select name=\"state\">";
  for (const char* s : {"", "alive", "gone", "unknown", "administrator"})
    f += std::string("<option value=\"") + s + "\"" + (state == s ? " selected" : "") + ">" +
         (*s ? s : "any") + "</option>";
  f += "</select></label>";
  for (const char* name : {"user", "workstation", "module"})
    f += std::string(" <label>") + name + " <input name=\"" + name + "\" value=\"" +
         Escape(Param(p, name)) + "\" size=\"10\"></label>";
  return f + " <button type=\"submit\">Filter</button></form>";
}

}  // namespace

std::string LocksPage(const PageContext& ctx, const Params& p) {
  int ds = SourceIndex(ctx, p);
  ctx.sources.Check(ds);
  std::string state = Param(p, "state");
  std::vector<LockView> shown;
  size_t stale = 0, all = 0;
  for (LockView& v : CurrentLocks(ctx.sources.dsn(ds))) {
    ++all;
    if (v.state == HolderState::kGone) ++stale;
    if (!state.empty() && state != StateName(v.state)) continue;
    if (!Contains(v.key.user, Param(p, "user")) ||
        !Contains(v.key.workstation, Param(p, "workstation")) ||
        !Contains(v.key.module, Param(p, "module")))
      continue;
    shown.push_back(std::move(v));
  }
  std::string body = FilterForm(ds, state, p) + "<p>" + std::to_string(shown.size()) + " of " +
                     std::to_string(all) + " locks shown; " + std::to_string(stale) +
                     " held by a holder that is provably gone.";
  if (!ctx.read_only && stale > 0)
    body += " " + Link(Url("/locks/release-stale", {{"ds", std::to_string(ds)}}),
                       "Release the stale locks…");
  body += "</p>" + LocksTable(shown, ctx.read_only ? -1 : ds);
  Frame f{"Locks"};
  f.ds = ds;
  f.ds_label = ctx.sources.label(ds);
  f.read_only = ctx.read_only;
  return RenderPage(f, body);
}

}  // namespace q6::console
