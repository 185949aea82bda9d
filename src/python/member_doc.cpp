// Signatures, documentation and result warnings of automation members.
#include "python/member_doc.h"

#include <pybind11/eval.h>

#include <algorithm>
#include <map>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "component/support/enums.h"
#include "outside/eso/entity_codes.h"
#include "platform/adodb/command.h"
#include "platform/adodb/connection.h"
#include "platform/drivers/driver.h"
#include "python/convert.h"
#include "python/proxy.h"
#include "python/python_types.h"

namespace q6::pymod {

namespace {

// One line on what each method of the five classes does, by "Interface.Member".
// Properties of the entity objects are described from their table entry.
const std::map<std::string_view, std::string_view>& Descriptions() {
  static const std::map<std::string_view, std::string_view> d = {
      {"_DataManager.MoveTo", "Loads the first, previous, current, next or last record into EO."},
      {"_DataManager.MoveToBySQL", "Runs a query and returns its first row as text."},
      {"_DataManager.Delete", "Deletes the record EO holds, with its lines."},
      {"_DataManager.DeleteBIType", "Deletes a document type's definition."},
      {"_DataManager.Save", "Inserts, updates or deletes EO's record as its EditState says."},
      {"_DataManager.LoadEOMetaData", "Loads a document type's definition as an entity object."},
      {"_DataManager.SaveEOMetaData", "Writes an entity object's definition to the metadata."},
      {"_DataManager.MaxTop", "The lowest edge of the type's field layout."},
      {"_DataManager.MaxQrySqc", "The highest query sequence number of the type's fields."},
      {"_DataManager.strBiToSqlByEO", "The SELECT statement EO's definition stands for."},
      {"_DataManager.vFieldValue", "One field's value from the record a condition selects."},
      {"_DataManager.GetData", "Reads all records of EO's type into pRS (and lines into cRS)."},
      {"_DataManager.MoveToByRS", "Moves within recordsets from GetData and loads EO from them."},
      {"_LockManager.LockIt",
       "Takes a lock at the given level; a conflict raises naming the holder."},
      {"_LockManager.LockItEx", "LockIt for each identifier of a separated list."},
      {"_LockManager.UnlockIt", "Releases the locks the level selects."},
      {"_LockManager.UnLockItEx", "UnlockIt for each identifier of a separated list."},
      {"_OIDManager.GetNewOID", "The type's OID counter; Locked=True takes the next OID."},
      {"_OIDManager.GetNewCode", "The type's next document code; Locked=True takes it."},
      {"_Querymanager.GetQueryResult", "Runs a query entity object and returns its recordset."},
      {"_LogManager.GetLogFileName", "The path of the open log file."},
      {"_LogManager.StartLog", "Opens a log file; strError receives why it failed."},
      {"_LogManager.StopLog", "Closes the log file (bKill=True deletes it)."},
      {"_LogManager.ReadLine", "The next line of the log, or all of it."},
      {"_LogManager.WriteLine", "Appends a line to the log."},
  };
  return d;
}

// Object types a method writes its result into through a by-reference
// parameter; the other object parameters (connections, entity objects) are
// inputs the caller supplies.
bool ReceivesResult(const ParamInfo& p) {
  return p.by_ref && p.type.vt == VarType::Object && p.type.Display() == "Recordset";
}

// Python objects kept for the life of the process are never released: the
// interpreter may be gone when static destructors run.
py::handle Omitted() {
  static py::handle marker = [] {
    py::dict ns;
    py::exec(
        "class _Omitted:\n"
        "    __slots__ = ()\n"
        "    def __repr__(self):\n"
        "        return '<omitted>'\n"
        "omitted = _Omitted()\n",
        ns);
    return py::object(ns["omitted"]).release();
  }();
  return marker;
}

std::string KindWord(const MemberInfo& m) {
  switch (m.kind) {
    case MemberKind::Method:
      return m.result.vt == VarType::Void ? "Method" : "Function";
    case MemberKind::PropertyGet:
      return "Property";
    default:
      return "Property put";
  }
}

}  // namespace

py::object MemberSignature(const MemberInfo& m) {
  // Member tables are static; a signature is built once per member.
  static auto* cache = new std::unordered_map<const MemberInfo*, py::object>();
  auto it = cache->find(&m);
  if (it != cache->end()) return it->second;
  py::module_ inspect = py::module_::import("inspect");
  py::object Parameter = inspect.attr("Parameter");
  py::list params;
  for (const ParamInfo& p : m.params) {
    py::dict kw;
    kw["annotation"] = py::str((p.by_ref ? "ByRef " : "") + p.type.Display());
    if (p.optional)
      kw["default"] =
          p.default_value && !p.default_value->IsMissing() && !p.default_value->IsObject()
              ? ToPython(*p.default_value)
              : py::reinterpret_borrow<py::object>(Omitted());
    params.append(Parameter(p.name, Parameter.attr("POSITIONAL_OR_KEYWORD"), **kw));
  }
  py::dict kw;
  if (m.result.vt != VarType::Void) kw["return_annotation"] = py::str(m.result.Display());
  py::object sig = inspect.attr("Signature")(params, **kw);
  cache->emplace(&m, sig);
  return sig;
}

std::string MemberDoc(const InterfaceInfo& itf, const MemberInfo& m) {
  std::string doc = m.name + py::str(MemberSignature(m)).cast<std::string>() + "\n\n";
  auto d = Descriptions().find(itf.name + "." + m.name);
  if (d != Descriptions().end())
    doc += std::string(d->second);
  else
    doc += KindWord(m) + " " + m.name + " of " + itf.name + " (" +
           (m.result.vt == VarType::Void ? std::string("no result") : m.result.Display()) + ").";
  bool by_ref = false;
  for (const ParamInfo& p : m.params) by_ref = by_ref || p.by_ref;
  if (by_ref)
    doc +=
        "\n\nByRef parameters may be written by the call: pass q6fdmgr.Ref(value) and read "
        ".value afterwards to see what was written.";
  doc += "\n\nDeclared: " + m.Signature();
  return doc;
}

bool HasResultParams(const MemberInfo& m) {
  return std::any_of(m.params.begin(), m.params.end(), ReceivesResult);
}

void WarnDiscardedResults(const MemberInfo& m, PyObject* const* args, Py_ssize_t nargs,
                          PyObject* kwnames) {
  if (!HasResultParams(m)) return;
  auto check = [&](const ParamInfo& p, py::handle a) {
    if (!ReceivesResult(p)) return;
    if (PyObject_IsInstance(a.ptr(), RefType().ptr()) == 1 || UnwrapObject(a)) return;
    std::string msg = m.name + ": " + p.name + " receives a " + p.type.Display() +
                      " by reference, but a plain value was given, so the result is lost; "
                      "pass q6fdmgr.Ref() and read its .value after the call";
    py::object category = py::module_::import("q6fdmgr").attr("ResultDiscardedWarning");
    if (PyErr_WarnEx(category.ptr(), msg.c_str(), 1) < 0) throw py::error_already_set();
  };
  for (size_t i = 0; i < static_cast<size_t>(nargs) && i < m.params.size(); ++i)
    check(m.params[i], args[i]);
  if (!kwnames) return;
  for (Py_ssize_t k = 0; k < PyTuple_GET_SIZE(kwnames); ++k) {
    std::string name = py::str(PyTuple_GET_ITEM(kwnames, k));
    for (const ParamInfo& p : m.params)
      if (EqualsNoCase(p.name, name)) check(p, args[nargs + k]);
  }
}

void DefineMemberDocs(py::module_& m) {
  py::dict ns;
  py::exec(
      "class ResultDiscardedWarning(UserWarning):\n"
      "    '''A by-reference result parameter was given a plain value: pass q6fdmgr.Ref().'''\n",
      ns);
  ns["ResultDiscardedWarning"].attr("__module__") = "q6fdmgr";
  m.attr("ResultDiscardedWarning") = ns["ResultDiscardedWarning"];

  // The enumerations, as module constants and on q6fdmgr.constants.
  const std::pair<const char*, int32_t> constants[] = {
      {"enum_First", enum_First},
      {"enum_Previous", enum_Previous},
      {"enum_Current", enum_Current},
      {"enum_Next", enum_Next},
      {"enum_Last", enum_Last},
      {"enum_All", enum_All},
      {"enum_ByHost", enum_ByHost},
      {"enum_ByUser", enum_ByUser},
      {"enum_ByHostAndUser", enum_ByHostAndUser},
      {"enum_ByMod", enum_ByMod},
      {"enum_byClass", enum_byClass},
      {"enum_byID", enum_byID},
      // EditState of an entity object.
      {"EditStateDefinition", kEditStateDefinition},
      {"EditStateLoaded", kEditStateLoaded},
      {"EditStateNew", kEditStateNew},
      {"EditStateChanged", kEditStateChanged},
      {"EditStateDeleted", kEditStateDeleted},
      {"EditStateOtherSave5", kEditStateOtherSave5},
      {"EditStateOtherSave6", kEditStateOtherSave6},
      // DataType of an entity field: the form Save writes its value in.
      {"DataTypeText", kDataTypeText},
      {"DataTypeQuoted2", kDataTypeQuoted2},
      {"DataTypeNumber", kDataTypeNumber},
      {"DataTypeBare4", kDataTypeBare4},
      {"DataTypeBare5", kDataTypeBare5},
      {"DataTypeBoolean", kDataTypeBoolean},
      {"DataTypeQuoted7", kDataTypeQuoted7},
      {"DataTypeUnwritten8", kDataTypeUnwritten8},
      {"DataTypeQuoted9", kDataTypeQuoted9},
      // Value types, as VarType reports them.
      {"TypeEmpty", static_cast<int32_t>(VarType::Empty)},
      {"TypeNull", static_cast<int32_t>(VarType::Null)},
      {"TypeInteger", static_cast<int32_t>(VarType::Integer)},
      {"TypeLong", static_cast<int32_t>(VarType::Long)},
      {"TypeDouble", static_cast<int32_t>(VarType::Double)},
      {"TypeDate", static_cast<int32_t>(VarType::Date)},
      {"TypeString", static_cast<int32_t>(VarType::String)},
      {"TypeObject", static_cast<int32_t>(VarType::Object)},
      {"TypeBoolean", static_cast<int32_t>(VarType::Boolean)},
      {"TypeVariant", static_cast<int32_t>(VarType::Variant)},
      {"TypeDecimal", static_cast<int32_t>(VarType::Decimal)},
      {"TypeByte", static_cast<int32_t>(VarType::Byte)},
      // ADODB.Command: parameter data types, directions, command types.
      {"adEmpty", kAdEmpty},
      {"adSmallInt", kAdSmallInt},
      {"adInteger", kAdInteger},
      {"adSingle", kAdSingle},
      {"adDouble", kAdDouble},
      {"adCurrency", kAdCurrency},
      {"adDate", kAdDate},
      {"adBSTR", kAdBSTR},
      {"adBoolean", kAdBoolean},
      {"adVariant", kAdVariant},
      {"adDecimal", kAdDecimal},
      {"adTinyInt", kAdTinyInt},
      {"adUnsignedTinyInt", kAdUnsignedTinyInt},
      {"adUnsignedSmallInt", kAdUnsignedSmallInt},
      {"adUnsignedInt", kAdUnsignedInt},
      {"adBigInt", kAdBigInt},
      {"adBinary", kAdBinary},
      {"adChar", kAdChar},
      {"adWChar", kAdWChar},
      {"adNumeric", kAdNumeric},
      {"adDBDate", kAdDBDate},
      {"adDBTime", kAdDBTime},
      {"adDBTimeStamp", kAdDBTimeStamp},
      {"adVarChar", kAdVarChar},
      {"adLongVarChar", kAdLongVarChar},
      {"adVarWChar", kAdVarWChar},
      {"adLongVarWChar", kAdLongVarWChar},
      {"adVarBinary", kAdVarBinary},
      {"adLongVarBinary", kAdLongVarBinary},
      {"adParamInput", kAdParamInput},
      {"adCmdText", kAdCmdText},
      {"adCmdTable", kAdCmdTable},
      {"adCmdUnknown", kAdCmdUnknown},
      {"adExecuteNoRecords", kAdExecuteNoRecords},
  };
  py::object ns_type = py::module_::import("types").attr("SimpleNamespace");
  py::dict all;
  for (auto [name, value] : constants) {
    m.attr(name) = value;
    all[name] = value;
  }
  m.attr("constants") = ns_type(**all);
}

}  // namespace q6::pymod
