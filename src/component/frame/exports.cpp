// The library's exported entry points: class factories, unload check and
// self-registration into the registration store.
#include "component/frame/component.h"
#include "component/frame/identities.h"
#include "runtime/module.h"

namespace q6 {

ModuleCounter& ComponentModule() {
  static ModuleCounter* counter = new ModuleCounter;  // outlives every object
  return *counter;
}

namespace {

const TypeLibInfo& ComponentTypeLib() {
  static const TypeLibInfo lib{ids::kLibName,
                               ids::kLibId,
                               ids::kLibVersion,
                               ids::kLibHelp,
                               {"Q6FDMgr.LockManager", "Q6FDMgr.OIDManager", "Q6FDMgr.Querymanager",
                                "Q6FDMgr.DataManager", "Q6FDMgr.LogManager"}};
  return lib;
}

bool IsComponentClass(const Guid& clsid) {
  return clsid == ids::kLockManagerClsid || clsid == ids::kOIDManagerClsid ||
         clsid == ids::kQuerymanagerClsid || clsid == ids::kDataManagerClsid ||
         clsid == ids::kLogManagerClsid;
}

}  // namespace

const TypeLibInfo& ComponentTypeLibInfo() { return ComponentTypeLib(); }

}  // namespace q6

extern "C" {

__attribute__((visibility("default"))) q6::HRESULT DllGetClassObject(const q6::Guid* clsid,
                                                                     const q6::Guid* iid,
                                                                     void** ppv) {
  if (!clsid || !ppv) return q6::E_POINTER;
  *ppv = nullptr;
  if (!q6::IsComponentClass(*clsid)) return q6::CLASS_E_CLASSNOTAVAILABLE;
  const q6::ClassInfo* info = q6::ClassTable::Linked().FindClsid(*clsid);
  if (!info) return q6::CLASS_E_CLASSNOTAVAILABLE;
  *ppv = new q6::ClassFactory(info, &q6::ComponentModule());
  return q6::S_OK;
}

__attribute__((visibility("default"))) q6::HRESULT DllCanUnloadNow() {
  return q6::ComponentModule().count() == 0 ? q6::S_OK : q6::S_FALSE;
}

__attribute__((visibility("default"))) q6::HRESULT DllRegisterServer() {
  try {
    return q6::RegisterModule(q6::ComponentTypeLib(),
                              q6::ModulePathOf(reinterpret_cast<const void*>(&DllRegisterServer)));
  } catch (const q6::ComError& e) {
    return e.hr();
  } catch (...) {
    return q6::E_FAIL;
  }
}

__attribute__((visibility("default"))) q6::HRESULT DllUnregisterServer() {
  try {
    return q6::UnregisterModule(q6::ComponentTypeLib());
  } catch (const q6::ComError& e) {
    return e.hr();
  } catch (...) {
    return q6::E_FAIL;
  }
}

}  // extern "C"
