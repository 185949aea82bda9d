// The records of a document type, a page at a time (record_pager.h), with
// links to the first, previous, next and last page and a box to start at a
// record's code (its key).
#include "console/html.h"
#include "console/page.h"
#include "console/record_pager.h"
#include "outside/eso/entity_object.h"

namespace q6::console {
namespace {

constexpr int kDefaultPageSize = 20;
constexpr int kMaxPageSize = 200;

PageStart StartOf(const std::string& s) {
  if (s.empty() || s == "first") return PageStart::kFirst;
  if (s == "last") return PageStart::kLast;
  if (s == "after") return PageStart::kAfter;
  if (s == "before") return PageStart::kBefore;
  if (s == "at") return PageStart::kAt;
  throw BadRequest("start must be first, last, after, before or at");
}

}  // namespace

std::string RecordsPage(const PageContext& ctx, const Params& p) {
  int ds = SourceIndex(ctx, p);
  int32_t type = WholeParam(p, "type");
  int size = kDefaultPageSize;
  if (p.count("n")) size = WholeParam(p, "n");
  if (size < 1 || size > kMaxPageSize)
    throw BadRequest("n must be between 1 and " + std::to_string(kMaxPageSize));
  PageStart start = StartOf(Param(p, "start"));
  std::string from = Param(p, "from");
  auto eo = ctx.sources.LoadType(ds, type);
  const std::string& dsn = ctx.sources.dsn(ds);
  RecordRows page = ReadRecordPage(dsn, *eo, start, from, size);
  // Past either end: the page at that end instead of an empty one.
  if (page.oids.empty() && start == PageStart::kBefore)
    page = ReadRecordPage(dsn, *eo, PageStart::kFirst, "", size);
  else if (page.oids.empty() && (start == PageStart::kAfter || start == PageStart::kAt))
    page = ReadRecordPage(dsn, *eo, PageStart::kLast, "", size);

  std::string d = std::to_string(ds), t = std::to_string(type), n = std::to_string(size);
  auto nav = [&](const char* where, const std::string& key, const char* text) {
    return Link(
        Url("/records", {{"ds", d}, {"type", t}, {"start", where}, {"from", key}, {"n", n}}), text);
  };
  std::string bar = "<div class=\"nav\">" + nav("first", "", "« First");
  if (!page.oids.empty() && !page.reached_start)
    bar += nav("before", page.oids.front(), "‹ Previous");
  if (!page.oids.empty() && !page.reached_end) bar += nav("after", page.oids.back(), "Next ›");
  bar += nav("last", "", "Last »");
  bar += "<form method=\"get\" action=\"/records\"><input type=\"hidden\" name=\"ds\" value=\"" +
         d + "\"><input type=\"hidden\" name=\"type\" value=\"" + t +
         "\"><input type=\"hidden\" name=\"start\" value=\"at\"><input type=\"hidden\" "
         "name=\"n\" value=\"" +
         n + "\"><label>Code <input name=\"from\" value=\"" + Escape(from) +
         "\"></label> <button type=\"submit\">Go</button></form></div>";

  std::vector<std::string> headers{""};
  headers.insert(headers.end(), page.headers.begin(), page.headers.end());
  HtmlTable table(headers, "records");
  for (size_t i = 0; i < page.oids.size(); ++i) {
    std::vector<std::string> cells{
        Link(Url("/record", {{"ds", d}, {"type", t}, {"oid", page.oids[i]}}), "open")};
    for (const Variant& v : page.rows[i]) cells.push_back(Cell(v));
    table.Add(std::move(cells));
  }
  std::string body = "<p>" + Link(Url("/type", {{"ds", d}, {"type", t}}), "Definition") + " of " +
                     Escape(eo->Caption()) + " (table " + Escape(eo->SourceTable()) + ")</p>" +
                     bar + (page.oids.empty() ? "<p>No records.</p>" : table.Render()) + bar;
  Frame f{"Records of " + t + " " + eo->Caption()};
  f.ds = ds;
  f.ds_label = ctx.sources.label(ds);
  f.read_only = ctx.read_only;
  return RenderPage(f, body);
}

}  // namespace q6::console
