// A document type's query object run (Querymanager.GetQueryResult) and its
// rows shown, at most kMaxRows of them. The statement is the one the
// component builds from the type's stored definition.
#include "component/frame/query_manager.h"
#include "console/html.h"
#include "console/page.h"
#include "outside/eso/entity_object.h"
#include "platform/adodb/fields.h"
#include "platform/adodb/recordset.h"

namespace q6::console {
namespace {

constexpr int kMaxRows = 500;

}  // namespace

std::string QueryPage(const PageContext& ctx, const Params& p) {
  int ds = SourceIndex(ctx, p);
  int32_t type = WholeParam(p, "type");
  auto eo = ctx.sources.LoadType(ds, type);
  Variant dsn(ctx.sources.dsn(ds));
  ObjectRef q = eo;
  bool captions = true;
  auto rs = As<Recordset>(Querymanager().GetQueryResult(dsn, q, captions));
  auto fields = rs->Fields();
  std::vector<std::string> headers;
  for (int32_t i = 0; i < fields->Count(); ++i) headers.push_back(fields->Item(Variant(i))->Name());
  HtmlTable t(headers);
  int shown = 0;
  bool more = false;
  for (; !rs->EOF(); rs->MoveNext()) {
    if (shown == kMaxRows) {
      more = true;
      break;
    }
    std::vector<std::string> cells;
    for (int32_t i = 0; i < fields->Count(); ++i)
      cells.push_back(Cell(fields->Item(Variant(i))->Value()));
    t.Add(std::move(cells));
    ++shown;
  }
  std::string body =
      "<p>" +
      Link(Url("/type", {{"ds", std::to_string(ds)}, {"type", std::to_string(type)}}),
           "Definition") +
      " of " + Escape(eo->Caption()) + "</p>" +
      (shown ? t.Render() : "<p>The query returned no rows.</p>");
  if (more) body += "<p>Only the first " + std::to_string(kMaxRows) + " rows are shown.</p>";
  Frame f{"Query object of " + std::to_string(type) + " " + eo->Caption()};
  f.ds = ds;
  f.ds_label = ctx.sources.label(ds);
  f.read_only = ctx.read_only;
  return RenderPage(f, body);
}

}  // namespace q6::console
