// q6fd commands on a data source: setting one up, looking at document types
// and records, counters and queries.
#include <ostream>

#include "cli/command.h"
#include "cli/data_open.h"
#include "cli/entity_view.h"
#include "cli/progress.h"
#include "component/frame/data_manager.h"
#include "component/frame/oid_manager.h"
#include "component/frame/query_manager.h"
#include "component/support/enums.h"
#include "outside/eso/entity_children.h"
#include "outside/eso/entity_codes.h"
#include "outside/eso/entity_field.h"
#include "outside/eso/entity_object.h"
#include "outside/eso/oid_object.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/recordset.h"
#include "platform/schema/schema.h"
#include "sample/sample_data.h"

namespace q6::cli {

namespace {

int32_t TypeArg(const Invocation& in) { return ParseWhole(in.At(1), "BITYPE"); }

int Init(const Invocation& in, std::ostream& out) {
  InitDataSource(in.At(0));
  out << (in.opt.json() ? "{\"initialized\": " + JsonString(in.At(0)) + "}\n"
                        : "metadata and lock tables ready in " + in.At(0) + "\n");
  return 0;
}

int Upgrade(const Invocation& in, std::ostream& out) {
  UpgradeDataSource(in.At(0));
  out << (in.opt.json() ? "{\"upgraded\": " + JsonString(in.At(0)) + "}\n"
                        : "tables and T-SQL functions up to date in " + in.At(0) + "\n");
  return 0;
}

int Seed(const Invocation& in, std::ostream& out) {
  sample::SeedOptions so;
  so.documents = ParseWhole(in.Value("--documents", "12"), "--documents");
  if (so.documents < 1) throw UsageError("--documents must be at least 1");
  so.force = in.Has("--force");
  ProgressLine progress("seeding", 2 * int64_t{so.documents});
  so.progress = [&progress](int done, int) { progress.Update(done); };
  CommandSource source(in.At(0), Creates::kDatabase);
  sample::SeedResult r = sample::SeedSample(*source.Lease(), so);
  progress.Finish();
  if (in.opt.json()) {
    out << "{\"metadata_created\": " << (r.metadata_created ? "true" : "false")
        << ", \"documents_added\": " << r.documents_added
        << ", \"types_skipped\": " << r.types_skipped << "}\n";
    return 0;
  }
  out << (r.metadata_created ? "sample document types created"
                             : "sample document types already there")
      << "; " << r.documents_added << " documents added";
  if (r.documents_added == 0 && r.types_skipped > 0)
    out << ": the types already have documents; --force adds more";
  out << "\n";
  return 0;
}

int Types(const Invocation& in, std::ostream& out) {
  CommandSource source(in.At(0));
  source.RequireTables();
  auto rs = source.Lease()->Execute(
      "select e.iID, e.sCaption, e.sName, e.sSourceTable, e.sMaxOID, c.iID, c.sCaption from "
      "FD_Entities e left join FD_Entities c on c.iparentid = e.iID order by e.iID");
  ResultTable t({{"type", ""},
                 {"caption", ""},
                 {"name", ""},
                 {"table", ""},
                 {"last_oid", "last OID"},
                 {"child", ""},
                 {"child_caption", "child caption"}});
  for (; !rs->EOF(); rs->MoveNext()) {
    std::vector<Variant> row;
    for (int i = 0; i < 7; ++i) row.push_back(rs->Fields()->Item(Variant(int32_t{i}))->Value());
    t.Add(std::move(row));
  }
  t.Write(out, in.opt);
  return 0;
}

int Type(const Invocation& in, std::ostream& out) {
  auto eo = CommandSource(in.At(0)).LoadType(TypeArg(in));
  if (in.opt.format == Format::kText) {
    out << eo->BIType() << " " << eo->Caption() << " (" << eo->Name() << "), table "
        << eo->SourceTable() << ", key " << eo->OIDSourceField();
    if (auto c = eo->ChildEOs()->ChildEO())
      out << ", lines " << c->BIType() << " " << c->Caption() << " linked by " << c->ParentField();
    out << "\n";
  }
  DefinitionTable(*eo).Write(out, in.opt);
  return 0;
}

int Records(const Invocation& in, std::ostream& out) {
  int32_t mode = enum_First;
  std::string from;
  int given = 0;
  for (auto [flag, m] : {std::pair{"--first", enum_First}, std::pair{"--last", enum_Last},
                         std::pair{"--next", enum_Next}, std::pair{"--prev", enum_Previous},
                         std::pair{"--oid", enum_Current}})
    if (in.Has(flag)) mode = m, from = in.Value(flag), ++given;
  if (given > 1) throw UsageError("give one of --first, --last, --next, --prev, --oid");
  CommandSource source(in.At(0));
  auto eo = source.LoadType(TypeArg(in));
  eo->SetOIDValue(Variant(from));
  ConnectionLease con = source.Lease();
  DataManager dm;
  ObjectRef c = con.variable().object(), e = eo;
  bool reversal = false, child = true;
  bool found = dm.MoveTo(c, e, mode, reversal, child);
  if (!found || eo->EditState() != kEditStateLoaded)
    throw NotFound("no record " +
                   (from.empty() ? std::string("(") + (mode == enum_Last ? "last" : "first") + ")"
                                 : "at " + from) +
                   " of type " + in.At(1) + " in " + in.At(0));
  if (in.opt.json()) {
    out << "{\"type\": " << eo->BIType() << ", \"oid\": " << JsonString(eo->OID()->Value())
        << ",\n \"record\": {";
    RecordTable(*eo).WriteJsonMembers(out);
    out << "},\n \"lines\": {";
    LinesTable(*eo).WriteJsonMembers(out);
    out << "}}\n";
    return 0;
  }
  out << "OID " << eo->OID()->Value() << "\n";
  RecordTable(*eo).Write(out, in.opt);
  ResultTable lines = LinesTable(*eo);
  if (lines.size()) {
    out << "lines:\n";
    lines.Write(out, in.opt);
  }
  return 0;
}

int Browse(const Invocation& in, std::ostream& out) {
  int32_t limit = ParseWhole(in.Value("--limit", "20"), "--limit");
  if (limit < 0) throw UsageError("--limit must not be negative");
  CommandSource source(in.At(0));
  auto eo = source.LoadType(TypeArg(in));
  ConnectionLease con = source.Lease();
  DataManager dm;
  ObjectRef c = con.variable().object(), e = eo, prs, crs;
  bool child = false;
  if (!dm.GetData(c, e, prs, crs, child))
    Throw(E_FAIL, "GetData failed (Q6FD_TRACE=<file> shows the statement and its error)");
  auto rs = As<Recordset>(prs);
  int32_t count = rs->RecordCount();
  ResultTable t = ResultTable::Of(*rs, static_cast<size_t>(limit));
  if (in.opt.json()) {
    out << "{\"type\": " << TypeArg(in) << ", \"count\": " << count << ",\n ";
    t.WriteJsonMembers(out);
    out << "}\n";
    return 0;
  }
  if (in.opt.format == Format::kText) out << count << " records of type " << in.At(1) << "\n";
  t.Write(out, in.opt);
  return 0;
}

int Oid(const Invocation& in, std::ostream& out) {
  CommandSource source(in.At(0));
  OIDManager om;
  Variant dsn = source.Name();
  int32_t bitype = TypeArg(in);
  bool locked = in.Has("--allocate");
  std::string v = As<OIDObject>(om.GetNewOID(dsn, bitype, locked))->Value();
  out << (in.opt.json()
              ? "{\"oid\": " + JsonString(v) + ", \"allocated\": " + (locked ? "true" : "false") +
                    "}"
              : v + (locked ? "  (allocated)" : "  (last issued; --allocate takes the next)"))
      << "\n";
  return 0;
}

int Code(const Invocation& in, std::ostream& out) {
  CommandSource source(in.At(0));
  OIDManager om;
  Variant dsn = source.Name();
  int32_t bitype = TypeArg(in);
  bool locked = !in.Has("--peek");
  std::string v = As<OIDObject>(om.GetNewCode(dsn, bitype, locked))->Value();
  out << (in.opt.json() ? "{\"code\": " + JsonString(v) +
                              ", \"allocated\": " + (locked ? "true" : "false") + "}"
                        : v)
      << "\n";
  return 0;
}

int Query(const Invocation& in, std::ostream& out) {
  CommandSource source(in.At(0));
  auto eo = source.LoadType(TypeArg(in));
  Querymanager qm;
  Variant dsn = source.Name();
  ObjectRef q = eo;
  bool captions = !in.Has("--names");
  auto rs = As<Recordset>(qm.GetQueryResult(dsn, q, captions));
  ResultTable::Of(*rs).Write(out, in.opt);
  return 0;
}

}  // namespace

std::vector<Command> DataCommands() {
  std::vector<Command> v = {
      {"init",
       "DSN",
       "create the metadata and lock tables (and the SQLite file)",
       {},
       Init,
       Access::kWrite},
      {"upgrade",
       "DSN",
       "bring a database made by an earlier version up to date (T-SQL functions)",
       {},
       Upgrade,
       Access::kWrite,
       "PostgreSQL: installs the q6tsql compatibility schema again. SQLite: rebuilds the\n"
       "indexes of case-insensitive columns. Running it twice changes nothing more."},
      {"seed",
       "DSN",
       "sample document types and N documents per type",
       {{"--documents", "N", "documents per document type (default 12)"},
        {"--force", "", "add N more to types that already have documents"}},
       Seed,
       Access::kWrite,
       "Types that already have documents are left alone unless --force is given.\n"
       "On a terminal a progress line shows on standard error; on a pipe nothing does."},
      {"types", "DSN", "document types with caption, table and child", {}, Types, Access::kRead},
      {"type",
       "DSN BITYPE",
       "a type's definition and fields (LoadEOMetaData)",
       {},
       Type,
       Access::kRead},
      {"records",
       "DSN BITYPE",
       "one record with its lines (MoveTo)",
       {{"--first", "", "the first record (the default)"},
        {"--last", "", "the last record"},
        {"--next", "OID", "the record after OID"},
        {"--prev", "OID", "the record before OID"},
        {"--oid", "OID", "the record OID itself"}},
       Records,
       Access::kRead,
       "No such record: a message on standard error, exit code 6 (not_found)."},
      {"browse",
       "DSN BITYPE",
       "a page of records (GetData)",
       {{"--limit", "N", "at most N rows (default 20)"}},
       Browse,
       Access::kRead},
      {"oid",
       "DSN BITYPE",
       "the type's OID counter (GetNewOID)",
       {{"--allocate", "", "take the next OID (writes the counter) instead of showing the last"}},
       Oid,
       Access::kWrite},
      {"code",
       "DSN BITYPE",
       "the next document code (GetNewCode)",
       {{"--peek", "", "show the next code without taking it"}},
       Code,
       Access::kWrite},
      {"query",
       "DSN BITYPE",
       "run the type's query object (GetQueryResult)",
       {{"--names", "", "columns by field name instead of caption"}},
       Query,
       Access::kRead},
  };
  for (Command& c : v)
    c.table = c.name == "types" || c.name == "type" || c.name == "browse" || c.name == "query";
  return v;
}

}  // namespace q6::cli
