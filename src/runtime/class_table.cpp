// The linked class table, class factories and CreateObject.
#include "runtime/class_table.h"

#include <dlfcn.h>

#include <initializer_list>
#include <mutex>

#include "runtime/module.h"
#include "runtime/registry.h"

namespace q6 {

ClassTable& ClassTable::Linked() {
  static ClassTable* table = new ClassTable;  // lives as long as the process
  return *table;
}

void ClassTable::Add(ClassInfo info) {
  std::lock_guard<std::mutex> l(mu_);
  for (auto& c : classes_)
    if (c->clsid == info.clsid) {
      *c = std::move(info);
      return;
    }
  classes_.push_back(std::make_unique<ClassInfo>(std::move(info)));
}

const ClassInfo* ClassTable::FindProgId(std::string_view prog_id) const {
  std::lock_guard<std::mutex> l(mu_);
  for (auto& c : classes_)
    if (EqualsNoCase(c->prog_id, prog_id)) return c.get();
  return nullptr;
}

const ClassInfo* ClassTable::FindClsid(const Guid& clsid) const {
  std::lock_guard<std::mutex> l(mu_);
  for (auto& c : classes_)
    if (c->clsid == clsid) return c.get();
  return nullptr;
}

std::vector<const ClassInfo*> ClassTable::All() const {
  std::lock_guard<std::mutex> l(mu_);
  std::vector<const ClassInfo*> out;
  for (auto& c : classes_) out.push_back(c.get());
  return out;
}

HRESULT ClassFactory::CreateInstance(ObjectRef* out) {
  if (!out) return E_POINTER;
  *out = info_->create();
  return S_OK;
}

HRESULT ClassFactory::LockServer(bool lock) {
  if (!module_) return S_OK;
  if (lock) {
    module_->Lock();
    ++locks_;
  } else if (locks_ > 0) {
    module_->Unlock();
    --locks_;
  }
  return S_OK;
}

void ClassFactory::Release() {
  while (locks_ > 0) LockServer(false);
  delete this;
}

namespace {

// The file names (SONAMEs) of the libraries that register classes, set by
// the build (none when the runtime is compiled into a program); loading the
// component pulls in the libraries it links.
#ifndef Q6_CLASS_LIBRARIES
#define Q6_CLASS_LIBRARIES
#endif
constexpr std::initializer_list<const char*> kSiblingClassLibraries = {Q6_CLASS_LIBRARIES};

std::string RuntimeDirectory() {
  std::string self = ModulePathOf(reinterpret_cast<const void*>(&RuntimeDirectory));
  auto slash = self.rfind('/');
  return slash == std::string::npos ? "." : self.substr(0, slash);
}

[[noreturn]] void NotRegistered(std::string_view what) {
  Throw(REGDB_E_CLASSNOTREG,
        "Class not registered: " + std::string(what) +
            ". Link the library that provides it (for the component's classes: "
            "q6fd::q6fdmgr in CMake, `pkg-config --libs q6fd`), install it beside " +
            RuntimeDirectory() + ", or register it with `q6fd register <library>`");
}

// The class libraries of this package, loaded on demand from the runtime's
// own folder: a program linked with --as-needed may have dropped a library
// it names no symbol of, and so never ran its registrars. Loading each at
// most once; a library that is missing is skipped, and the lookup after it
// reports the class as not registered.
void LoadSiblingClassLibraries() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (const char* name : kSiblingClassLibraries) {
      std::string path = RuntimeDirectory() + "/" + name;
      ::dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);  // stays loaded: its classes may be in use
    }
  });
}

const ClassInfo* FindLoadingSiblings(std::string_view prog_id, const Guid* clsid) {
  auto find = [&] {
    return clsid ? ClassTable::Linked().FindClsid(*clsid)
                 : ClassTable::Linked().FindProgId(prog_id);
  };
  if (const ClassInfo* c = find()) return c;
  LoadSiblingClassLibraries();
  return find();
}

// Loads `library` and creates `clsid` through its class factory. The library
// stays loaded for the rest of the process: objects it made may outlive any
// handle we could close.
ObjectRef CreateFromLibrary(const std::string& library, const Guid& clsid) {
  void* h = ::dlopen(library.c_str(), RTLD_NOW | RTLD_GLOBAL);
  if (!h) Throw(REGDB_E_CLASSNOTREG, "Cannot load " + library + ": " + ::dlerror());
  auto get = reinterpret_cast<DllGetClassObjectFn>(::dlsym(h, "DllGetClassObject"));
  if (!get) Throw(REGDB_E_CLASSNOTREG, library + " has no DllGetClassObject");
  void* pv = nullptr;
  HRESULT hr = get(&clsid, nullptr, &pv);
  if (hr != S_OK || !pv)
    Throw(hr ? hr : CLASS_E_CLASSNOTAVAILABLE,
          "Class " + clsid.ToString() + " is not available from " + library);
  auto* factory = static_cast<ClassFactory*>(pv);
  ObjectRef obj;
  try {
    factory->CreateInstance(&obj);
  } catch (...) {
    factory->Release();
    throw;
  }
  factory->Release();
  return obj;
}

}  // namespace

ObjectRef CreateLinkedObject(std::string_view prog_id) {
  const ClassInfo* c = FindLoadingSiblings(prog_id, nullptr);
  if (!c) NotRegistered(prog_id);
  return c->create();
}

ObjectRef CreateObject(const Guid& clsid) {
  RegistryStore store;
  if (auto lib = store.Get("CLSID\\" + clsid.ToString() + "\\InprocServer32"))
    return CreateFromLibrary(*lib, clsid);
  const ClassInfo* c = FindLoadingSiblings({}, &clsid);
  if (!c) NotRegistered(clsid.ToString());
  return c->create();
}

ObjectRef CreateObject(std::string_view prog_id) {
  Guid clsid;
  if (Guid::Parse(prog_id, &clsid)) return CreateObject(clsid);
  RegistryStore store;
  if (auto text = store.Get(std::string(prog_id) + "\\CLSID"); text && Guid::Parse(*text, &clsid)) {
    if (auto lib = store.Get("CLSID\\" + clsid.ToString() + "\\InprocServer32"))
      return CreateFromLibrary(*lib, clsid);
  }
  return CreateLinkedObject(prog_id);
}

}  // namespace q6
