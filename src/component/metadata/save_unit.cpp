// The save units open on each thread, innermost last.
#include "component/metadata/save_unit.h"

#include "platform/adodb/connection.h"

namespace q6 {
namespace {

SaveUnit*& Current() {
  thread_local SaveUnit* current = nullptr;
  return current;
}

}  // namespace

SaveUnit::SaveUnit(std::shared_ptr<Connection> con, const Variant& data_source)
    : con_(std::move(con)), data_source_(data_source.ToString()), hidden_(Current()) {
  Current() = this;
}

SaveUnit::~SaveUnit() { Current() = hidden_; }

Variant SaveUnit::connection_variant() const { return Variant(ObjectRef(con_)); }

SaveUnit* SaveUnit::Joinable(const Variant& data_source) {
  SaveUnit* unit = Current();
  if (!unit || unit->data_source_ != data_source.ToString()) return nullptr;
  return unit;
}

}  // namespace q6
