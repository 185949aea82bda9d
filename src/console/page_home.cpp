// The home page: the served data sources, each with its pages.
#include "console/html.h"
#include "console/page.h"

namespace q6::console {

std::string HomePage(const PageContext& ctx) {
  HtmlTable t({"data source", "", ""});
  for (size_t i = 0; i < ctx.sources.size(); ++i) {
    std::string ds = std::to_string(i);
    t.Add({Escape(ctx.sources.label(i)), Link(Url("/types", {{"ds", ds}}), "document types"),
           Link(Url("/locks", {{"ds", ds}}), "locks")});
  }
  Frame f{"Data sources"};
  f.ds = ctx.sources.size() == 1 ? 0 : -1;
  f.read_only = ctx.read_only;
  return RenderPage(f, t.Render() + "<p>" + Link("/trace", "Statement trace") +
                           " of this console's own calls.</p>");
}

}  // namespace q6::console
