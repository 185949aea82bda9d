// PublicService: small utility operations of the sibling services, one
// instance per apartment (ApartmentPublicService()).
//
// Errors (HRESULTs):
//   ExecuteSQL, GetFieldValue: the data source's errors (unknown name, engine
//   errors 0x80004005) pass through; a text holding more than one statement
//   is refused with E_FAIL before any of it runs; GetFieldValue also leaves
//   the message in strError before raising.
//   GetDigit, ConvertNull, GetNextItem: conversion errors of their arguments
//   (Type mismatch 13, Overflow 6).
#pragma once

#include <memory>
#include <string>

#include "runtime/dispatch.h"
#include "runtime/internal_export.h"

namespace q6 {

class Q6FD_INTERNAL PublicService final : public Dispatchable {
 public:
  const InterfaceInfo& Interface() const override;

  // Runs "select " + columns + tail on data source `dsn`.
  //  - one column (`columns` with every ',' turned into a space and its ends
  //    trimmed holds no space; "isnull(a, 0)" counts as several): the
  //    first row's value; when no row matches, vVal if given, else Empty;
  //  - several columns: the Recordset of the rows, or, when vVal is given,
  //    the first row's first value (vVal when there is no row).
  // On failure the message is left in strError and the error raised.
  Variant GetFieldValue(Variant& columns, Variant& vVal, Variant& tail, Variant& dsn,
                        Variant& strError);
  // Runs `sql` on data source `dsn` and returns its rows as a Recordset (a
  // client cursor; callers wanting one value read the first column of the
  // first row). The four numbers are accepted and ignored.
  Variant ExecuteSQL(Variant& sql, Variant& dsn, int32_t& n1, int32_t& n2, int32_t& n3,
                     int32_t& n4);
  // The decimal digit of `value` (a Long) at `position`, 1 being the units:
  // (value \ 10^(position-1)) Mod 10, so negative values give digits <= 0.
  // Positions beyond the number give 0; positions below 1 raise error 5.
  int16_t GetDigit(Variant& value, int32_t& position);
  // `value` (an object stands for its default member's value) unchanged,
  // except Null or Empty: "" in text mode (False), 0 in number mode (True).
  Variant ConvertNull(Variant& value, bool& mode);
  // Produces the next item of `list` split at `separator`, starting at the
  // 1-based character `position`, which it advances past the separator.
  // The item comes back with surrounding blanks trimmed; an empty item
  // between two separators is produced as "". Returns False once the list
  // is used up (position beyond its end) or when the separator is empty.
  bool GetNextItem(Variant& list, Variant& item, int32_t& position, std::string& separator);
};

// The apartment's (calling thread's) instance, created on first use and kept
// for the thread's life.
Q6FD_INTERNAL std::shared_ptr<PublicService> ApartmentPublicService();

}  // namespace q6
