// Late binding: member tables and the one generic invoker.
//
// Every automation class describes its interface once, as a table of members
// (name, dispatch id, kind, parameters with their types, passing, optional
// defaults, result type). The same table drives calls by name, registration
// and the type information the command line prints. Typed C++ methods are the
// other face of each dual interface: the table binds names to them (see
// binder.h), so a call by name and a typed call run the same code.
//
// The invoker:
//   - matches member names and named arguments without regard to case;
//   - fills omitted optional parameters with their default, or with the empty
//     value of their type when they have none ("" for String, False for
//     Boolean, Nothing for objects, Missing for Variant);
//   - converts every argument to its declared type with the automation rules;
//   - writes by-reference arguments back into the caller's slots
//     (Variant::Ref), converted values included;
//   - raises DISP_E_UNKNOWNNAME for an unknown member, DISP_E_BADPARAMCOUNT for
//     too many or too few arguments, DISP_E_PARAMNOTFOUND for an unknown named
//     argument, DISP_E_TYPEMISMATCH / DISP_E_OVERFLOW for an argument that
//     cannot be converted, RPC_E_WRONG_THREAD for a call from a thread other
//     than the object's own apartment. Errors raised by the method itself pass
//     through unchanged.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "runtime/export.h"
#include "runtime/guid.h"
#include "runtime/variant.h"

namespace q6 {

using DISPID = int32_t;
constexpr DISPID DISPID_VALUE = 0;
constexpr DISPID DISPID_NEWENUM = -4;

enum class MemberKind { Method, PropertyGet, PropertyPut, PropertyPutRef };

// A declared type: a VarType plus, for objects and enumerations, the name of
// the interface or enumeration as the type information prints it.
struct Q6FD_API TypeDesc {
  VarType vt = VarType::Variant;
  std::string name;  // "" -> VarTypeName(vt)
  std::string Display() const;
};

struct Q6FD_API ParamInfo {
  std::string name;
  TypeDesc type;
  bool by_ref = false;
  bool optional = false;
  std::optional<Variant> default_value;  // only when optional
};

class Dispatchable;
// The arguments of one call, wherever the caller keeps them.
using Args = std::span<Variant>;
// Runs a member with arguments already converted to the declared types, one
// per parameter, in parameter order. By-reference parameters may be changed
// in place; the invoker copies them back to the caller.
using Thunk = std::function<Variant(Dispatchable& self, Args args)>;

// Room for the arguments of one call: on the stack for the handful members
// take, on the heap beyond. Holds `n` Empty Variants to begin with. A call
// from a script makes one of these per member it runs, so it must not cost
// an allocation.
class Q6FD_API ArgBuffer {
 public:
  static constexpr size_t kInline = 8;
  explicit ArgBuffer(size_t n);
  ~ArgBuffer();
  ArgBuffer(const ArgBuffer&) = delete;
  ArgBuffer& operator=(const ArgBuffer&) = delete;

  size_t size() const { return n_; }
  Variant& operator[](size_t i) { return data_[i]; }
  Args args() { return {data_, n_}; }

 private:
  alignas(Variant) unsigned char inline_[kInline * sizeof(Variant)];
  std::unique_ptr<Variant[]> heap_;
  Variant* data_;
  size_t n_;
};
// Reads a property that takes no parameters without copying it: the value
// the object holds, valid until the object is next called or changed.
using InPlaceRead = std::function<const Variant&(Dispatchable& self)>;

struct Q6FD_API MemberInfo {
  std::string name;
  DISPID dispid = 0;
  MemberKind kind = MemberKind::Method;
  std::vector<ParamInfo> params;
  TypeDesc result;  // VarType::Void for none
  Thunk thunk;
  // Set for property gets whose value the object holds, read with every
  // parameter left out (binder.h sets it for methods without parameters
  // returning const Variant&, ReadInPlace for others): callers that only
  // look at the value read it here instead of through the thunk's copy.
  InPlaceRead read_in_place;
  bool hidden = false;
  // The name folded to lower case, for lookups; builders fill it (see
  // binder.h), and a member without it is compared by folding at lookup.
  std::string key;

  // "Function LoadEOMetaData(ByRef DataSourceName As Variant, ...) As EntityObject"
  std::string Signature() const;
};

struct Q6FD_API InterfaceInfo {
  std::string name;  // "_DataManager"
  Guid iid;
  std::vector<MemberInfo> members;

  // The member named `name` (any case) usable for `kind`: a property get and
  // a method are interchangeable for reads; puts need a put member.
  const MemberInfo* Find(std::string_view name, MemberKind kind) const;
  const MemberInfo* FindById(DISPID id, MemberKind kind) const;
};

// A named argument of a late-bound call.
struct Q6FD_API NamedArg {
  std::string name;
  Variant value;
};

// Base of every automation object.
//
// An object belongs to the thread (apartment) that created it; Invoke from any
// other thread raises RPC_E_WRONG_THREAD. Objects are shared through ObjectRef
// (std::shared_ptr); the count of live objects feeds DllCanUnloadNow.
class Q6FD_API Dispatchable : public std::enable_shared_from_this<Dispatchable> {
 public:
  Dispatchable();
  virtual ~Dispatchable();
  Dispatchable(const Dispatchable&) = delete;
  Dispatchable& operator=(const Dispatchable&) = delete;

  // The interface this object exposes by name.
  virtual const InterfaceInfo& Interface() const = 0;

  // Late-bound call. `args` are positional (a Variant::Ref slot receives a
  // by-reference parameter's final value); for a put, the last positional
  // argument is the value to put.
  Variant Invoke(std::string_view name, MemberKind kind, std::vector<Variant> args,
                 std::vector<NamedArg> named = {});
  Variant InvokeById(DISPID id, MemberKind kind, std::vector<Variant> args,
                     std::vector<NamedArg> named = {});

  // Shorthands for late-bound use from C++.
  Variant Call(std::string_view name, std::vector<Variant> args = {}) {
    return Invoke(name, MemberKind::Method, std::move(args));
  }
  Variant Get(std::string_view name, std::vector<Variant> args = {}) {
    return Invoke(name, MemberKind::PropertyGet, std::move(args));
  }
  void Put(std::string_view name, Variant value) {
    Invoke(name, MemberKind::PropertyPut, {std::move(value)});
  }

  // The value of the default member (dispatch id 0), read without arguments.
  // Raises DISP_E_MEMBERNOTFOUND when the interface has none.
  virtual Variant DefaultValue();

  // Enumeration: the items of a collection in order. Objects that are not
  // collections raise DISP_E_MEMBERNOTFOUND (the default).
  virtual std::vector<Variant> Enumerate();

  // Raises RPC_E_WRONG_THREAD unless called on the owning thread.
  void CheckApartment() const;
  std::thread::id apartment() const { return apartment_; }

  // Objects alive in this process (all kinds).
  static long LiveObjects();

 private:
  std::thread::id apartment_;
  static std::atomic<long> live_;
};

// Calls `member` of `self` with the caller's arguments: the heart of Invoke,
// public so that tests and the class table can reach it. `args` are the
// caller's own copies, which the member may be handed as they are (and may
// change, as a member may change a parameter it takes by value); a caller's
// variables go in as Variant::Ref, which are written back.
Q6FD_API Variant InvokeMember(Dispatchable& self, const MemberInfo& member, Args args,
                              std::vector<NamedArg>& named, MemberKind kind);

// Late-bound helpers on an object held in a Variant: raise Object required
// (424) when `v` is not an object, error 91 when it is Nothing.
Q6FD_API ObjectRef ObjectOf(const Variant& v);

// Typed access to an object of a known class: nullptr when `o` is not one.
template <class T>
std::shared_ptr<T> As(const ObjectRef& o) {
  return std::dynamic_pointer_cast<T>(o);
}

}  // namespace q6
