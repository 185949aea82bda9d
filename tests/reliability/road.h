// The steps of a user's road through the component on the sample receipts
// (type 51, lines 52), as the fault and stress tests call them, and the
// outcome of a call as a child reports it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "component/frame/data_manager.h"
#include "component/frame/lock_manager.h"
#include "component/frame/oid_manager.h"
#include "outside/eso/entity_children.h"
#include "outside/eso/entity_field.h"
#include "outside/eso/entity_object.h"
#include "outside/eso/oid_object.h"
#include "reliability_fixture.h"

namespace q6::test {

constexpr int32_t kReceipt = 51;
constexpr int32_t kReceiptLine = 52;

// "True", "False", or "Error <hr> <description>" for what `call` did.
inline std::string Outcome(const std::function<bool()>& call) {
  try {
    return call() ? "True" : "False";
  } catch (const std::exception& e) {
    return "Error " + FailureText(e);
  }
}

// Whether `e` is LockIt's report of another holder's lock, as opposed to any
// other failure.
inline bool IsLockConflict(const ComError& e) {
  return e.hr() == Q6_E_LOCKED && e.kind() == ErrorKind::kLockConflict;
}

inline std::string NewOid(OIDManager& om, const std::string& source, int32_t type) {
  Variant dsn(source);
  bool locked = true;
  return As<OIDObject>(om.GetNewOID(dsn, type, locked))->Value();
}

// A new receipt (EditState 2) with OID `oid` and one line per OID in
// `line_oids`, from the loaded definition `receipt` (which keeps nothing of
// it).
inline std::shared_ptr<EntityObject> NewReceipt(const EntityObject& receipt, const std::string& oid,
                                                const std::vector<std::string>& line_oids,
                                                double amount) {
  auto put = [](EntityObject& e, const char* name, Variant v) {
    e.Fields()->Item(name)->SetValue(v);
  };
  std::shared_ptr<EntityObject> doc = receipt.Clone(0);
  doc->SetEditState(Variant(int32_t{2}));
  doc->SetOIDValue(Variant(oid));
  put(*doc, "oid", Variant(oid));
  put(*doc, "transactions_code", Variant("R" + oid.substr(9)));
  put(*doc, "doc_date", Variant("2026-12-07"));
  put(*doc, "payer", Variant("O'Brien & 张"));
  put(*doc, "amount", Variant(amount));
  put(*doc, "approved", Variant(false));
  const std::shared_ptr<EntityObject>& def = doc->ChildEOs()->ChildEO();
  int32_t n = 0;
  for (const std::string& line_oid : line_oids) {
    std::shared_ptr<EntityObject> line = def->Clone(0);
    line->SetEditState(Variant(int32_t{2}));
    line->SetOIDValue(Variant(line_oid));
    put(*line, "oid", Variant(line_oid));
    put(*line, "line_no", Variant(++n));
    put(*line, "subject", Variant("1002"));
    put(*line, "amount", Variant(amount / static_cast<double>(line_oids.size())));
    doc->ChildEOs()->Add(line, "K" + line_oid);
  }
  return doc;
}

// LockIt / UnlockIt of one record (level 7) for `user`.
inline bool LockRecord(LockManager& lm, const std::string& source, const std::string& oid,
                       const std::string& user) {
  Variant dsn(source), id(oid);
  std::string u = user, ws = "ws-" + user, mod = "fd", digest = "editing";
  int32_t level = 7;
  return lm.LockIt(dsn, id, u, ws, mod, level, digest);
}
inline bool UnlockRecord(LockManager& lm, const std::string& source, const std::string& oid,
                         const std::string& user) {
  Variant dsn(source), id(oid);
  std::string u = user, ws = "ws-" + user, mod = "fd";
  int32_t level = 7;
  return lm.UnlockIt(dsn, id, u, ws, mod, level);
}

// One component call a fault test makes, on the sample data of `source`.
struct RoadCall {
  const char* name;
  std::function<bool(const std::string& source)> call;
};

// The calls every fault test goes through: reads, the atomic writes, and a
// record save on a connection of the caller's (no transaction).
inline const std::vector<RoadCall>& RoadCalls() {
  static const std::vector<RoadCall> calls = {
      {"LoadEOMetaData",
       [](const std::string& source) {
         DataManager dm;
         return LoadType(dm, source, kReceipt)->Fields()->Count() > 0;
       }},
      {"GetData",
       [](const std::string& source) {
         DataManager dm;
         auto con = std::make_shared<Connection>();
         con->Open(source);
         ObjectRef c = con, eo = LoadType(dm, source, kReceipt), prs, crs;
         bool get_child = true;
         return dm.GetData(c, eo, prs, crs, get_child);
       }},
      {"SaveEOMetaData",
       [](const std::string& source) {
         DataManager dm;
         std::shared_ptr<EntityObject> eo = LoadType(dm, source, kReceipt);
         eo->SetDescription(Variant("changed by a fault test"));
         return SaveMetadata(dm, source, eo);
       }},
      {"GetNewOID",
       [](const std::string& source) {
         OIDManager om;
         return NewOid(om, source, kReceipt).size() == 15;
       }},
      {"LockIt",
       [](const std::string& source) {
         LockManager lm;
         return LockRecord(lm, source, "510000000000001", "fault");
       }},
      {"UnlockIt",
       [](const std::string& source) {
         LockManager lm;
         return UnlockRecord(lm, source, "510000000000001", "fault");
       }},
      {"Save",
       [](const std::string& source) {
         DataManager dm;
         auto con = std::make_shared<Connection>();
         con->Open(source);
         ObjectRef c = con;
         ObjectRef doc = NewReceipt(*LoadType(dm, source, kReceipt), "519999999999999",
                                    {"529999999999998", "529999999999999"}, 100.0);
         return dm.Save(c, doc);
       }},
  };
  return calls;
}

inline const RoadCall& RoadCallNamed(const std::string& name) {
  for (const RoadCall& c : RoadCalls())
    if (name == c.name) return c;
  throw std::invalid_argument("no road call " + name);
}

}  // namespace q6::test
