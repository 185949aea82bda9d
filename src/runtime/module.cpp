// Registration entries of a library: ProgID to CLSID, CLSID to library path
// and threading model, interfaces (aliases included), the type library.
#include "runtime/module.h"

#include <dlfcn.h>

#include "runtime/registry.h"

namespace q6 {

namespace {
std::vector<const ClassInfo*> ClassesOf(const TypeLibInfo& lib) {
  std::vector<const ClassInfo*> out;
  for (auto& id : lib.prog_ids)
    if (const ClassInfo* c = ClassTable::Linked().FindProgId(id)) out.push_back(c);
  return out;
}
}  // namespace

std::vector<std::pair<std::string, std::string>> RegistrationEntries(const TypeLibInfo& lib,
                                                                     const std::string& path) {
  std::vector<std::pair<std::string, std::string>> e;
  const std::string libid = lib.libid.ToString();
  const std::string tl = "TypeLib\\" + libid + "\\" + lib.version;
  e.emplace_back(tl, lib.help);
  e.emplace_back(tl + "\\Name", lib.name);
  e.emplace_back(tl + "\\0\\linux", path);
  for (const ClassInfo* c : ClassesOf(lib)) {
    const std::string clsid = c->clsid.ToString();
    const std::string ck = "CLSID\\" + clsid;
    e.emplace_back(ck, c->class_name);
    e.emplace_back(ck + "\\InprocServer32", path);
    e.emplace_back(ck + "\\InprocServer32\\ThreadingModel", c->threading_model);
    e.emplace_back(ck + "\\ProgID", c->prog_id);
    e.emplace_back(ck + "\\TypeLib", libid);
    e.emplace_back(ck + "\\Version", lib.version);
    e.emplace_back(c->prog_id, c->class_name);
    e.emplace_back(c->prog_id + "\\CLSID", clsid);
    const InterfaceInfo& itf = c->interface_info();
    auto add_interface = [&](const std::string& name, const Guid& iid) {
      const std::string ik = "Interface\\" + iid.ToString();
      e.emplace_back(ik, name);
      e.emplace_back(ik + "\\TypeLib", libid);
      e.emplace_back(ik + "\\TypeLib\\Version", lib.version);
      e.emplace_back(ck + "\\Interfaces\\" + name, iid.ToString());
    };
    add_interface(itf.name, itf.iid);
    for (auto& [name, iid] : c->aliases) add_interface(name, iid);
  }
  return e;
}

std::vector<std::string> RegistrationRoots(const TypeLibInfo& lib) {
  std::vector<std::string> roots{"TypeLib\\" + lib.libid.ToString()};
  for (const ClassInfo* c : ClassesOf(lib)) {
    roots.push_back("CLSID\\" + c->clsid.ToString());
    roots.push_back(c->prog_id);
    roots.push_back("Interface\\" + c->interface_info().iid.ToString());
    for (auto& a : c->aliases) roots.push_back("Interface\\" + a.second.ToString());
  }
  return roots;
}

HRESULT RegisterModule(const TypeLibInfo& lib, const std::string& path) {
  RegistryStore().SetAll(RegistrationEntries(lib, path));
  return S_OK;
}

HRESULT UnregisterModule(const TypeLibInfo& lib) {
  RegistryStore().RemoveTrees(RegistrationRoots(lib));
  return S_OK;
}

std::string ModulePathOf(const void* address) {
  Dl_info info{};
  if (::dladdr(address, &info) && info.dli_fname) return info.dli_fname;
  return "";
}

}  // namespace q6
