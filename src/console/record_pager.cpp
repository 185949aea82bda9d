// Paging by MoveTo. MoveTo is called without Reversal, so at either end it
// reads the current record again instead of wrapping round: a step that
// leaves the key where it was has reached the end.
#include "console/record_pager.h"

#include <algorithm>
#include <cassert>

#include "component/frame/data_manager.h"
#include "component/support/enums.h"
#include "outside/eso/entity_field.h"
#include "outside/eso/entity_object.h"
#include "outside/services/connection_manager.h"

namespace q6::console {
namespace {

class Walker {
 public:
  Walker(const std::string& dsn, EntityObject& eo) : lease_(Variant(dsn)), eo_(eo) {}

  // Moves by `mode` from `from`; true when a record other than `from` was
  // read (or, for kCurrent, `from` itself was found).
  bool Step(int32_t mode, const std::string& from) {
    eo_.SetOIDValue(Variant(from));
    eo_.SetEditState(Variant(int32_t{kEditStateDefinition}));
    ObjectRef con = lease_.variable().object();
    ObjectRef eo = eo_.shared_from_this();
    bool reversal = false, child = false;
    dm_.MoveTo(con, eo, mode, reversal, child);
    if (eo_.EditState() != kEditStateLoaded) return false;
    std::string key = eo_.OID()->Value();
    return mode == enum_Current ? key == from : key != from || from.empty();
  }

  std::string Key() const { return eo_.OID()->Value(); }

  std::vector<Variant> Values() const {
    std::vector<Variant> row;
    for (const auto& f : *eo_.Fields()) row.push_back(f->Value());
    return row;
  }

 private:
  ConnectionLease lease_;
  EntityObject& eo_;
  DataManager dm_;
};

}  // namespace

RecordRows ReadRecordPage(const std::string& dsn, EntityObject& eo, PageStart start,
                          const std::string& from, int size) {
  assert(size > 0);
  RecordRows page;
  for (const auto& f : *eo.Fields())
    page.headers.push_back(f->Caption().empty() ? f->Name() : f->Caption());
  Walker w(dsn, eo);
  auto take = [&] {
    page.oids.push_back(w.Key());
    page.rows.push_back(w.Values());
  };
  // Walks on from the record taken last by `mode` until the page is full;
  // true when there is no record beyond the page (one step more looks).
  auto walk = [&](int32_t mode) {
    while (static_cast<int>(page.oids.size()) < size) {
      if (!w.Step(mode, page.oids.back())) return true;
      take();
    }
    return !w.Step(mode, page.oids.back());
  };
  bool backwards = start == PageStart::kLast || start == PageStart::kBefore;
  bool found = false;
  switch (start) {
    case PageStart::kFirst:
      found = w.Step(enum_First, "");
      page.reached_start = true;
      break;
    case PageStart::kLast:
      found = w.Step(enum_Last, "");
      page.reached_end = true;
      break;
    case PageStart::kAfter:
      found = w.Step(enum_Next, from);
      break;
    case PageStart::kBefore:
      found = w.Step(enum_Previous, from);
      break;
    case PageStart::kAt:
      found = w.Step(enum_Current, from) || w.Step(enum_Next, from);
      break;
  }
  if (!found) {
    if (backwards)
      page.reached_start = true;
    else
      page.reached_end = true;
    return page;
  }
  take();
  bool ran_out = walk(backwards ? enum_Previous : enum_Next);
  if (backwards) {
    page.reached_start = page.reached_start || ran_out;
    std::reverse(page.oids.begin(), page.oids.end());
    std::reverse(page.rows.begin(), page.rows.end());
  } else {
    page.reached_end = page.reached_end || ran_out;
  }
  return page;
}

}  // namespace q6::console
