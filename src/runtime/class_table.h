// Classes, class factories and object creation by ProgID.
//
// Every library registers its creatable classes in the process-wide class
// table when it is loaded (a ClassRegistrar at namespace scope). CreateObject
// looks a ProgID up in the registration store first and, when the store
// names a library for it, loads that library and asks its DllGetClassObject
// for the class factory; a ProgID the store does not know is created from
// the classes linked into the process. When the linked table does not know
// it either, CreateObject loads the package's class libraries from the
// runtime's own folder once and looks again, so a program that names no
// symbol of the component (linked with --as-needed) still creates its
// classes.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/dispatch.h"
#include "runtime/export.h"

namespace q6 {

struct Q6FD_API ClassInfo {
  std::string prog_id;     // "Q6FDMgr.DataManager"
  std::string class_name;  // "DataManager"
  Guid clsid;
  std::function<const InterfaceInfo&()> interface_info;
  std::function<ObjectRef()> create;
  // Further interface identifiers the class answers to, by name (the
  // identifier of an earlier version of its interface, for example).
  std::vector<std::pair<std::string, Guid>> aliases;
  std::string threading_model = "Apartment";
};

class Q6FD_API ClassTable {
 public:
  // The classes linked into this process.
  static ClassTable& Linked();

  void Add(ClassInfo info);
  // ProgIDs match without regard to case.
  const ClassInfo* FindProgId(std::string_view prog_id) const;
  const ClassInfo* FindClsid(const Guid& clsid) const;
  std::vector<const ClassInfo*> All() const;

 private:
  mutable std::mutex mu_;
  std::vector<std::unique_ptr<ClassInfo>> classes_;
};

// Adds a class to the linked class table when its library is loaded.
struct Q6FD_API ClassRegistrar {
  explicit ClassRegistrar(ClassInfo info) { ClassTable::Linked().Add(std::move(info)); }
};

// Counts the objects and server locks of one library, for DllCanUnloadNow.
class Q6FD_API ModuleCounter {
 public:
  void Lock() { ++count_; }
  void Unlock() { --count_; }
  long count() const { return count_.load(); }

 private:
  std::atomic<long> count_{0};
};

// Held by each object of a library: counts it as alive.
class Q6FD_API ModuleRef {
 public:
  explicit ModuleRef(ModuleCounter& c) : c_(c) { c_.Lock(); }
  ~ModuleRef() { c_.Unlock(); }
  ModuleRef(const ModuleRef&) = delete;
  ModuleRef& operator=(const ModuleRef&) = delete;

 private:
  ModuleCounter& c_;
};

// The class factory a library's DllGetClassObject hands out. The caller owns
// it and ends it with Release().
class Q6FD_API ClassFactory {
 public:
  ClassFactory(const ClassInfo* info, ModuleCounter* module) : info_(info), module_(module) {}
  // Creates a new object of the class; raises the class's own errors.
  HRESULT CreateInstance(ObjectRef* out);
  // Keeps the library loaded while `lock` is True.
  HRESULT LockServer(bool lock);
  void Release();

 private:
  const ClassInfo* info_;
  ModuleCounter* module_;
  long locks_ = 0;
};

// Signature of the exported DllGetClassObject: on success *ppv receives a
// ClassFactory*. Unknown class: CLASS_E_CLASSNOTAVAILABLE.
using DllGetClassObjectFn = HRESULT (*)(const Guid* clsid, const Guid* iid, void** ppv);
using DllCanUnloadNowFn = HRESULT (*)();
using DllRegisterServerFn = HRESULT (*)();

// Creates an object by ProgID (any case) or CLSID text. Unknown:
// REGDB_E_CLASSNOTREG with a message naming it and saying how to make it
// known (link or install the library, or register it).
Q6FD_API ObjectRef CreateObject(std::string_view prog_id);
Q6FD_API ObjectRef CreateObject(const Guid& clsid);

// Creates a class from the linked table only (no registration store).
Q6FD_API ObjectRef CreateLinkedObject(std::string_view prog_id);

}  // namespace q6
