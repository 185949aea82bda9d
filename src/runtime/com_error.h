// Errors of the automation runtime.
//
// Every failure that crosses an automation boundary is a ComError: an HRESULT,
// a description and a source. Business code throws it where the failure is;
// the dispatch boundary hands it to the caller unchanged (the Python module
// raises q6fdmgr.ComError, the command line prints it).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

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
std::string VbErrorText(int number);

class ComError : public std::runtime_error {
 public:
  ComError(HRESULT hr, std::string description, std::string source = "");

  HRESULT hr() const { return hr_; }
  const std::string& description() const { return description_; }
  const std::string& source() const { return source_; }

  // The run-time error number for 0x800A.... errors (6 for Overflow), else
  // the HRESULT itself.
  int32_t Number() const;

 private:
  HRESULT hr_;
  std::string description_;
  std::string source_;
};

// Raises the run-time error `number` with its built-in text (or `text`).
[[noreturn]] void ThrowVb(int number, const std::string& text = "");

// Raises `hr` with `description`.
[[noreturn]] void Throw(HRESULT hr, const std::string& description, const std::string& source = "");

// "0x800A0006" for diagnostics.
std::string HrToString(HRESULT hr);

}  // namespace q6
