// OIDObject: holds one record identifier as text.
//
// Created by ProgID "Q6FDEso.OIDObject" or NewOIDObject(); an EntityObject
// holds one for its current record (EntityObject::OID).
#pragma once

#include <memory>
#include <string>

#include "runtime/dispatch.h"
#include "runtime/export.h"

namespace q6 {

class Q6FD_API OIDObject final : public Dispatchable {
 public:
  OIDObject() = default;

  // Members: Value (String, get and put), the default member (dispatch id 0),
  // so converting or formatting the object yields the identifier.
  static const InterfaceInfo& Info();
  const InterfaceInfo& Interface() const override { return Info(); }
  Variant DefaultValue() override { return Variant(value_); }

  // The identifier; "" until one is put.
  const std::string& Value() const { return value_; }
  // Stores `value` as text (an object gives its current value). Raises Invalid
  // use of Null (94) for Null, 91 for Nothing; the old text stays then.
  void SetValue(const Variant& value);

 private:
  std::string value_;
};

Q6FD_API std::shared_ptr<OIDObject> NewOIDObject();

}  // namespace q6
