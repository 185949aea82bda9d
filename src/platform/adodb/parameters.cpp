// Parameter and Parameters, with their member tables and the registration
// of ADODB.Parameter.
#include "platform/adodb/parameters.h"

#include "platform/adodb/ado_errors.h"
#include "platform/adodb/command.h"
#include "runtime/binder.h"
#include "runtime/class_table.h"

namespace q6 {
namespace {
constexpr const char* kSource = "ADODB.Parameter";
}  // namespace

const Guid Parameter::kClsid = Guid::Of("{5A3C0E21-7B1D-4C62-9F0A-3D8E51B6C441}");
const Guid Parameter::kIid = Guid::Of("{5A3C0E21-7B1D-4C62-9F0A-3D8E51B6C442}");
const Guid Parameters::kIid = Guid::Of("{5A3C0E21-7B1D-4C62-9F0A-3D8E51B6C443}");

Parameter::Parameter(std::string name, int32_t type, int32_t direction, int32_t size, Variant value)
    : name_(std::move(name)), direction_(direction) {
  decl_.type = type;
  decl_.size = size;
  PutValue(value);
}

const InterfaceInfo& Parameter::Info() {
  static const InterfaceInfo info{
      "_Parameter",
      kIid,
      {
          PropGet<Parameter>("Value", DISPID_VALUE, &Parameter::DispValue),
          PropPut<Parameter>("Value", DISPID_VALUE, &Parameter::DispPutValue, {Req("value")}),
          PropGet<Parameter>("Name", 0x3E8, &Parameter::DispName),
          PropPut<Parameter>("Name", 0x3E8, &Parameter::DispPutName, {Req("value")}),
          PropGet<Parameter>("Type", 0x3EA, &Parameter::DispType, {}, "DataTypeEnum"),
          PropPut<Parameter>("Type", 0x3EA, &Parameter::DispPutType, {Req("value")}),
          PropGet<Parameter>("Direction", 0x3EB, &Parameter::DispDirection, {},
                             "ParameterDirectionEnum"),
          PropPut<Parameter>("Direction", 0x3EB, &Parameter::DispPutDirection, {Req("value")}),
          PropGet<Parameter>("Size", 0x3EE, &Parameter::DispSize),
          PropPut<Parameter>("Size", 0x3EE, &Parameter::DispPutSize, {Req("value")}),
          PropGet<Parameter>("Precision", 0x3EC, &Parameter::DispPrecision),
          PropPut<Parameter>("Precision", 0x3EC, &Parameter::DispPutPrecision, {Req("value")}),
          PropGet<Parameter>("NumericScale", 0x3ED, &Parameter::DispNumericScale),
          PropPut<Parameter>("NumericScale", 0x3ED, &Parameter::DispPutNumericScale,
                             {Req("value")}),
      }};
  return info;
}

void Parameter::PutValue(const Variant& v) {
  const Variant& d = v.Deref();
  value_ = d.IsObject() && d.object() ? d.Unwrapped() : d;
}

Variant Parameter::Bound(const Variant& value) const {
  try {
    return ParameterValue(value, decl_);
  } catch (const ComError& e) {
    const std::string who = name_.empty() ? "A parameter" : "Parameter '" + name_ + "'";
    throw ComError(e.hr(), who + " (" + ParameterTypeName(decl_.type) + "): " + e.description(),
                   e.source().empty() ? kSource : e.source());
  }
}

void Parameter::CheckUsable() const {
  if (!IsParameterType(decl_.type))
    ThrowAdo(kAdoParameterImproper, kSource,
             ParameterTypeName(decl_.type) + " is not a parameter type");
  if (direction_ != kAdParamInput)
    ThrowAdo(kAdoParameterImproper, kSource,
             "only input parameters (adParamInput) exist: the engines return no values through "
             "parameters");
}

Parameters::Parameters(std::weak_ptr<Command> command) : command_(std::move(command)) {}

const InterfaceInfo& Parameters::Interface() const {
  static const InterfaceInfo info{
      "Parameters",
      kIid,
      {
          PropGet<Parameters>("Item", DISPID_VALUE, &Parameters::DispItem, {Req("Index")},
                              "Parameter"),
          PropGet<Parameters>("Count", 0x1, &Parameters::DispCount),
          Method<Parameters>("Append", 0x3E8, &Parameters::DispAppend, {Req("Object")}),
          Method<Parameters>("Delete", 0x3E9, &Parameters::DispDelete, {Req("Index")}),
          Method<Parameters>("Refresh", 0x2, &Parameters::Refresh, {}),
      }};
  return info;
}

size_t Parameters::IndexOf(const Variant& index) const {
  const Variant key = index.IsObject() ? index.Unwrapped() : index.Value();
  if (key.type() == VarType::String) {
    for (size_t i = 0; i < items_.size(); ++i)
      if (EqualsNoCase(items_[i]->Name(), key.string())) return i;
  } else if (key.IsNumeric()) {
    const int32_t i = key.ToLong();
    if (i >= 0 && static_cast<size_t>(i) < items_.size()) return static_cast<size_t>(i);
  }
  ThrowAdo(kAdoItemNotFound, "ADODB.Parameters");
}

std::shared_ptr<Parameter> Parameters::Item(const Variant& index) const {
  return items_[IndexOf(index)];
}

void Parameters::Append(const ObjectRef& parameter) {
  auto p = As<Parameter>(parameter);
  if (!p) ThrowAdo(kAdoInvalidArgument, "ADODB.Parameters", "only a Parameter can be appended");
  p->CheckUsable();
  items_.push_back(std::move(p));
}

void Parameters::DispAppend(Variant& Object) { Append(ObjectOf(Object)); }

void Parameters::Delete(const Variant& index) {
  items_.erase(items_.begin() + static_cast<ptrdiff_t>(IndexOf(index)));
}

void Parameters::Refresh() {
  std::shared_ptr<Command> command = command_.lock();
  if (!command) ThrowAdo(kAdoConnectionClosed, "ADODB.Parameters");
  std::vector<std::shared_ptr<Parameter>> fresh;
  const std::vector<int32_t> types = command->MarkerTypes();
  for (size_t i = 0; i < types.size(); ++i)
    fresh.push_back(std::make_shared<Parameter>("Param" + std::to_string(i + 1), types[i],
                                                kAdParamInput, 0, Variant()));
  items_ = std::move(fresh);
}

std::vector<Variant> Parameters::Enumerate() {
  std::vector<Variant> out;
  for (const auto& p : items_) out.emplace_back(p);
  return out;
}

namespace {
const ClassRegistrar kParameterClass(ClassInfo{
    "ADODB.Parameter",
    "Parameter",
    Parameter::kClsid,
    &Parameter::Info,
    [] { return ObjectRef(std::make_shared<Parameter>()); },
    {},
    "Apartment"});
}  // namespace

}  // namespace q6
