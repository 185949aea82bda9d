// Recordset: its member table and the late-bound faces of its methods.
//
// The default member is Fields with an optional index, so rs("name") reaches
// the Field the way clients of a recordset write it.
#include "platform/adodb/ado_errors.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/recordset.h"
#include "runtime/array_fill.h"
#include "runtime/binder.h"
#include "runtime/class_table.h"

namespace q6 {

const Guid Recordset::kClsid = Guid::Of("{5A3C0E21-7B1D-4C62-9F0A-3D8E51B6C411}");
const Guid Recordset::kIid = Guid::Of("{5A3C0E21-7B1D-4C62-9F0A-3D8E51B6C412}");

const InterfaceInfo& Recordset::Info() {
  static const InterfaceInfo info{
      "_Recordset",
      kIid,
      {
          ReadInPlace(PropGet<Recordset>("Fields", DISPID_VALUE, &Recordset::DispFields,
                                         {OptNone("Index")}),
                      &Recordset::FieldsHeld),
          Method<Recordset>("Open", 0x3FE, &Recordset::DispOpen,
                            {OptNone("Source"), OptNone("ActiveConnection"), Opt("CursorType", -1),
                             Opt("LockType", -1), Opt("Options", -1)}),
          PropGet<Recordset>("EOF", 0x406, &Recordset::DispEOF),
          PropGet<Recordset>("BOF", 0x3E9, &Recordset::DispBOF),
          Method<Recordset>("MoveFirst", 0x40C, &Recordset::MoveFirst, {}),
          Method<Recordset>("MoveLast", 0x40D, &Recordset::MoveLast, {}),
          Method<Recordset>("MoveNext", 0x40E, &Recordset::MoveNext, {}),
          Method<Recordset>("MovePrevious", 0x40F, &Recordset::MovePrevious, {}),
          PropGet<Recordset>("RecordCount", 0x3F3, &Recordset::DispRecordCount),
          PropGet<Recordset>("Filter", 0x40A, &Recordset::DispFilter),
          PropPut<Recordset>("Filter", 0x40A, &Recordset::DispPutFilter, {Req("Criteria")}),
          Method<Recordset>("AddNew", 0x410, &Recordset::DispAddNew,
                            {OptNone("FieldList"), OptNone("Values")}),
          Method<Recordset>("Update", 0x411, &Recordset::DispUpdate,
                            {OptNone("Fields"), OptNone("Values")}),
          Method<Recordset>("UpdateBatch", 0x40B, &Recordset::UpdateBatch,
                            {Opt("AffectRecords", kAdAffectAll)}),
          Method<Recordset>(
              "GetString", 0x20A, &Recordset::DispGetString,
              {Opt("StringFormat", kAdClipString), Opt("NumRows", -1), Opt("ColumnDelimeter", "\t"),
               Opt("RowDelimeter", "\r"), Opt("NullExpr", "")}),
          Method<Recordset>(
              "GetRows", 0x3F5, &Recordset::DispGetRows,
              {Opt("Rows", kAdGetRowsRest), Opt("Start", kAdBookmarkCurrent), OptNone("Fields")}),
          Method<Recordset>("Close", 0x412, &Recordset::Close, {}),
          PropGet<Recordset>("State", 0x41E, &Recordset::DispState),
          PropGet<Recordset>("CursorType", 0x3ED, &Recordset::DispCursorType),
          PropGet<Recordset>("LockType", 0x3F0, &Recordset::DispLockType),
          PropGet<Recordset>("ActiveConnection", 0x3E8, &Recordset::DispActiveConnection, {},
                             "Connection"),
      }};
  return info;
}

void Recordset::DispOpen(Variant& Source, Variant& ActiveConnection, int32_t CursorType,
                         int32_t LockType, int32_t Options) {
  Open(Source, ActiveConnection, CursorType, LockType, Options);
}

Variant Recordset::DispFields(Variant& Index) {
  if (Index.IsMissing()) return Variant(Fields());
  return Variant(Fields()->Item(Index));
}

// AddNew with a FieldList (one name or ordinal, or an array of them) puts
// the Values (one value, or an array of as many) into the new row, which
// goes to the table at once unless the recordset keeps a batch.
void Recordset::DispAddNew(Variant& FieldList, Variant& Values) {
  if (FieldList.IsMissing()) return AddNew();
  CheckOpen();
  std::shared_ptr<q6::Fields> fields = Fields();
  std::vector<size_t> columns;
  std::vector<Variant> values;
  const Variant& list = FieldList.Deref();
  if (list.type() == VarType::Array) {
    const Variant& given = Values.Deref();
    if (given.type() != VarType::Array ||
        given.array().items().size() != list.array().items().size())
      ThrowAdo(kAdoInvalidArgument, "ADODB.Recordset");
    for (const Variant& name : list.array().items()) columns.push_back(fields->ColumnOf(name));
    values = given.array().items();
  } else {
    columns.push_back(fields->ColumnOf(list));
    values.push_back(Values);
  }
  AddNew(columns, values);
}

void Recordset::DispUpdate(Variant& FieldList, Variant& Values) {
  CheckOpen();
  if (!FieldList.IsMissing()) Fields()->Item(FieldList)->PutValue(Values);
  Update();
}

ObjectRef Recordset::DispActiveConnection() { return connection_; }

namespace {
// GetRows can hand its values out without building the array first.
const bool kGetRowsFill = [] {
  SetArrayFill(*Recordset::Info().Find("GetRows", MemberKind::Method),
               [](Dispatchable& self, Args args, ArrayWriter& out) {
                 static_cast<Recordset&>(self).GetRowsInto(out, args[0].long_ref(), args[1],
                                                           args[2]);
               });
  return true;
}();

const ClassRegistrar kRecordsetClass(ClassInfo{
    "ADODB.Recordset",
    "Recordset",
    Recordset::kClsid,
    &Recordset::Info,
    [] { return ObjectRef(std::make_shared<Recordset>()); },
    {},
    "Apartment"});
}  // namespace

}  // namespace q6
