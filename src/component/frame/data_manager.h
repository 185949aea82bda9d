// DataManager: entity metadata and entity records.
//
// The class keeps no state: every call starts from its arguments. Methods
// that receive a data-source name take a connection of their own from the
// apartment's ConnectionManager and give it back; methods that receive a
// connection (`con`) work on it and leave transactions to the caller.
//
// Every failure a method raises is a q6::ComError carrying an HRESULT: the
// engine's errors 0x80004005 (E_FAIL) with their kind (ErrorKind), the
// automation errors as 0x800Axxxx (no current record 0x800A0BCD, Invalid
// use of Null 0x800A005E, Overflow 0x800A0006, ...). Each method below says
// what it returns, what it sends to the database and what it raises. All
// objects passed in stay the caller's; objects returned are new and the
// caller's. A method that takes a data-source name uses its own connection
// from the apartment's pool and gives it back before returning, on every
// path; a method that takes `con` works on the caller's connection and
// leaves transactions to the caller.
#pragma once

#include <string>

#include "component/frame/component.h"
#include "runtime/export.h"

namespace q6 {

class Q6FD_API DataManager final : public ComponentObject {
 public:
  const InterfaceInfo& Interface() const override;

  // Reads the record `MoveMode` names into the entity `EO` from the
  // database on `con`: 0 the first, 1 the previous, 2 the current again,
  // 3 the next, 4 the last record of the entity's type by its key column
  // (compared as text against EO's OID); any other value takes the first
  // row the base statement gives. Sends one "Select top 1 <columns> From
  // <SourceTable> ... Where <key> like '<type prefix>%' ... Order By"
  // statement; when it finds nothing, a second one that wraps round
  // (Reversal True: to the first record for mode 3, the last otherwise) or
  // reads the current record again (Reversal False). With a record found:
  // EO's OID, the values of every field that has a source or join column
  // and EditState 1; with GetChild True and a child definition, the child
  // records, one statement by the child's ParentField, are cloned from the
  // definition and added to EO's ChildEOs (keyed "K" + OID; children with
  // children of their own are completed by a nested MoveTo, mode 2).
  // Returns True, also when no record was found (EO then stays as it was).
  // Starts no transaction. Errors: the first failure (a statement, a
  // missing field or column, a refused Add) is raised unchanged, and what
  // was already copied into EO stays.
  bool MoveTo(ObjectRef& con, ObjectRef& EO, int32_t& MoveMode, bool& Reversal, bool& GetChild);
  // Runs `Sql` on a connection of its own for DataSourceName and returns
  // the text of the first row's second column (index 1); "0" when there is
  // no row. The connection goes back to the pool on every path. Errors: a
  // failing statement, fewer than two columns or a Null there are raised.
  std::string MoveToBySQL(Variant& DataSourceName, std::string& Sql);
  // Deletes the record EO holds (by its key field's SourceField and Value)
  // and its child rows on `con`, children first: one "Delete From <child
  // table> Where <ParentField> = '<key>'" when the child definition has no
  // child of its own, else a Delete of each loaded child record; then
  // "Delete From <SourceTable> Where <key column> = '<key>'". Returns True;
  // EO is not changed. Starts no transaction: statements that ran before a
  // failure stay done. Errors: raised unchanged (a key field missing from
  // Fields before anything is sent; the engine's error for a refused
  // statement).
  bool Delete(ObjectRef& con, ObjectRef& EO);
  // Deletes the field rows and then the entity row of document type
  // `BIStyle` from FD_Fields and FD_Entities on `con`, inside the caller's
  // transaction if any. Child entities stay. Returns True. Errors: 91
  // (Object variable not set) for Nothing, 13 (Type mismatch) for an
  // object that is not a Connection; statement errors unchanged.
  bool DeleteBIType(ObjectRef& con, int32_t BIStyle);
  // Writes the record EO holds on `con` by its EditState: 2 one INSERT of
  // the persistent fields, 3/5/6 one UPDATE of the persistent fields whose
  // Changed flag is set (by the key column and EO's OID), 4 the same as
  // Delete (and its result); any other value does nothing and returns
  // True. After the statement EditState becomes 1; then every loaded child
  // record gets EO's OID in its link field and as ParentOID and is saved by
  // its own EditState. Values are sent as the statement's text, formed by
  // each field's DataType (quoted text, bare number, a Boolean as 0/1).
  // Returns True. Starts no transaction. Errors: raised unchanged; an
  // insert or update with no field to write raises 5 (Invalid procedure
  // call or argument) before anything is sent and leaves a note in the
  // statement trace; statements that ran before a failure stay.
  bool Save(ObjectRef& con, ObjectRef& EO);
  // A new EntityObject, owned by the caller, filled from the FD_Entities
  // row with iID = BIType and (unless OnlyEO) its FD_Fields rows in layout
  // order (only those with bIsUsed = 1 when OnlyUsed is 0), and (with
  // GetChildEO, default True) the chain of child entities linked by
  // iparentid, one child per level. EditState is 0. Sends three
  // statements per level on a connection of its own per level, each given
  // back on every path. Errors: raised unchanged: 3021 (no current record)
  // for an unknown type, 94 (Invalid use of Null) and 6 (Overflow) for
  // values the members cannot hold, E_FAIL (0x80004005) when the iparentid
  // links loop back; no object is returned then.
  ObjectRef LoadEOMetaData(Variant& DataSourceName, int32_t& BIType, bool& OnlyEO,
                           int32_t& OnlyUsed, bool& GetChildEO);
  // Writes EO's definition (and, unless OnlyEO, its field rows, and with
  // SetChildEO its chain of child entities) into FD_Entities and FD_Fields
  // in one transaction of its own connection, from which other metadata
  // savers are shut out until it ends: the entity row is inserted
  // (EditState 2, with sMaxOID seeded as BIType followed by thirteen
  // zeros) or rewritten by iID (any other EditState; iVchType,
  // iderivebitype, sMaxOID and iparentid are kept), the entity's field
  // rows are deleted and the fields sent again in one batch. EO is only
  // read. Returns True once everything is committed. Returns False with
  // nothing written when any level's caption is used by another document
  // type (after the rollback, the message box "单据类型名称不能重复!" is
  // shown) or on any failure (rolled back; the error goes to the statement
  // trace, not to the caller). Raises nothing.
  bool SaveEOMetaData(Variant& DataSourceName, ObjectRef& EO, bool& OnlyEO, bool& SetChildEO);
  // The largest dbltop of document type BIStyle's field rows; 0 when it has
  // none (or only Nulls). One select on a connection of its own. Errors:
  // raised unchanged.
  double MaxTop(Variant& DataSourceName, int32_t& BIStyle);
  // The largest iQryFldSqc of document type BIStyle's field rows; 0 when it
  // has none. One select on a connection of its own. Errors: raised
  // unchanged.
  int32_t MaxQrySqc(Variant& DataSourceName, int32_t& BIStyle);
  // The select list for objEO's record queries: "<column> as '<alias>'"
  // per usable field, joined by commas. lFlag's last digit chooses the
  // alias (0 the Name, 1 the Caption), its tens the expression (1: the
  // field's Expr with "@" replaced), its hundreds whether fields with
  // EditProp 2 stay out (except the key field). Sends nothing. Returns
  // "*" when no field qualifies or anything fails; raises nothing.
  std::string strBiToSqlByEO(ObjectRef& objEO, int32_t& lFlag);
  // One or more columns (`sName`, trimmed in place) of EO's record table,
  // of the rows `sWhere` selects or, when it is blank, of the record EO
  // holds (by its key column and OID), read through the apartment's
  // PublicService.GetFieldValue on the data source strDsn. Several columns
  // with vVal missing come back as the rows (an object); otherwise a plain
  // value. strError is set to "" and may receive GetFieldValue's error
  // text. Empty when EO is Nothing (nothing sent). Errors: raised
  // unchanged.
  Variant vFieldValue(Variant& strDsn, std::string& sName, ObjectRef& EO, Variant& sWhere,
                      Variant& vVal, Variant& strError);
  // Opens every record of EO's type in key order on `con` into a new
  // Recordset handed back in pRS (owned by the caller, open on `con`), and,
  // with GetChild True (default) and a child definition, the child records
  // of the first record into cRS (Nothing when there are none to read);
  // the child definition's ParentOID becomes the first record's OID. Sends
  // one select, and a second for the child records. Returns True. Any
  // failure returns False, leaves pRS and cRS as they were and writes the
  // error to the statement trace; raises nothing.
  bool GetData(ObjectRef& con, ObjectRef& EO, ObjectRef& pRS, ObjectRef& cRS, bool& GetChild);
  // Moves within the recordsets GetData handed out (no statement is sent;
  // `con` is not used): MoveFirst (0), Filter "<key> < '<OID>'" and
  // MoveLast (1), Filter "= OID" (2), Filter "> OID" (3), MoveLast (4); the
  // filters stay on pRS. Fills EO from the row found as MoveTo does, and
  // with GetChild adds the rows of cRS filtered by the child's ParentField
  // to EO's ChildEOs. Returns True, also when no row was found (EO stays
  // as it was); any failure returns False (changes already made stay) and
  // goes to the statement trace; raises nothing.
  bool MoveToByRS(ObjectRef& con, ObjectRef& EO, int32_t& MoveMode, ObjectRef& pRS, ObjectRef& cRS,
                  bool& GetChild);
};

}  // namespace q6
