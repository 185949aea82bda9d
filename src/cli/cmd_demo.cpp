// q6fd demo: the typical road of a user of the fund-management module, on
// the embedded default database (or any data source with --dsn).
//
// Each step calls the component the way a client program does (objects
// created by ProgID, methods with their automation arguments) and prints
// what came back.
#include <filesystem>
#include <fstream>
#include <ostream>

#include "cli/command.h"
#include "cli/data_open.h"
#include "cli/demo_setup.h"
#include "cli/entity_view.h"
#include "cli/text_table.h"
#include "component/frame/data_manager.h"
#include "component/frame/lock_manager.h"
#include "component/frame/log_manager.h"
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
#include "platform/datasource/data_source.h"
#include "runtime/class_table.h"
#include "sample/sample_data.h"

namespace q6::cli {

namespace {

template <class T>
std::shared_ptr<T> Create(const char* prog_id) {
  auto obj = As<T>(CreateObject(prog_id));
  if (!obj) Throw(E_NOINTERFACE, std::string(prog_id) + " is not the expected class");
  return obj;
}

class Demo {
 public:
  Demo(std::ostream& out, std::string dsn, std::string program)
      : out_(out), dsn_(std::move(dsn)), program_(std::move(program)) {}
  int Run();

 private:
  void Step(const std::string& title) { out_ << "\n[" << ++step_ << "] " << title << "\n"; }
  void Note(const std::string& text) { out_ << "    " << text << "\n"; }
  void ShowRecord(const EntityObject& eo, const std::string& how);
  std::shared_ptr<EntityObject> LoadType(int32_t bitype);
  void Setup();
  void LoadDefinition();
  void Browse();
  void Navigate();
  void Locks();
  void Identifiers();
  void SaveNew();
  void Update();
  void Remove();
  void Unlock();
  void Log();
  void Query();

  std::ostream& out_;
  std::string dsn_;
  std::string program_;  // as the hints name it
  int step_ = 0;
  std::shared_ptr<DataManager> dm_;
  // Resolved once; its one connection serves the demo's own statements and
  // the component's methods (each step leases it while it needs it).
  std::unique_ptr<CommandSource> source_;
  std::shared_ptr<EntityObject> receipt_;
  std::string locked_oid_;
  std::string new_oid_, new_code_;
  std::vector<std::string> log_lines_;
};

std::shared_ptr<EntityObject> Demo::LoadType(int32_t bitype) {
  Variant dsn(dsn_);
  bool only_eo = false, get_child = true;
  int32_t only_used = 0;
  return As<EntityObject>(dm_->LoadEOMetaData(dsn, bitype, only_eo, only_used, get_child));
}

void Demo::ShowRecord(const EntityObject& eo, const std::string& how) {
  Note(how + ": OID " + eo.OID()->Value() + ", EditState " + std::to_string(eo.EditState()));
  RecordTable(eo).Print(out_, "      ");
  ResultTable lines = LinesTable(eo);
  if (lines.size()) {
    Note("  lines:");
    lines.Print(out_, "      ");
  }
}

void Demo::Setup() {
  Step("Data source \"" + dsn_ + "\"");
  std::string wrote = EnsureDemoDataSource(dsn_);
  if (!wrote.empty()) Note(wrote);
  source_ = std::make_unique<CommandSource>(dsn_, Creates::kDatabase);
  const DataSource& ds = source_->resolved();
  Note("resolved to " + ds.Describe() + " (from " + ds.origin + ")");
  sample::SeedOptions opt;
  sample::SeedResult r = sample::SeedSample(*source_->Lease(), opt);
  Note(r.metadata_created ? "created the metadata and lock tables and 6 sample document types"
                          : "reusing the sample document types already there");
  if (r.documents_added) Note("added " + std::to_string(r.documents_added) + " sample documents");
  dm_ = Create<DataManager>("Q6FDMgr.DataManager");
  // A run that was interrupted may have left the demo user's locks behind.
  auto lm = Create<LockManager>("Q6FDMgr.LockManager");
  Variant dsn(dsn_), id("");
  std::string user = "张三", ws = "PC-01", mod;
  int32_t level = enum_ByHostAndUser;
  lm->UnlockIt(dsn, id, user, ws, mod, level);
}

void Demo::LoadDefinition() {
  Step("LoadEOMetaData: the definition of document type 51");
  receipt_ = LoadType(51);
  auto child = receipt_->ChildEOs()->ChildEO();
  Note(receipt_->Caption() + " (" + receipt_->Name() + "), table " + receipt_->SourceTable() +
       ", key field " + receipt_->OIDSourceField() + ", lines: " +
       (child ? std::to_string(child->BIType()) + " " + child->Caption() + " in " +
                    child->SourceTable() + " linked by " + child->ParentField()
              : std::string("none")));
  Note("fields in layout order:");
  DefinitionTable(*receipt_).Print(out_, "      ");
  Variant dsn(dsn_);
  int32_t bitype = 51;
  Note("MaxTop " + FormatDouble(dm_->MaxTop(dsn, bitype)) + ", MaxQrySqc " +
       std::to_string(dm_->MaxQrySqc(dsn, bitype)));
}

void Demo::Browse() {
  Step("GetData + MoveToByRS: browsing all receipts in key order, in memory");
  ConnectionLease lease = source_->Lease();
  ObjectRef con = lease.variable().object(), eo = receipt_, prs, crs;
  bool get_child = true;
  if (!dm_->GetData(con, eo, prs, crs, get_child)) Throw(E_FAIL, "GetData returned False");
  auto rs = As<Recordset>(prs);
  Note("GetData: " + std::to_string(rs->RecordCount()) + " receipts; first receipt's lines: " +
       std::to_string(crs ? As<Recordset>(crs)->RecordCount() : 0));
  const std::pair<int32_t, const char*> moves[] = {{enum_First, "MoveToByRS First"},
                                                   {enum_Next, "MoveToByRS Next"},
                                                   {enum_Last, "MoveToByRS Last"}};
  for (auto [mode, name] : moves) {
    receipt_->ChildEOs()->Clear();
    int32_t m = mode;
    if (!dm_->MoveToByRS(con, eo, m, prs, crs, get_child))
      Throw(E_FAIL, std::string(name) + " returned False");
    ShowRecord(*receipt_, name);
  }
}

void Demo::Navigate() {
  Step("MoveTo: one record at a time from the database (documents in a closed book are skipped)");
  ConnectionLease lease = source_->Lease();
  ObjectRef con = lease.variable().object(), eo = receipt_;
  bool reversal = false, get_child = true;
  const std::pair<int32_t, const char*> moves[] = {{enum_First, "MoveTo First"},
                                                   {enum_Next, "MoveTo Next"},
                                                   {enum_Last, "MoveTo Last"},
                                                   {enum_Previous, "MoveTo Previous"}};
  for (auto [mode, name] : moves) {
    receipt_->ChildEOs()->Clear();
    int32_t m = mode;
    bool moved = dm_->MoveTo(con, eo, m, reversal, get_child);
    ShowRecord(*receipt_, std::string(name) + (moved ? "" : " (no record)"));
  }
  locked_oid_ = receipt_->OID()->Value();
}

void Demo::Locks() {
  Step("LockIt: 张三 at PC-01 locks receipt " + locked_oid_ + " before editing it");
  auto lm = Create<LockManager>("Q6FDMgr.LockManager");
  Variant dsn(dsn_), id(locked_oid_);
  std::string user = "张三", ws = "PC-01", mod = "fd", digest = "修改收款单";
  int32_t level = enum_byID;
  Note(std::string("LockIt -> ") +
       (lm->LockIt(dsn, id, user, ws, mod, level, digest) ? "True" : "False"));
  Note("李四 at PC-02 tries the same record:");
  Variant id2(locked_oid_);
  std::string user2 = "李四", ws2 = "PC-02", mod2 = "fd", digest2;
  try {
    lm->LockIt(dsn, id2, user2, ws2, mod2, level, digest2);
    Note("unexpectedly granted");
  } catch (const ComError& e) {
    Note("error " + HrToString(e.hr()) + ":");
    std::string text = e.description();
    for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.replace(at, 2, "\n      ");
    Note("  " + text);
  }
}

void Demo::Identifiers() {
  Step("OIDManager: a new OID and a new document code for type 51");
  auto om = Create<OIDManager>("Q6FDMgr.OIDManager");
  Variant dsn(dsn_);
  int32_t bitype = 51;
  bool peek = false, locked = true;
  Note("GetNewOID(Locked:=False) reads the counter: " +
       As<OIDObject>(om->GetNewOID(dsn, bitype, peek))->Value());
  new_oid_ = As<OIDObject>(om->GetNewOID(dsn, bitype, locked))->Value();
  Note("GetNewOID(Locked:=True) allocates:       " + new_oid_);
  new_code_ = As<OIDObject>(om->GetNewCode(dsn, bitype, locked))->Value();
  Note("GetNewCode:                             " + new_code_);
}

void Demo::SaveNew() {
  Step("Save: a new receipt with two lines (EditState 2)");
  auto doc = receipt_->Clone(0);
  doc->SetEditState(Variant(int32_t{kEditStateNew}));
  doc->SetOIDValue(Variant(new_oid_));
  auto put = [](EntityObject& e, const char* name, Variant v) {
    e.Fields()->Item(name)->SetValue(v);
  };
  put(*doc, "oid", Variant(new_oid_));
  put(*doc, "transactions_code", Variant(new_code_));
  put(*doc, "doc_date", Variant("2026-12-07"));
  put(*doc, "payer", Variant("演示客户 O'Brien"));
  put(*doc, "amount", Variant(12345.5));
  put(*doc, "approved", Variant(false));
  put(*doc, "remark", Variant("demo: 新建"));
  auto om = Create<OIDManager>("Q6FDMgr.OIDManager");
  Variant dsn(dsn_);
  auto def = doc->ChildEOs()->ChildEO();
  for (int i = 1; i <= 2; ++i) {
    auto line = def->Clone(0);
    int32_t line_type = def->BIType();
    bool locked = true;
    std::string oid = As<OIDObject>(om->GetNewOID(dsn, line_type, locked))->Value();
    line->SetEditState(Variant(int32_t{kEditStateNew}));
    line->SetOIDValue(Variant(oid));
    put(*line, "oid", Variant(oid));
    put(*line, "line_no", Variant(int32_t{i}));
    put(*line, "subject", Variant(i == 1 ? "1002" : "6001"));
    put(*line, "amount", Variant(i == 1 ? 10000.0 : 2345.5));
    doc->ChildEOs()->Add(line, "K" + oid);
  }
  ConnectionLease lease = source_->Lease();
  ObjectRef con = lease.variable().object(), eo = doc;
  bool saved = dm_->Save(con, eo);
  Note(std::string("Save -> ") + (saved ? "True" : "False") + ", EditState now " +
       std::to_string(doc->EditState()));
  receipt_->ChildEOs()->Clear();
  receipt_->SetOIDValue(Variant(new_oid_));
  ObjectRef r = receipt_;
  int32_t current = enum_Current;
  bool reversal = false, get_child = true;
  dm_->MoveTo(con, r, current, reversal, get_child);
  ShowRecord(*receipt_, "read back with MoveTo Current");
}

void Demo::Update() {
  Step("Save: an update of the new receipt (EditState 3, only changed fields are written)");
  receipt_->Fields()->Item("amount")->SetValue(Variant(13000.0));
  receipt_->Fields()->Item("approved")->SetValue(Variant(true));
  receipt_->SetEditState(Variant(int32_t{kEditStateChanged}));
  ConnectionLease lease = source_->Lease();
  ObjectRef con = lease.variable().object(), eo = receipt_;
  Note(std::string("Save -> ") + (dm_->Save(con, eo) ? "True" : "False"));
  receipt_->ChildEOs()->Clear();
  int32_t current = enum_Current;
  bool reversal = false, get_child = true;
  dm_->MoveTo(con, eo, current, reversal, get_child);
  ShowRecord(*receipt_, "read back");
}

void Demo::Remove() {
  Step("Save with EditState 4: deleting the new receipt and its lines");
  receipt_->SetEditState(Variant(int32_t{kEditStateDeleted}));
  {
    ConnectionLease lease = source_->Lease();
    ObjectRef con = lease.variable().object(), eo = receipt_;
    Note(std::string("Save -> ") + (dm_->Save(con, eo) ? "True" : "False"));
  }
  Variant dsn(dsn_);
  std::string sql =
      "select count(*), count(*) from fd_receipt_line where receipt_oid = '" + new_oid_ + "'";
  Note("lines left (MoveToBySQL): " + dm_->MoveToBySQL(dsn, sql));
}

void Demo::Unlock() {
  Step("UnlockIt: 张三 releases the lock");
  auto lm = Create<LockManager>("Q6FDMgr.LockManager");
  Variant dsn(dsn_), id(locked_oid_);
  std::string user = "张三", ws = "PC-01", mod = "fd";
  int32_t level = enum_byID;
  Note(std::string("UnlockIt -> ") +
       (lm->UnlockIt(dsn, id, user, ws, mod, level) ? "True" : "False"));
  auto rs = source_->Lease()->Execute("select count(*) from FD_Locks");
  Note("locks left: " + rs->Fields()->Item(Variant(int32_t{0}))->Value().ToString());
}

void Demo::Log() {
  Step("LogManager: a text log of this session");
  std::filesystem::create_directories("var");
  auto log = Create<LogManager>("Q6FDMgr.LogManager");
  bool override_ = true, unicode = false, kill = false;
  std::string error;
  if (!log->StartLog("var/demo.log", override_, error, unicode)) {
    Note("StartLog failed: " + error);
    return;
  }
  for (std::string line : {std::string("演示: 收款单 ") + new_oid_ + " 已保存并删除",
                           std::string("lock of ") + locked_oid_ + " released"})
    log->WriteLine(line);
  Note("GetLogFileName: " + log->GetLogFileName());
  log->StopLog(kill);
  std::ifstream in("var/demo.log");
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    Note("| " + line);
  }
}

void Demo::Query() {
  Step("Querymanager: the approved receipts, through the type's query object");
  auto qm = Create<Querymanager>("Q6FDMgr.Querymanager");
  Variant dsn(dsn_);
  ObjectRef q = receipt_;
  bool captions = true;
  auto rs = As<Recordset>(qm->GetQueryResult(dsn, q, captions));
  TextTable t({"oid", "transactions_code", "payer", "amount"});
  int shown = 0;
  for (; !rs->EOF() && shown < 5; rs->MoveNext(), ++shown)
    t.Add({rs->Field("oid").ToString(), rs->Field("transactions_code").ToString(),
           rs->Field("payer").ToString(), rs->Field("amount").ToString()});
  Note(std::to_string(rs->RecordCount()) + " approved receipts; the first " +
       std::to_string(shown) + ":");
  t.Print(out_, "      ");
}

int Demo::Run() {
  out_ << "Q6FDMgr demo: the data-object layer of the fund-management module\n";
  Setup();
  LoadDefinition();
  Browse();
  Navigate();
  Locks();
  Identifiers();
  SaveNew();
  Update();
  Remove();
  Unlock();
  Log();
  Query();
  // Named as the user started the program: the installed one is on the
  // PATH, one in a build tree is reached by its path.
  const std::string& q = program_;
  out_ << "\nDone. Try next:\n"
       << "  " << q << " types " << dsn_ << "                 the document types\n"
       << "  " << q << " type " << dsn_ << " 51               a type's definition\n"
       << "  " << q << " records " << dsn_ << " 51 --first    a document with its lines\n"
       << "  " << q << " locks " << dsn_ << "                 the lock table\n"
       << "  " << q << " sql " << dsn_ << " \"select oid, payer, amount from fd_receipt\"\n"
       << "  " << q << " classes                   every class and method\n"
       << "  Q6FD_TRACE=var/trace.jsonl " << q << " demo   every statement, as built and as sent\n";
  return 0;
}

int RunDemo(const Invocation& in, std::ostream& out) {
  std::string dsn = in.Value("--dsn", "demo");
  Demo demo(out, dsn, in.opt.program);
  try {
    return demo.Run();
  } catch (const ComError&) {
    out << "\nThe demo stopped (why: on standard error).\n";
    throw;
  }
}

}  // namespace

std::vector<Command> DemoCommands() {
  return {{"demo",
           "",
           "set up the sample database and walk the typical road of a user",
           {{"--dsn", "NAME", "the data source to use (default: demo, var/demo.db, created)"}},
           RunDemo,
           Access::kWrite}};
}

}  // namespace q6::cli
