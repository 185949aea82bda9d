// Helpers shared by the entity-object tests.
#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "runtime/dispatch.h"

namespace q6 {

// Readable values in test failure messages.
inline void PrintTo(const Variant& v, std::ostream* os) { *os << v.Describe(); }

namespace eso_test {

// A stand-in for a record set's column: an object whose default member holds
// a value, as the loader hands columns to the "as stored" members.
class ColumnDouble final : public Dispatchable {
 public:
  explicit ColumnDouble(Variant v) : value_(std::move(v)) {}
  const InterfaceInfo& Interface() const override {
    static const InterfaceInfo info{
        "Field", Guid::Of("{3C1D6C00-0000-4000-8000-0000000000E1}"), {[] {
          MemberInfo m;
          m.name = "Value";
          m.dispid = DISPID_VALUE;
          m.kind = MemberKind::PropertyGet;
          m.result = TypeDesc{VarType::Variant, ""};
          m.thunk = [](Dispatchable& self, Args) {
            return static_cast<ColumnDouble&>(self).value_;
          };
          return m;
        }()}};
    return info;
  }

 private:
  Variant value_;
};

inline Variant Column(Variant v) { return Variant(std::make_shared<ColumnDouble>(std::move(v))); }

// The HRESULT `f` raises as a ComError, or S_OK when it returns.
inline HRESULT HrOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const ComError& e) {
    return e.hr();
  }
  return S_OK;
}

}  // namespace eso_test
}  // namespace q6
