// The document types of a data source: one row per type with its parent,
// linking to its definition, its records and its query object.
#include "component/frame/data_manager.h"
#include "console/html.h"
#include "console/page.h"
#include "outside/services/connection_manager.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/recordset.h"

namespace q6::console {

std::string TypesPage(const PageContext& ctx, const Params& p) {
  int ds = SourceIndex(ctx, p);
  ctx.sources.Check(ds);
  std::string d = std::to_string(ds);
  HtmlTable t({"type", "caption", "name", "table", "parent", "", "", ""});
  {
    ConnectionLease lease{Variant(ctx.sources.dsn(ds))};
    auto rs = lease->Execute(
        "select iID, sCaption, sName, sSourceTable, iparentid from FD_Entities order by iID");
    for (; !rs->EOF(); rs->MoveNext()) {
      Variant id = rs->Field("iID");
      std::string type = id.IsNull() ? "" : id.ToString();
      Variant parent = rs->Field("iparentid");
      t.Add({Cell(id), Cell(rs->Field("sCaption")), Cell(rs->Field("sName")),
             Cell(rs->Field("sSourceTable")), Cell(parent),
             Link(Url("/type", {{"ds", d}, {"type", type}}), "definition"),
             Link(Url("/records", {{"ds", d}, {"type", type}}), "records"),
             Link(Url("/query", {{"ds", d}, {"type", type}}), "query")});
    }
  }
  Frame f{"Document types"};
  f.ds = ds;
  f.ds_label = ctx.sources.label(ds);
  f.read_only = ctx.read_only;
  std::string body = t.size() ? t.Render() : "<p>No document types are defined.</p>";
  return RenderPage(f, body);
}

}  // namespace q6::console
