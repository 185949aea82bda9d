// q6fd commands on a data source: setting one up, looking at document types
// and records, and the administration of the lock table and counters.
#include <unistd.h>

#include <ostream>

#include "cli/command.h"
#include "cli/entity_view.h"
#include "component/frame/data_manager.h"
#include "component/frame/lock_manager.h"
#include "component/frame/oid_manager.h"
#include "component/frame/query_manager.h"
#include "component/support/enums.h"
#include "outside/eso/entity_children.h"
#include "outside/eso/entity_field.h"
#include "outside/eso/entity_object.h"
#include "outside/eso/oid_object.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/recordset.h"
#include "platform/schema/schema.h"
#include "sample/sample_data.h"

namespace q6::cli {

namespace {

// Usage errors: the caller prints the command's usage line.
struct UsageError {};

// The arguments of a command: positionals and --flags (with or without a
// value).
class Args {
 public:
  Args(const std::vector<std::string>& args, std::vector<std::string> valued)
      : valued_(std::move(valued)) {
    for (size_t i = 0; i < args.size(); ++i) {
      const std::string& a = args[i];
      if (a.rfind("--", 0) == 0) {
        bool takes = std::find(valued_.begin(), valued_.end(), a) != valued_.end();
        if (takes && i + 1 >= args.size()) throw UsageError{};
        flags_.emplace_back(a, takes ? args[++i] : "");
      } else {
        positional_.push_back(a);
      }
    }
  }
  const std::string& At(size_t i) const {
    if (i >= positional_.size()) throw UsageError{};
    return positional_[i];
  }
  size_t Count() const { return positional_.size(); }
  bool Has(const std::string& flag) const {
    for (auto& f : flags_)
      if (f.first == flag) return true;
    return false;
  }
  std::string Value(const std::string& flag, const std::string& def = "") const {
    for (auto& f : flags_)
      if (f.first == flag) return f.second;
    return def;
  }
  void Only(std::initializer_list<const char*> allowed) const {
    for (auto& f : flags_) {
      bool ok = false;
      for (const char* a : allowed) ok = ok || f.first == a;
      if (!ok) throw UsageError{};
    }
  }

 private:
  std::vector<std::string> valued_;
  std::vector<std::string> positional_;
  std::vector<std::pair<std::string, std::string>> flags_;
};

int32_t ParseType(const std::string& s) {
  try {
    size_t used = 0;
    int v = std::stoi(s, &used);
    if (used == s.size()) return v;
  } catch (...) {
  }
  throw UsageError{};
}

std::shared_ptr<Connection> Open(const std::string& dsn) {
  auto con = std::make_shared<Connection>();
  con->Open(dsn);
  return con;
}

// Fails with a hint when the metadata tables are missing.
void RequireTables(Connection& con, const std::string& dsn) {
  try {
    con.Execute("select count(*) from FD_Entities");
  } catch (const ComError&) {
    Throw(E_FAIL, "data source " + dsn + " has no metadata tables: run q6fd init " + dsn +
                      " (or q6fd seed " + dsn + " for sample types)");
  }
}

std::shared_ptr<EntityObject> LoadType(const std::string& dsn, int32_t bitype) {
  auto con = Open(dsn);
  RequireTables(*con, dsn);
  if (con->Execute("select iID from FD_Entities where iID = " + std::to_string(bitype))->EOF())
    Throw(E_FAIL, "document type " + std::to_string(bitype) + " is not defined in " + dsn +
                      " (q6fd types " + dsn + " lists them)");
  DataManager dm;
  Variant d(dsn);
  bool only_eo = false, child = true;
  int32_t used = 0;
  return As<EntityObject>(dm.LoadEOMetaData(d, bitype, only_eo, used, child));
}

void Print(const TextTable& t, const Options& opt, std::ostream& out) {
  if (opt.json)
    t.PrintJson(out);
  else
    t.Print(out);
}

int Init(const Args& a, const Options& opt, std::ostream& out) {
  a.Only({});
  InitDataSource(a.At(0));
  out << (opt.json ? "{\"initialized\": " + JsonString(a.At(0)) + "}\n"
                   : "metadata and lock tables ready in " + a.At(0) + "\n");
  return 0;
}

int Seed(const Args& a, const Options& opt, std::ostream& out) {
  a.Only({"--documents"});
  sample::SeedOptions so;
  so.documents = ParseType(a.Value("--documents", "12"));
  if (so.documents < 1) throw UsageError{};
  bool tty = ::isatty(2);
  if (tty && so.documents >= 500)
    so.progress = [](int done, int total) {
      int width = 40, filled = total ? width * done / total : width;
      std::fprintf(stderr, "\r  [%s%s] %d/%d", std::string(filled, '#').c_str(),
                   std::string(width - filled, ' ').c_str(), done, total);
      if (done == total) std::fprintf(stderr, "\n");
    };
  auto con = Open(a.At(0));
  sample::SeedResult r = sample::SeedSample(*con, so);
  if (opt.json)
    out << "{\"metadata_created\": " << (r.metadata_created ? "true" : "false")
        << ", \"documents_added\": " << r.documents_added << "}\n";
  else
    out << (r.metadata_created ? "sample document types created"
                               : "sample document types already there")
        << "; " << r.documents_added << " documents added\n";
  return 0;
}

int Types(const Args& a, const Options& opt, std::ostream& out) {
  a.Only({});
  auto con = Open(a.At(0));
  RequireTables(*con, a.At(0));
  auto rs = con->Execute(
      "select e.iID, e.sCaption, e.sName, e.sSourceTable, e.sMaxOID, c.iID, c.sCaption from "
      "FD_Entities e left join FD_Entities c on c.iparentid = e.iID order by e.iID");
  TextTable t({"type", "caption", "name", "table", "last OID", "child"});
  for (; !rs->EOF(); rs->MoveNext()) {
    auto f = rs->Fields();
    auto v = [&](int i) { return Shown(f->Item(Variant(int32_t{i}))->Value()); };
    t.Add({v(0), v(1), v(2), v(3), v(4), v(5).empty() ? "" : v(5) + " " + v(6)});
  }
  Print(t, opt, out);
  return 0;
}

int Type(const Args& a, const Options& opt, std::ostream& out) {
  a.Only({});
  auto eo = LoadType(a.At(0), ParseType(a.At(1)));
  if (!opt.json) {
    out << eo->BIType() << " " << eo->Caption() << " (" << eo->Name() << "), table "
        << eo->SourceTable() << ", key " << eo->OIDSourceField();
    if (auto c = eo->ChildEOs()->ChildEO())
      out << ", lines " << c->BIType() << " " << c->Caption() << " linked by " << c->ParentField();
    out << "\n";
  }
  Print(DefinitionTable(*eo), opt, out);
  return 0;
}

int Records(const Args& a, const Options& opt, std::ostream& out) {
  a.Only({"--first", "--last", "--next", "--prev", "--oid"});
  auto eo = LoadType(a.At(0), ParseType(a.At(1)));
  int32_t mode = enum_First;
  std::string from;
  if (a.Has("--last")) mode = enum_Last;
  if (a.Has("--next")) mode = enum_Next, from = a.Value("--next");
  if (a.Has("--prev")) mode = enum_Previous, from = a.Value("--prev");
  if (a.Has("--oid")) mode = enum_Current, from = a.Value("--oid");
  eo->SetOIDValue(Variant(from));
  auto con = Open(a.At(0));
  DataManager dm;
  ObjectRef c = con, e = eo;
  bool reversal = false, child = true;
  bool found = dm.MoveTo(c, e, mode, reversal, child);
  if (!found || eo->EditState() != 1) {
    out << (opt.json ? "null\n" : "no record\n");
    return 1;
  }
  if (!opt.json) out << "OID " << eo->OID()->Value() << "\n";
  Print(RecordTable(*eo), opt, out);
  TextTable lines = LinesTable(*eo);
  if (lines.size()) {
    if (!opt.json) out << "lines:\n";
    Print(lines, opt, out);
  }
  return 0;
}

int Browse(const Args& a, const Options& opt, std::ostream& out) {
  a.Only({"--limit"});
  size_t limit = static_cast<size_t>(ParseType(a.Value("--limit", "20")));
  auto eo = LoadType(a.At(0), ParseType(a.At(1)));
  auto con = Open(a.At(0));
  DataManager dm;
  ObjectRef c = con, e = eo, prs, crs;
  bool child = false;
  if (!dm.GetData(c, e, prs, crs, child))
    Throw(E_FAIL, "GetData failed (Q6FD_TRACE=<file> shows the statement and its error)");
  auto rs = As<Recordset>(prs);
  std::vector<std::string> header;
  for (const Variant& f : rs->Fields()->Enumerate())
    header.push_back(As<Field>(f.object())->Name());
  TextTable t(header);
  for (; !rs->EOF() && t.size() < limit; rs->MoveNext()) {
    std::vector<std::string> row;
    for (const Variant& f : rs->Fields()->Enumerate())
      row.push_back(Shown(As<Field>(f.object())->Value()));
    t.Add(row);
  }
  if (!opt.json) out << rs->RecordCount() << " records of type " << a.At(1) << "\n";
  Print(t, opt, out);
  return 0;
}

int Locks(const Args& a, const Options& opt, std::ostream& out) {
  a.Only({});
  auto con = Open(a.At(0));
  RequireTables(*con, a.At(0));
  auto rs = con->Execute("select * from FD_Locks order by locks_id");
  TextTable t({"id", "user", "workstation", "module", "level", "digest"});
  for (; !rs->EOF(); rs->MoveNext()) {
    std::vector<std::string> row;
    for (int i = 0; i < 6; ++i)
      row.push_back(Shown(rs->Fields()->Item(Variant(int32_t{i}))->Value()));
    t.Add(row);
  }
  Print(t, opt, out);
  return 0;
}

const std::pair<const char*, int32_t> kLevels[] = {
    {"--all", enum_All},     {"--host", enum_ByHost},
    {"--user", enum_ByUser}, {"--host-user", enum_ByHostAndUser},
    {"--mod", enum_ByMod},   {"--class", enum_byClass},
    {"--id", enum_byID}};

int LockOrUnlock(const Args& a, const Options& opt, std::ostream& out, bool lock) {
  a.Only({"--all", "--host", "--user", "--host-user", "--mod", "--class", "--id", "--as", "--at",
          "--module", "--digest"});
  int32_t level = enum_byID;
  std::string id;
  for (auto [flag, l] : kLevels)
    if (a.Has(flag)) level = l, id = a.Value(flag);
  if (level == enum_byClass || level == enum_byID) {
    if (id.empty()) throw UsageError{};
  }
  LockManager lm;
  Variant dsn(a.At(0)), vid(id);
  std::string user = a.Value("--as"), ws = a.Value("--at"), mod = a.Value("--module"),
              digest = a.Value("--digest");
  bool done = lock ? lm.LockIt(dsn, vid, user, ws, mod, level, digest)
                   : lm.UnlockIt(dsn, vid, user, ws, mod, level);
  if (opt.json)
    out << "{\"" << (lock ? "locked" : "released") << "\": " << (done ? "true" : "false")
        << ", \"id\": " << JsonString(vid.ToString()) << ", \"level\": " << level << "}\n";
  else
    out << (lock ? "LockIt" : "UnlockIt") << " level " << level << " id '" << vid.ToString()
        << "': " << (done ? "True" : "False (nothing to do: the level needs what was not given)")
        << "\n";
  return done ? 0 : 1;
}

int Oid(const Args& a, const Options& opt, std::ostream& out) {
  a.Only({"--allocate"});
  OIDManager om;
  Variant dsn(a.At(0));
  int32_t bitype = ParseType(a.At(1));
  bool locked = a.Has("--allocate");
  std::string v = As<OIDObject>(om.GetNewOID(dsn, bitype, locked))->Value();
  out << (opt.json ? "{\"oid\": " + JsonString(v) +
                         ", \"allocated\": " + (locked ? "true" : "false") + "}"
                   : v + (locked ? "  (allocated)" : "  (last issued; --allocate takes the next)"))
      << "\n";
  return 0;
}

int Code(const Args& a, const Options& opt, std::ostream& out) {
  a.Only({"--peek"});
  OIDManager om;
  Variant dsn(a.At(0));
  int32_t bitype = ParseType(a.At(1));
  bool locked = !a.Has("--peek");
  std::string v = As<OIDObject>(om.GetNewCode(dsn, bitype, locked))->Value();
  out << (opt.json ? "{\"code\": " + JsonString(v) + "}" : v) << "\n";
  return 0;
}

int Query(const Args& a, const Options& opt, std::ostream& out) {
  a.Only({"--names"});
  auto eo = LoadType(a.At(0), ParseType(a.At(1)));
  Querymanager qm;
  Variant dsn(a.At(0));
  ObjectRef q = eo;
  bool captions = !a.Has("--names");
  auto rs = As<Recordset>(qm.GetQueryResult(dsn, q, captions));
  std::vector<std::string> header;
  for (const Variant& f : rs->Fields()->Enumerate())
    header.push_back(As<Field>(f.object())->Name());
  TextTable t(header);
  for (; !rs->EOF(); rs->MoveNext()) {
    std::vector<std::string> row;
    for (const Variant& f : rs->Fields()->Enumerate())
      row.push_back(Shown(As<Field>(f.object())->Value()));
    t.Add(row);
  }
  Print(t, opt, out);
  return 0;
}

using Fn = int (*)(const Args&, const Options&, std::ostream&);

Command Make(const char* name, const char* usage, const char* summary, Fn fn,
             std::vector<std::string> valued = {}) {
  std::string u = usage;
  return {
      name, usage, summary,
      [fn, u, valued](const std::vector<std::string>& args, const Options& opt, std::ostream& out) {
        try {
          return fn(Args(args, valued), opt, out);
        } catch (const UsageError&) {
          out << "usage: q6fd " << u << "\n";
          return 2;
        }
      }};
}

}  // namespace

std::vector<Command> DataCommands() {
  auto lock = [](const Args& a, const Options& o, std::ostream& out) {
    return LockOrUnlock(a, o, out, true);
  };
  auto unlock = [](const Args& a, const Options& o, std::ostream& out) {
    return LockOrUnlock(a, o, out, false);
  };
  const std::vector<std::string> lock_values = {"--class", "--id",     "--as",
                                                "--at",    "--module", "--digest"};
  return {
      Make("init", "init DSN", "create the metadata and lock tables", Init),
      Make("seed", "seed DSN [--documents N]", "sample document types and N documents per type",
           Seed, {"--documents"}),
      Make("types", "types DSN", "document types with caption, table and child", Types),
      Make("type", "type DSN BITYPE", "a type's definition and fields (LoadEOMetaData)", Type),
      Make("records", "records DSN BITYPE [--first|--last|--next OID|--prev OID|--oid OID]",
           "one record with its lines (MoveTo)", Records, {"--next", "--prev", "--oid"}),
      Make("browse", "browse DSN BITYPE [--limit N]", "a page of records (GetData)", Browse,
           {"--limit"}),
      Make("locks", "locks DSN", "every lock in the lock table", Locks),
      Make("lock",
           "lock DSN (--id ID|--class PREFIX|--mod|--host-user|--user|--host|--all) "
           "--as USER --at HOST --module MOD [--digest TEXT]",
           "take a lock (LockIt); a conflict shows the holder", lock, lock_values),
      Make("unlock", "unlock DSN (--id ID|--class PREFIX|...) --as USER --at HOST [--module MOD]",
           "release locks (UnlockIt)", unlock, lock_values),
      Make("oid", "oid DSN BITYPE [--allocate]", "the type's OID counter (GetNewOID)", Oid),
      Make("code", "code DSN BITYPE [--peek]", "the next document code (GetNewCode)", Code),
      Make("query", "query DSN BITYPE [--names]", "run the type's query object (GetQueryResult)",
           Query),
  };
}

}  // namespace q6::cli
