// ADODB Parameter and Parameters: the values a Command binds to the `?`
// markers of its text, in order.
//
// Typed use:
//   auto p = cmd->CreateParameter("code", kAdVarChar, kAdParamInput, 10, Variant("x"));
//   cmd->Parameters()->Append(p);
//   cmd->Parameters()->Item(Variant("code"))->PutValue(Variant("y"));
//
// A Parameter holds what it was given; the value is converted to its Type
// when the command runs (parameter_types.h), so Type and Value may be set in
// either order. Only input parameters exist here: the engines return no
// values through parameters.
//
// Errors (HRESULT 0x800A0000 + number):
//   3001  Append of something that is not a Parameter;
//   3265  Item or Delete with an unknown name or ordinal;
//   3708  Append of a parameter whose Type is not a parameter type or whose
//         Direction is not adParamInput (parameter_types.h lists the types);
//   3709  Refresh of a collection whose command has no open connection.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/adodb/parameter_types.h"
#include "runtime/dispatch.h"

namespace q6 {

class Command;

// ParameterDirectionEnum.
enum AdoParameterDirection : int32_t {
  kAdParamUnknown = 0,
  kAdParamInput = 1,
  kAdParamOutput = 2,
  kAdParamInputOutput = 3,
  kAdParamReturnValue = 4,
};

class Parameter : public Dispatchable {
 public:
  static const Guid kClsid;
  static const Guid kIid;

  Parameter() = default;
  Parameter(std::string name, int32_t type, int32_t direction, int32_t size, Variant value);
  static const InterfaceInfo& Info();
  const InterfaceInfo& Interface() const override { return Info(); }

  const std::string& Name() const { return name_; }
  void PutName(std::string name) { name_ = std::move(name); }
  // DataTypeEnum; adEmpty until set (the value is then bound as given).
  int32_t Type() const { return decl_.type; }
  void PutType(int32_t type) { decl_.type = type; }
  int32_t Direction() const { return direction_; }
  void PutDirection(int32_t direction) { direction_ = direction; }
  // The longest value in characters (texts) or bytes (binaries); 0: any.
  int32_t Size() const { return decl_.size; }
  void PutSize(int32_t size) { decl_.size = size; }
  uint8_t Precision() const { return decl_.precision; }
  void PutPrecision(uint8_t p) { decl_.precision = p; }
  uint8_t NumericScale() const { return decl_.numeric_scale; }
  void PutNumericScale(uint8_t s) { decl_.numeric_scale = s; }
  // The value as it was put (an object's default value, read when put).
  const Variant& Value() const { return value_; }
  void PutValue(const Variant& v);
  Variant DefaultValue() override { return value_; }

  // What is bound for `value` (by default the parameter's own): converted
  // to Type as ParameterValue converts. Raises as ParameterValue, with the
  // parameter's name and type in the description.
  Variant Bound() const { return Bound(value_); }
  Variant Bound(const Variant& value) const;

  // Raises 3708 unless Type is a parameter type and Direction is input.
  void CheckUsable() const;

 private:
  std::string DispName() { return name_; }
  void DispPutName(std::string& n) { name_ = n; }
  int32_t DispType() { return decl_.type; }
  void DispPutType(int32_t& t) { decl_.type = t; }
  int32_t DispDirection() { return direction_; }
  void DispPutDirection(int32_t& d) { direction_ = d; }
  int32_t DispSize() { return decl_.size; }
  void DispPutSize(int32_t& s) { decl_.size = s; }
  uint8_t DispPrecision() { return decl_.precision; }
  void DispPutPrecision(uint8_t& p) { decl_.precision = p; }
  uint8_t DispNumericScale() { return decl_.numeric_scale; }
  void DispPutNumericScale(uint8_t& s) { decl_.numeric_scale = s; }
  const Variant& DispValue() { return value_; }
  void DispPutValue(Variant& v) { PutValue(v); }

  std::string name_;
  ParameterDecl decl_;
  int32_t direction_ = kAdParamInput;
  Variant value_;
};

class Parameters : public Dispatchable {
 public:
  static const Guid kIid;

  // The collection of `command`, which it asks for its text and connection
  // on Refresh (a collection that outlives its command cannot refresh).
  explicit Parameters(std::weak_ptr<Command> command);
  const InterfaceInfo& Interface() const override;

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // The parameter named `index` (any case) or at the 0-based ordinal
  // `index`. Raises 3265 when there is none.
  std::shared_ptr<Parameter> Item(const Variant& index) const;
  // Adds `parameter` (an object that must be a Parameter) at the end.
  // Raises 3001, 3708 as listed above.
  void Append(const ObjectRef& parameter);
  // Removes the parameter Item(index) finds; raises as Item.
  void Delete(const Variant& index);
  // Replaces the collection with one input parameter for each marker of
  // the command's text, named Param1, Param2, ..., typed as the engine
  // reads the marker's place (adVariant where it does not tell: SQLite).
  // Raises 3709 without an open connection, 0x80040E0C without text, and
  // the engine's error when it refuses the text.
  void Refresh();
  std::vector<Variant> Enumerate() override;

  // The parameters in order, for the command.
  const std::vector<std::shared_ptr<Parameter>>& items() const { return items_; }
  void Assign(std::vector<std::shared_ptr<Parameter>> items) { items_ = std::move(items); }

 private:
  size_t IndexOf(const Variant& index) const;
  int32_t DispCount() { return Count(); }
  std::shared_ptr<Parameter> DispItem(Variant& Index) { return Item(Index); }
  void DispAppend(Variant& Object);
  void DispDelete(Variant& Index) { Delete(Index); }

  std::weak_ptr<Command> command_;
  std::vector<std::shared_ptr<Parameter>> items_;
};

}  // namespace q6
