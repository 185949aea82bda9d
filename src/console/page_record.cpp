// One record of a document type with its child lines (MoveTo, mode
// current, with children), and links to the records before and after it.
#include "component/frame/data_manager.h"
#include "component/support/enums.h"
#include "console/html.h"
#include "console/page.h"
#include "outside/eso/entity_children.h"
#include "outside/eso/entity_field.h"
#include "outside/eso/entity_object.h"
#include "outside/services/connection_manager.h"

namespace q6::console {
namespace {

std::string FieldsOf(const EntityObject& eo) {
  HtmlTable t({"field", "caption", "value"});
  for (const auto& f : *eo.Fields())
    t.Add({Escape(f->Name()), Escape(f->Caption()), Cell(f->Value())});
  return t.Render();
}

std::string LinesOf(const EntityObject& eo) {
  const auto& def = eo.ChildEOs()->ChildEO();
  if (!def) return "";
  std::vector<std::string> headers;
  for (const auto& f : *def->Fields())
    headers.push_back(f->Caption().empty() ? f->Name() : f->Caption());
  HtmlTable t(headers, "lines");
  for (const auto& line : eo.ChildEOs()->Items()) {
    std::vector<std::string> cells;
    for (const auto& f : *line->Fields()) cells.push_back(Cell(f->Value()));
    t.Add(std::move(cells));
  }
  return "<h2>Lines (" + Escape(def->Caption()) + ")</h2>" +
         (t.size() ? t.Render() : "<p>No lines.</p>");
}

}  // namespace

std::string RecordPage(const PageContext& ctx, const Params& p) {
  int ds = SourceIndex(ctx, p);
  int32_t type = WholeParam(p, "type");
  std::string oid = Param(p, "oid");
  auto eo = ctx.sources.LoadType(ds, type);
  {
    ConnectionLease lease{Variant(ctx.sources.dsn(ds))};
    eo->SetOIDValue(Variant(oid));
    ObjectRef con = lease.variable().object(), e = eo;
    int32_t mode = enum_Current;
    bool reversal = false, child = true;
    DataManager().MoveTo(con, e, mode, reversal, child);
  }
  if (eo->EditState() != kEditStateLoaded || eo->OID()->Value() != oid)
    throw NotFoundError("no record " + oid + " of type " + std::to_string(type));
  std::string d = std::to_string(ds), t = std::to_string(type);
  std::string body = "<div class=\"nav\">" +
                     Link(Url("/records", {{"ds", d}, {"type", t}, {"start", "at"}, {"from", oid}}),
                          "Back to the records") +
                     "</div>" + FieldsOf(*eo) + LinesOf(*eo);
  Frame f{"Record " + oid};
  f.ds = ds;
  f.ds_label = ctx.sources.label(ds);
  f.read_only = ctx.read_only;
  return RenderPage(f, body);
}

}  // namespace q6::console
