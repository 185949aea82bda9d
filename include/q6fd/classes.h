// The component's five classes for C++ callers: value semantics, defaults
// for the optional arguments and temporaries where the automation interface
// passes by reference.
//
//   q6fd::DataManager dm;
//   q6::ObjectRef eo = dm.LoadEOMetaData("demo", 51);
//
// Every method comes twice. The first form has exactly the typed method's
// parameters (`T&` where the interface passes by reference): called with
// variables it is chosen and writes back into them as a scripting client's
// variables are written back. The second form takes values, so literals and
// temporaries can be passed and optional arguments left out (the defaults
// are the interface's); whatever the method writes back is dropped. (Where
// both forms would take a parameter the same way, the second takes it by
// const reference, so that a call with variables is never ambiguous.) Results,
// errors and their numbers are those of the typed methods; see
// component/frame/*_manager.h for what each raises and when (every failure
// is a q6::ComError).
//
// Each object owns one instance of its class, made directly (no
// registration needed). object() is that instance: the typed interface,
// valid as long as this object; ref() hands it out as an automation object
// (to pass it by IDispatch or keep it beyond this object's life).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>

#include "component/frame/data_manager.h"
#include "component/frame/lock_manager.h"
#include "component/frame/log_manager.h"
#include "component/frame/oid_manager.h"
#include "component/frame/query_manager.h"

namespace q6fd {

using q6::ObjectRef;
using q6::Variant;

namespace detail {

// Calls `f` on `obj` with a copy of each argument converted to the
// parameter's type, so by-reference parameters bind to the copies.
template <class C, class R, class... P, class... A>
R CallWithCopies(C& obj, R (C::*f)(P...), A&&... args) {
  static_assert(sizeof...(P) == sizeof...(A), "one argument per parameter");
  return
      [&](std::decay_t<P>... copies) -> R { return (obj.*f)(copies...); }(std::forward<A>(args)...);
}

// Owns one instance of class C.
template <class C>
class Holder {
 public:
  template <class... A>
  explicit Holder(A&&... args) : impl_(std::make_shared<C>(std::forward<A>(args)...)) {}
  C& object() { return *impl_; }
  ObjectRef ref() const { return impl_; }

 protected:
  template <class R, class... P, class... A>
  R Copy(R (C::*f)(P...), A&&... args) {
    return CallWithCopies(*impl_, f, std::forward<A>(args)...);
  }
  std::shared_ptr<C> impl_;
};

}  // namespace detail

// Entity metadata and records: see component/frame/data_manager.h.
class DataManager : public detail::Holder<q6::DataManager> {
  using C = q6::DataManager;

 public:
  bool MoveTo(ObjectRef& con, ObjectRef& EO, int32_t& MoveMode, bool& Reversal, bool& GetChild) {
    return impl_->MoveTo(con, EO, MoveMode, Reversal, GetChild);
  }
  bool MoveTo(const ObjectRef& con, const ObjectRef& EO, int32_t MoveMode, bool Reversal = false,
              bool GetChild = true) {
    return Copy(&C::MoveTo, con, EO, MoveMode, Reversal, GetChild);
  }
  std::string MoveToBySQL(Variant& DataSourceName, std::string& Sql) {
    return impl_->MoveToBySQL(DataSourceName, Sql);
  }
  std::string MoveToBySQL(const Variant& DataSourceName, const std::string& Sql) {
    return Copy(&C::MoveToBySQL, DataSourceName, Sql);
  }
  bool Delete(ObjectRef& con, ObjectRef& EO) { return impl_->Delete(con, EO); }
  bool Delete(const ObjectRef& con, const ObjectRef& EO) { return Copy(&C::Delete, con, EO); }
  bool DeleteBIType(ObjectRef& con, int32_t BIStyle) { return impl_->DeleteBIType(con, BIStyle); }
  bool DeleteBIType(const ObjectRef& con, int32_t BIStyle) {
    return Copy(&C::DeleteBIType, con, BIStyle);
  }
  bool Save(ObjectRef& con, ObjectRef& EO) { return impl_->Save(con, EO); }
  bool Save(const ObjectRef& con, const ObjectRef& EO) { return Copy(&C::Save, con, EO); }
  ObjectRef LoadEOMetaData(Variant& DataSourceName, int32_t& BIType, bool& OnlyEO,
                           int32_t& OnlyUsed, bool& GetChildEO) {
    return impl_->LoadEOMetaData(DataSourceName, BIType, OnlyEO, OnlyUsed, GetChildEO);
  }
  ObjectRef LoadEOMetaData(const Variant& DataSourceName, int32_t BIType, bool OnlyEO = false,
                           int32_t OnlyUsed = 0, bool GetChildEO = true) {
    return Copy(&C::LoadEOMetaData, DataSourceName, BIType, OnlyEO, OnlyUsed, GetChildEO);
  }
  bool SaveEOMetaData(Variant& DataSourceName, ObjectRef& EO, bool& OnlyEO, bool& SetChildEO) {
    return impl_->SaveEOMetaData(DataSourceName, EO, OnlyEO, SetChildEO);
  }
  bool SaveEOMetaData(const Variant& DataSourceName, const ObjectRef& EO, bool OnlyEO = false,
                      bool SetChildEO = true) {
    return Copy(&C::SaveEOMetaData, DataSourceName, EO, OnlyEO, SetChildEO);
  }
  double MaxTop(Variant& DataSourceName, int32_t& BIStyle) {
    return impl_->MaxTop(DataSourceName, BIStyle);
  }
  double MaxTop(const Variant& DataSourceName, int32_t BIStyle) {
    return Copy(&C::MaxTop, DataSourceName, BIStyle);
  }
  int32_t MaxQrySqc(Variant& DataSourceName, int32_t& BIStyle) {
    return impl_->MaxQrySqc(DataSourceName, BIStyle);
  }
  int32_t MaxQrySqc(const Variant& DataSourceName, int32_t BIStyle) {
    return Copy(&C::MaxQrySqc, DataSourceName, BIStyle);
  }
  std::string strBiToSqlByEO(ObjectRef& objEO, int32_t& lFlag) {
    return impl_->strBiToSqlByEO(objEO, lFlag);
  }
  std::string strBiToSqlByEO(const ObjectRef& objEO, int32_t lFlag = 0) {
    return Copy(&C::strBiToSqlByEO, objEO, lFlag);
  }
  Variant vFieldValue(Variant& strDsn, std::string& sName, ObjectRef& EO, Variant& sWhere,
                      Variant& vVal, Variant& strError) {
    return impl_->vFieldValue(strDsn, sName, EO, sWhere, vVal, strError);
  }
  Variant vFieldValue(const Variant& strDsn, const std::string& sName, const ObjectRef& EO,
                      const Variant& sWhere = "", const Variant& vVal = Variant::Missing(),
                      const Variant& strError = Variant::Missing()) {
    return Copy(&C::vFieldValue, strDsn, sName, EO, sWhere, vVal, strError);
  }
  bool GetData(ObjectRef& con, ObjectRef& EO, ObjectRef& pRS, ObjectRef& cRS, bool& GetChild) {
    return impl_->GetData(con, EO, pRS, cRS, GetChild);
  }
  bool GetData(const ObjectRef& con, const ObjectRef& EO, const ObjectRef& pRS,
               const ObjectRef& cRS = nullptr, bool GetChild = true) {
    return Copy(&C::GetData, con, EO, pRS, cRS, GetChild);
  }
  bool MoveToByRS(ObjectRef& con, ObjectRef& EO, int32_t& MoveMode, ObjectRef& pRS, ObjectRef& cRS,
                  bool& GetChild) {
    return impl_->MoveToByRS(con, EO, MoveMode, pRS, cRS, GetChild);
  }
  bool MoveToByRS(const ObjectRef& con, const ObjectRef& EO, int32_t MoveMode, const ObjectRef& pRS,
                  const ObjectRef& cRS = nullptr, bool GetChild = true) {
    return Copy(&C::MoveToByRS, con, EO, MoveMode, pRS, cRS, GetChild);
  }
};

// Record locks: see component/frame/lock_manager.h. The lock level
// defaults to by-identifier (7).
class LockManager : public detail::Holder<q6::LockManager> {
  using C = q6::LockManager;

 public:
  static constexpr int32_t kById = 7;

  bool LockItEx(Variant& DataSourceName, Variant& vID, std::string& UserName,
                std::string& WorkStation, std::string& ModName, int32_t& iClass,
                std::string& sDigest, std::string& sSeparator) {
    return impl_->LockItEx(DataSourceName, vID, UserName, WorkStation, ModName, iClass, sDigest,
                           sSeparator);
  }
  bool LockItEx(const Variant& DataSourceName, const Variant& vID = "",
                const std::string& UserName = "", const std::string& WorkStation = "",
                const std::string& ModName = "", int32_t iClass = kById,
                const std::string& sDigest = "", const std::string& sSeparator = ",") {
    return Copy(&C::LockItEx, DataSourceName, vID, UserName, WorkStation, ModName, iClass, sDigest,
                sSeparator);
  }
  bool LockIt(Variant& DataSourceName, Variant& vID, std::string& UserName,
              std::string& WorkStation, std::string& ModName, int32_t& iClass,
              std::string& sDigest) {
    return impl_->LockIt(DataSourceName, vID, UserName, WorkStation, ModName, iClass, sDigest);
  }
  bool LockIt(const Variant& DataSourceName, const Variant& vID = "",
              const std::string& UserName = "", const std::string& WorkStation = "",
              const std::string& ModName = "", int32_t iClass = kById,
              const std::string& sDigest = "") {
    return Copy(&C::LockIt, DataSourceName, vID, UserName, WorkStation, ModName, iClass, sDigest);
  }
  bool UnlockIt(Variant& DataSourceName, Variant& vID, std::string& UserName,
                std::string& WorkStation, std::string& ModName, int32_t& iClass) {
    return impl_->UnlockIt(DataSourceName, vID, UserName, WorkStation, ModName, iClass);
  }
  bool UnlockIt(const Variant& DataSourceName, const Variant& vID = "",
                const std::string& UserName = "", const std::string& WorkStation = "",
                const std::string& ModName = "", int32_t iClass = kById) {
    return Copy(&C::UnlockIt, DataSourceName, vID, UserName, WorkStation, ModName, iClass);
  }
  bool UnLockItEx(Variant& DataSourceName, Variant& vID, std::string& UserName,
                  std::string& WorkStation, std::string& ModName, int32_t& iClass,
                  std::string& sDigest, std::string& sSeparator) {
    return impl_->UnLockItEx(DataSourceName, vID, UserName, WorkStation, ModName, iClass, sDigest,
                             sSeparator);
  }
  bool UnLockItEx(const Variant& DataSourceName, const Variant& vID = "",
                  const std::string& UserName = "", const std::string& WorkStation = "",
                  const std::string& ModName = "", int32_t iClass = kById,
                  const std::string& sDigest = "", const std::string& sSeparator = ",") {
    return Copy(&C::UnLockItEx, DataSourceName, vID, UserName, WorkStation, ModName, iClass,
                sDigest, sSeparator);
  }
};

// New identifiers and codes: see component/frame/oid_manager.h.
class OIDManager : public detail::Holder<q6::OIDManager> {
  using C = q6::OIDManager;

 public:
  ObjectRef GetNewOID(Variant& DataSource, int32_t& BIStyle, bool& Locked) {
    return impl_->GetNewOID(DataSource, BIStyle, Locked);
  }
  ObjectRef GetNewOID(const Variant& DataSource, int32_t BIStyle, bool Locked = false) {
    return Copy(&C::GetNewOID, DataSource, BIStyle, Locked);
  }
  ObjectRef GetNewCode(Variant DataSourceName, int32_t& BIStyle, bool& Locked) {
    return impl_->GetNewCode(std::move(DataSourceName), BIStyle, Locked);
  }
  ObjectRef GetNewCode(const Variant& DataSourceName, const int32_t& BIStyle,
                       const bool& Locked = true) {
    return Copy(&C::GetNewCode, DataSourceName, BIStyle, Locked);
  }
};

// Query objects: see component/frame/query_manager.h.
class Querymanager : public detail::Holder<q6::Querymanager> {
  using C = q6::Querymanager;

 public:
  ObjectRef GetQueryResult(Variant& vDsn, ObjectRef& objQry, bool& bShowCaption) {
    return impl_->GetQueryResult(vDsn, objQry, bShowCaption);
  }
  ObjectRef GetQueryResult(const Variant& vDsn, const ObjectRef& objQry, bool bShowCaption = true) {
    return Copy(&C::GetQueryResult, vDsn, objQry, bShowCaption);
  }
};

// A text log file: see component/frame/log_manager.h.
class LogManager : public detail::Holder<q6::LogManager> {
  using C = q6::LogManager;

 public:
  std::string GetLogFileName() { return impl_->GetLogFileName(); }
  bool StartLog(std::string strFile, bool& bOverride, std::string& strError, bool& bUnicode) {
    return impl_->StartLog(std::move(strFile), bOverride, strError, bUnicode);
  }
  bool StartLog(const std::string& strFile, bool bOverride = true, bool bUnicode = false) {
    std::string error;
    return Copy(&C::StartLog, strFile, bOverride, error, bUnicode);
  }
  void StopLog(bool& bKill) { impl_->StopLog(bKill); }
  void StopLog(const bool& bKill = false) { Copy(&C::StopLog, bKill); }
  std::string ReadLine(bool& bAll) { return impl_->ReadLine(bAll); }
  std::string ReadLine(const bool& bAll = false) { return Copy(&C::ReadLine, bAll); }
  void WriteLine(std::string& strInfo) { impl_->WriteLine(strInfo); }
  void WriteLine(const std::string& strInfo) { Copy(&C::WriteLine, strInfo); }
};

}  // namespace q6fd
