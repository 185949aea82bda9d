// The data access layer's own errors, with the numbers and texts client code
// knows them by. Each is raised as a ComError whose HRESULT is 0x800A0000 +
// number (facility A), source "ADODB.Recordset" or "ADODB.Connection".
#pragma once

#include <string>

#include "runtime/com_error.h"

namespace q6 {

enum AdoError : int {
  kAdoInvalidArgument = 3001,    // malformed or conflicting arguments (a bad Filter)
  kAdoNoCurrentRecord = 3021,    // BOF or EOF is True
  kAdoNotUpdatable = 3251,       // the recordset cannot write rows
  kAdoItemNotFound = 3265,       // no column of that name or ordinal
  kAdoObjectClosed = 3704,       // the object is closed
  kAdoObjectOpen = 3705,         // the object is already open
  kAdoParameterImproper = 3708,  // a parameter's type or direction cannot be used
  kAdoConnectionClosed = 3709,   // the connection is closed or invalid
};

// The provider's error for an update or delete that found no row to change.
constexpr HRESULT kAdoRowNotFound = MakeHr(0x80040E38u);
// The provider's errors of a command: no text to run; fewer values than the
// text has parameter markers; a text or binary value longer than the Size
// its parameter declares.
constexpr HRESULT kAdoNoCommandText = MakeHr(0x80040E0Cu);
constexpr HRESULT kAdoNoValueGiven = MakeHr(0x80040E10u);
constexpr HRESULT kAdoValueTruncated = MakeHr(0x80040E57u);

// ADO's own text for `number`.
const char* AdoErrorText(int number);

// Raises `number` with ADO's text, followed by `detail` when given.
[[noreturn]] void ThrowAdo(int number, const std::string& source, const std::string& detail = "");

}  // namespace q6
