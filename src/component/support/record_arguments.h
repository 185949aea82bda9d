// The object arguments of the record methods, typed, and the error policy of
// the methods that answer False instead of raising.
#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "outside/eso/entity_object.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/recordset.h"
#include "runtime/dispatch.h"

namespace q6 {

// The object held by `o` as the class the parameter is declared with.
// Raise 91 (Object variable not set) for Nothing, 13 (Type mismatch) for an
// object of another class.
std::shared_ptr<Connection> RequireConnection(const ObjectRef& o);
std::shared_ptr<EntityObject> RequireEntity(const ObjectRef& o);
std::shared_ptr<Recordset> RequireRecordset(const ObjectRef& o);

// Runs `work` and returns its result; any error it raises becomes the
// result False, written to the statement trace under `source` so that the
// reason can still be found. Used by the methods whose contract is "False
// on any failure, never an error" (GetData, MoveToByRS).
bool FalseOnError(std::string_view source, const std::function<bool()>& work);

}  // namespace q6
