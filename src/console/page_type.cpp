// One document type's definition as LoadEOMetaData gives it: its members,
// its fields with captions and columns, its child types as a tree (each
// with its fields) and its query object (the fields with a query position,
// in that order, and the join they are selected from).
#include <algorithm>

#include "console/html.h"
#include "console/page.h"
#include "outside/eso/entity_children.h"
#include "outside/eso/entity_field.h"
#include "outside/eso/entity_object.h"

namespace q6::console {
namespace {

std::string FieldsTable(const EntityObject& eo) {
  HtmlTable t({"row", "col", "name", "caption", "column", "join", "expression", "data type",
               "query position", "used", "key"});
  for (const auto& f : *eo.Fields())
    t.Add({Escape(std::to_string(f->Row())), Escape(std::to_string(f->InputCol())),
           Escape(f->Name()), Escape(f->Caption()), Escape(f->SourceField()),
           Escape(f->JoinField()), Escape(f->Expr()), Escape(std::to_string(f->DataType())),
           Escape(std::to_string(f->QryFldSqc())), f->IsUsed() ? "yes" : "no",
           f->Name() == eo.OIDSourceField() ? "key" : ""});
  return t.size() ? t.Render() : "<p>No fields.</p>";
}

std::string Summary(const EntityObject& eo) {
  HtmlTable t({"type", "caption", "name", "table", "key column", "linked by", "description"});
  t.Add({Escape(std::to_string(eo.BIType())), Escape(eo.Caption()), Escape(eo.Name()),
         Escape(eo.SourceTable()), Escape(eo.OIDSourceField()), Escape(eo.ParentField()),
         Escape(eo.Description())});
  return t.Render();
}

// The chain of child types below `eo`, each level nested in the one above.
std::string ChildTree(const EntityObject& eo, int depth) {
  const auto& child = eo.ChildEOs()->ChildEO();
  if (!child || depth > 16) return "";
  return "<ul><li><h3>Child type " + Escape(std::to_string(child->BIType())) + " " +
         Escape(child->Caption()) + "</h3>" + Summary(*child) + FieldsTable(*child) +
         ChildTree(*child, depth + 1) + "</li></ul>";
}

std::string QueryObject(const EntityObject& eo, const std::string& ds) {
  std::vector<std::shared_ptr<EntityField>> fields;
  for (const auto& f : *eo.Fields())
    if (f->QryFldSqc() > 0) fields.push_back(f);
  if (fields.empty()) return "<p>The type has no query fields.</p>";
  std::stable_sort(fields.begin(), fields.end(),
                   [](const auto& a, const auto& b) { return a->QryFldSqc() < b->QryFldSqc(); });
  HtmlTable t({"position", "name", "caption", "expression", "join field"});
  for (const auto& f : fields)
    t.Add({Escape(std::to_string(f->QryFldSqc())), Escape(f->Name()), Escape(f->Caption()),
           Escape(f->Expr()), Escape(f->JoinField())});
  return t.Render() + "<p>From: <code>" + Escape(eo.QryJoin()) + "</code></p><p>" +
         Link(Url("/query", {{"ds", ds}, {"type", std::to_string(eo.BIType())}}),
              "Run the query object") +
         "</p>";
}

}  // namespace

std::string TypePage(const PageContext& ctx, const Params& p) {
  int ds = SourceIndex(ctx, p);
  int32_t type = WholeParam(p, "type");
  auto eo = ctx.sources.LoadType(ds, type);
  std::string d = std::to_string(ds);
  std::string body = Summary(*eo) + "<p class=\"nav\">" +
                     Link(Url("/records", {{"ds", d}, {"type", std::to_string(type)}}), "Records") +
                     "</p><h2>Fields</h2>" + FieldsTable(*eo) + "<h2>Child types</h2>";
  std::string tree = ChildTree(*eo, 0);
  body += tree.empty() ? "<p>None.</p>" : tree;
  body += "<h2>Query object</h2>" + QueryObject(*eo, d);
  Frame f{"Type " + std::to_string(type) + " " + eo->Caption()};
  f.ds = ds;
  f.ds_label = ctx.sources.label(ds);
  f.read_only = ctx.read_only;
  return RenderPage(f, body);
}

}  // namespace q6::console
