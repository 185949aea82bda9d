// OIDObject and its class registration.
#include "outside/eso/oid_object.h"

#include "outside/eso/member_table.h"
#include "runtime/class_table.h"

namespace q6 {

void OIDObject::SetValue(const Variant& value) {
  value_ = ValueForMember(value, VarType::String).string();
}

const InterfaceInfo& OIDObject::Info() {
  static const InterfaceInfo info{
      "_OIDObject",
      Guid::Of("{1EF94519-2F5A-43DC-85BB-0A4F8A5B7CB0}"),
      {
          GetMember(
              "Value", DISPID_VALUE, TypeDesc{VarType::String, ""},
              [](Dispatchable& self, Args) { return Variant(SelfAs<OIDObject>(self).Value()); }),
          PutMember("Value", DISPID_VALUE, ConvertedInMember(VarType::String),
                    [](Dispatchable& self, Args args) {
                      SelfAs<OIDObject>(self).SetValue(args[0]);
                      return Variant();
                    }),
      }};
  return info;
}

std::shared_ptr<OIDObject> NewOIDObject() { return std::make_shared<OIDObject>(); }

namespace {
const ClassRegistrar kRegisterOIDObject([] {
  ClassInfo c;
  c.prog_id = "Q6FDEso.OIDObject";
  c.class_name = "OIDObject";
  c.clsid = Guid::Of("{79BD5F15-B5BB-405F-82EC-2C300D83C187}");
  c.interface_info = &OIDObject::Info;
  c.create = [] { return ObjectRef(NewOIDObject()); };
  return c;
}());
}  // namespace

}  // namespace q6
