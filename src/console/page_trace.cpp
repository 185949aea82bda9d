// The statement trace of this console's own calls, newest first: each
// statement as the component built it and as it was sent to the engine,
// its time, rows and error. The page reloads itself every few seconds
// (a meta refresh; refresh=0 stops it).
#include <unistd.h>

#include <algorithm>

#include "console/html.h"
#include "console/page.h"
#include "console/trace_tail.h"

namespace q6::console {

std::string TracePage(const PageContext& ctx, const Params& p) {
  int32_t count = p.count("n") ? WholeParam(p, "n") : 50;
  if (count < 1 || count > 1000) throw BadRequest("n must be between 1 and 1000");
  int32_t refresh = p.count("refresh") ? WholeParam(p, "refresh") : 3;
  if (refresh < 0 || refresh > 3600) throw BadRequest("refresh must be between 0 and 3600");
  std::vector<TraceEntry> entries =
      ReadTraceTail(ctx.trace_path, static_cast<size_t>(count), ::getpid());
  std::reverse(entries.begin(), entries.end());
  HtmlTable t({"time", "conn", "source", "ms", "rows", "as built", "as sent", "error"}, "trace");
  for (TraceEntry& e : entries) {
    if (e.count("note")) {
      t.Add({Escape(e["time"]), "", Escape(e["note"]), "", "", "", "", Escape(e["error"])});
      continue;
    }
    t.Add({Escape(e["time"]), Escape(e["conn"]), Escape(e["source"]), Escape(e["ms"]),
           Escape(e["rows"]), Escape(e["sql"]), Escape(e["native"]),
           e.count("error") ? "<span class=\"err\">" + Escape(e["error"]) + "</span>" : ""});
  }
  std::string n = std::to_string(count);
  std::string body = "<p>The latest " + n +
                     " statements this console sent, newest first; written to <code>" +
                     Escape(ctx.trace_path) + "</code>. " +
                     (refresh ? "The page reloads every " + std::to_string(refresh) + " s (" +
                                    Link(Url("/trace", {{"n", n}, {"refresh", "0"}}), "stop") + ")."
                              : Link(Url("/trace", {{"n", n}}), "Reload every 3 s") + ".") +
                     "</p>" + (t.size() ? t.Render() : "<p>No statements yet.</p>");
  Frame f{"Statement trace"};
  f.ds = ctx.sources.size() == 1 ? 0 : -1;
  f.read_only = ctx.read_only;
  f.refresh_s = refresh;
  return RenderPage(f, body);
}

}  // namespace q6::console
