// OIDManager: new object identifiers and document codes.
//
// Errors (HRESULTs): the first failing call's error passes through unchanged
// (data access 0x80004005, no current record 0x800A0BCD, Type mismatch
// 0x800A000D for a counter or code that is not a number, Invalid use of Null
// 0x800A005E).
#pragma once

#include "component/frame/component.h"

namespace q6 {

class OIDManager final : public ComponentObject {
 public:
  const InterfaceInfo& Interface() const override;

  // Returns a new OIDObject.
  ObjectRef GetNewOID(Variant& DataSource, int32_t& BIStyle, bool& Locked);
  ObjectRef GetNewCode(Variant DataSourceName, int32_t& BIStyle, bool& Locked);
};

}  // namespace q6
