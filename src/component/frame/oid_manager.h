// OIDManager: new object identifiers and document codes.
//
// Errors (HRESULTs): the first failing call's error passes through unchanged
// (data access 0x80004005, no current record 0x800A0BCD, Type mismatch
// 0x800A000D for a counter or code that is not a number, Invalid use of Null
// 0x800A005E).
#pragma once

#include "component/frame/component.h"
#include "runtime/export.h"

namespace q6 {

class Q6FD_API OIDManager final : public ComponentObject {
 public:
  const InterfaceInfo& Interface() const override;

  // A new OIDObject (the caller's) holding document type BIStyle's OID
  // counter (FD_Entities.sMaxOID of the row iID = BIStyle). Locked True
  // allocates: the counter read as an exact decimal, plus one, as fifteen
  // characters (zero-padded, rightmost fifteen kept), written back and
  // returned; the select (rows locked) and the update run in one
  // transaction of the method's own connection that shuts out other
  // allocators, so no OID is handed out twice; inside a caller's own write
  // transaction on SQLite it runs under a savepoint of that transaction.
  // Locked False (default) returns the counter as stored and writes
  // nothing. Errors: 3021 (no current record) for an unknown type, 13
  // (Type mismatch) or 94 (Invalid use of Null) for a counter that is not a
  // number, the engine's error (with its kind: busy, lock_timeout, ...)
  // for a failed statement; on any failure the counter is not moved.
  ObjectRef GetNewOID(Variant& DataSource, int32_t& BIStyle, bool& Locked);
  // A new OIDObject (the caller's) holding a document code of type BIStyle
  // as at least ten digits: the largest value of the column of the field
  // keyed "transactions_code" among the type's records (OID beginning with
  // the type number), plus one when Locked (default True), as it is when
  // Locked is False; "0000000001" / "0000000000" when the type has no
  // record. Loads the type's metadata (LoadEOMetaData) and sends one
  // "select max(...)" through PublicService.ExecuteSQL. Reserves nothing:
  // two calls before a record carrying the first code is saved give the
  // same code. Errors: raised unchanged (an unknown type, a missing or
  // unused "transactions_code" field, a stored code that is not a number).
  ObjectRef GetNewCode(Variant DataSourceName, int32_t& BIStyle, bool& Locked);
};

}  // namespace q6
