// DataManager: entity metadata and entity records.
//
// The class keeps no state: every call starts from its arguments. Methods
// that receive a data-source name take a connection of their own from the
// apartment's ConnectionManager and give it back; methods that receive a
// connection (`con`) work on it and leave transactions to the caller.
//
// Errors (HRESULTs) each method can raise:
//   MoveTo, MoveToBySQL, Delete, DeleteBIType, Save, LoadEOMetaData, MaxTop,
//   MaxQrySqc, vFieldValue: the first failing call's error passes through
//   unchanged (data access errors 0x80004005, no current record 0x800A0BCD,
//   Invalid use of Null 0x800A005E, Overflow 0x800A0006, ...); LoadEOMetaData
//   also E_FAIL (0x80004005) when the iparentid links of FD_Entities loop back.
//   DeleteBIType: also Object variable not set (91) for Nothing and Type
//   mismatch (13) for an object that is not a Connection.
//   GetData, MoveToByRS: none; any failure is the result False.
//   strBiToSqlByEO: none; any failure gives "*".
//   SaveEOMetaData: its own clean-up decides (see its source).
#pragma once

#include <string>

#include "component/frame/component.h"

namespace q6 {

class DataManager final : public ComponentObject {
 public:
  const InterfaceInfo& Interface() const override;

  bool MoveTo(ObjectRef& con, ObjectRef& EO, int32_t& MoveMode, bool& Reversal, bool& GetChild);
  std::string MoveToBySQL(Variant& DataSourceName, std::string& Sql);
  bool Delete(ObjectRef& con, ObjectRef& EO);
  bool DeleteBIType(ObjectRef& con, int32_t BIStyle);
  bool Save(ObjectRef& con, ObjectRef& EO);
  ObjectRef LoadEOMetaData(Variant& DataSourceName, int32_t& BIType, bool& OnlyEO,
                           int32_t& OnlyUsed, bool& GetChildEO);
  bool SaveEOMetaData(Variant& DataSourceName, ObjectRef& EO, bool& OnlyEO, bool& SetChildEO);
  double MaxTop(Variant& DataSourceName, int32_t& BIStyle);
  int32_t MaxQrySqc(Variant& DataSourceName, int32_t& BIStyle);
  std::string strBiToSqlByEO(ObjectRef& objEO, int32_t& lFlag);
  Variant vFieldValue(Variant& strDsn, std::string& sName, ObjectRef& EO, Variant& sWhere,
                      Variant& vVal, Variant& strError);
  bool GetData(ObjectRef& con, ObjectRef& EO, ObjectRef& pRS, ObjectRef& cRS, bool& GetChild);
  bool MoveToByRS(ObjectRef& con, ObjectRef& EO, int32_t& MoveMode, ObjectRef& pRS, ObjectRef& cRS,
                  bool& GetChild);
};

}  // namespace q6
