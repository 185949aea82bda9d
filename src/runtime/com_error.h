// Errors of the automation runtime.
//
// Every failure that crosses an automation boundary is a ComError: an HRESULT,
// a description and a source. Business code throws it where the failure is;
// the dispatch boundary hands it to the caller unchanged (the Python module
// raises q6fdmgr.ComError, the command line prints it).
//
// An error that an engine raised also says what kind of failure it was and
// carries the engine's own code (SQLite's extended result code, PostgreSQL's
// SQLSTATE). Both are set once, where a driver maps its engine's errors, and
// travel beside the HRESULT and the text: a method that must raise a fixed
// number and text of its own keeps the kind and code of the failure behind
// it. Callers that react to a failure (a retry, an exit code) decide by the
// kind, never by the text.
//
// An error may also carry named values beside its text (ErrorData), for
// callers that act on what the text says: LockIt's conflict, for example,
// carries who holds the lock in the way. The raiser chooses and documents
// the names; the runtime only keeps them.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/export.h"

namespace q6 {

using HRESULT = int32_t;

constexpr HRESULT MakeHr(uint32_t v) { return static_cast<HRESULT>(v); }

// Success codes.
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;

// Generic and dispatch failures.
constexpr HRESULT E_NOTIMPL = MakeHr(0x80004001u);
constexpr HRESULT E_NOINTERFACE = MakeHr(0x80004002u);
constexpr HRESULT E_POINTER = MakeHr(0x80004003u);
constexpr HRESULT E_FAIL = MakeHr(0x80004005u);  // also the provider error
constexpr HRESULT E_INVALIDARG = MakeHr(0x80070057u);
constexpr HRESULT E_OUTOFMEMORY = MakeHr(0x8007000Eu);
constexpr HRESULT DISP_E_UNKNOWNINTERFACE = MakeHr(0x80020001u);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = MakeHr(0x80020003u);
constexpr HRESULT DISP_E_PARAMNOTFOUND = MakeHr(0x80020004u);
constexpr HRESULT DISP_E_TYPEMISMATCH = MakeHr(0x80020005u);
constexpr HRESULT DISP_E_UNKNOWNNAME = MakeHr(0x80020006u);
constexpr HRESULT DISP_E_OVERFLOW = MakeHr(0x8002000Au);
constexpr HRESULT DISP_E_BADPARAMCOUNT = MakeHr(0x8002000Eu);
constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = MakeHr(0x8002000Fu);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHr(0x80040111u);
constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHr(0x80040154u);
constexpr HRESULT RPC_E_WRONG_THREAD = MakeHr(0x8001010Eu);

// The component's own error for lock conflicts and concurrency failures.
constexpr HRESULT Q6_E_LOCKED = MakeHr(0x80040C1Eu);

// Run-time error numbers of the automation language; their HRESULT is
// 0x800A0000 + number.
enum VbError : int {
  kVbInvalidProcedureCall = 5,
  kVbOverflow = 6,
  kVbSubscriptOutOfRange = 9,
  kVbTypeMismatch = 13,
  kVbInvalidUseOfNull = 94,
  kVbObjectRequired = 424,
  kVbDuplicateKey = 457,
};

constexpr HRESULT VbHr(int number) { return MakeHr(0x800A0000u + static_cast<uint32_t>(number)); }

// The built-in text of a run-time error number ("Overflow" for 6), or
// "Application-defined or object-defined error" for numbers without one.
Q6FD_API std::string VbErrorText(int number);

// The kinds of engine failure a caller can act on.
enum class ErrorKind : uint8_t {
  kOther = 0,       // any other failure, and every error no engine raised
  kBusy,            // the database is held by another connection and the
                    // engine gave up waiting (SQLite's busy timeout ran out)
  kLockTimeout,     // a wait for a row or table lock ran out (lock_timeout)
  kDeadlock,        // the engine broke a deadlock by failing this statement
  kSerialization,   // the transaction's snapshot is stale: run it again
  kConstraint,      // a key, unique, not-null, check or foreign-key rule
  kConnectionLost,  // the connection could not be made or has gone away
  kLockConflict,    // an application-level lock of another holder is in the
                    // way (raised by the component, not by an engine)
};

// "other", "busy", "lock_timeout", "deadlock", "serialization", "constraint",
// "connection_lost", "lock_conflict": the names the trace, the Python module
// and the command line show.
Q6FD_API const char* ErrorKindName(ErrorKind kind);

// Whether running the whole operation again may succeed: busy, lock
// timeout, deadlock and serialization failures. A lock conflict is not: the
// other holder keeps its lock until it lets go.
Q6FD_API bool IsTransient(ErrorKind kind);

// Named values an error carries beside its text, in the order the raiser
// gave them.
using ErrorData = std::vector<std::pair<std::string, std::string>>;

class Q6FD_API ComError : public std::runtime_error {
 public:
  ComError(HRESULT hr, std::string description, std::string source = "");
  // An error with the kind and engine code of an engine failure.
  ComError(HRESULT hr, std::string description, std::string source, ErrorKind kind,
           std::string native_code, ErrorData data = {});

  HRESULT hr() const { return hr_; }
  const std::string& description() const { return description_; }
  const std::string& source() const { return source_; }

  // The run-time error number for 0x800A.... errors (6 for Overflow), else
  // the HRESULT itself.
  int32_t Number() const;

  // What kind of engine failure this is (kOther when no engine raised it).
  ErrorKind kind() const { return kind_; }
  // The engine's own code: SQLite's extended result code in decimal ("5",
  // "517"), PostgreSQL's SQLSTATE ("40P01"); "" when the engine gave none or
  // no engine raised the error.
  const std::string& native_code() const { return native_code_; }

  // The named values the raiser attached (empty for most errors).
  const ErrorData& data() const { return data_; }
  // The value named `key` (names compare exactly), or nullptr when the
  // error carries none. Valid as long as the error.
  const std::string* Find(std::string_view key) const;

 private:
  HRESULT hr_;
  std::string description_;
  std::string source_;
  ErrorKind kind_ = ErrorKind::kOther;
  std::string native_code_;
  ErrorData data_;
};

// Raises the run-time error `number` with its built-in text (or `text`).
[[noreturn]] Q6FD_API void ThrowVb(int number, const std::string& text = "");

// Raises `hr` with `description`.
[[noreturn]] Q6FD_API void Throw(HRESULT hr, const std::string& description,
                                 const std::string& source = "");

// Raises `hr` with `description` and no source, keeping the kind, engine
// code and data of `cause` when it is a ComError (a method that reports
// every failure with a fixed number and text of its own).
[[noreturn]] Q6FD_API void ThrowWithCauseOf(HRESULT hr, const std::string& description,
                                            const std::exception& cause);

// "0x800A0006" for diagnostics.
Q6FD_API std::string HrToString(HRESULT hr);

}  // namespace q6
