// Typed object arguments and the False-on-error policy.
#include "component/support/record_arguments.h"

#include <exception>
#include <string>

#include "platform/trace/trace.h"
#include "runtime/com_error.h"

namespace q6 {
namespace {

template <class T>
std::shared_ptr<T> Require(const ObjectRef& o) {
  if (!o) ThrowVb(91);
  std::shared_ptr<T> typed = As<T>(o);
  if (!typed) ThrowVb(kVbTypeMismatch);
  return typed;
}

}  // namespace

std::shared_ptr<Connection> RequireConnection(const ObjectRef& o) { return Require<Connection>(o); }
std::shared_ptr<EntityObject> RequireEntity(const ObjectRef& o) { return Require<EntityObject>(o); }
std::shared_ptr<Recordset> RequireRecordset(const ObjectRef& o) { return Require<Recordset>(o); }

bool FalseOnError(std::string_view source, const std::function<bool()>& work) {
  try {
    return work();
  } catch (const ComError& e) {
    TraceNote(source, HrToString(e.hr()) + " " + e.description());
  } catch (const std::exception& e) {
    TraceNote(source, e.what());
  }
  return false;
}

}  // namespace q6
