// The component's frame: member tables as clients see them, creation by
// ProgID, self-registration, the unload check.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "runtime/class_table.h"
#include "runtime/registry.h"

extern "C" {
q6::HRESULT DllCanUnloadNow();
q6::HRESULT DllGetClassObject(const q6::Guid*, const q6::Guid*, void**);
}

namespace q6 {
namespace {

struct Expected {
  const char* prog_id;
  const char* member;
  DISPID dispid;
  std::vector<std::string> params;
};

// Names, order and dispatch ids clients bind to.
TEST(ComponentTables, MembersParametersAndDispatchIds) {
  const Expected rows[] = {
      {"Q6FDMgr.LockManager",
       "LockItEx",
       0x60030000,
       {"DataSourceName", "vID", "UserName", "WorkStation", "ModName", "iClass", "sDigest",
        "sSeparator"}},
      {"Q6FDMgr.LockManager",
       "LockIt",
       0x60030001,
       {"DataSourceName", "vID", "UserName", "WorkStation", "ModName", "iClass", "sDigest"}},
      {"Q6FDMgr.LockManager",
       "UnlockIt",
       0x60030002,
       {"DataSourceName", "vID", "UserName", "WorkStation", "ModName", "iClass"}},
      {"Q6FDMgr.LockManager",
       "UnLockItEx",
       0x60030003,
       {"DataSourceName", "vID", "UserName", "WorkStation", "ModName", "iClass", "sDigest",
        "sSeparator"}},
      {"Q6FDMgr.OIDManager", "GetNewOID", 0x60030000, {"DataSource", "BIStyle", "Locked"}},
      {"Q6FDMgr.OIDManager", "GetNewCode", 0x60030001, {"DataSourceName", "BIStyle", "Locked"}},
      {"Q6FDMgr.Querymanager", "GetQueryResult", 0x60030000, {"vDsn", "objQry", "bShowCaption"}},
      {"Q6FDMgr.DataManager",
       "MoveTo",
       0x60030000,
       {"con", "EO", "MoveMode", "Reversal", "GetChild"}},
      {"Q6FDMgr.DataManager", "MoveToBySQL", 0x60030001, {"DataSourceName", "Sql"}},
      {"Q6FDMgr.DataManager", "Delete", 0x60030002, {"con", "EO"}},
      {"Q6FDMgr.DataManager", "DeleteBIType", 0x60030003, {"con", "BIStyle"}},
      {"Q6FDMgr.DataManager", "Save", 0x60030004, {"con", "EO"}},
      {"Q6FDMgr.DataManager",
       "LoadEOMetaData",
       0x60030005,
       {"DataSourceName", "BIType", "OnlyEO", "OnlyUsed", "GetChildEO"}},
      {"Q6FDMgr.DataManager",
       "SaveEOMetaData",
       0x60030006,
       {"DataSourceName", "EO", "OnlyEO", "SetChildEO"}},
      {"Q6FDMgr.DataManager", "MaxTop", 0x60030007, {"DataSourceName", "BIStyle"}},
      {"Q6FDMgr.DataManager", "MaxQrySqc", 0x60030008, {"DataSourceName", "BIStyle"}},
      {"Q6FDMgr.DataManager", "strBiToSqlByEO", 0x60030009, {"objEO", "lFlag"}},
      {"Q6FDMgr.DataManager",
       "vFieldValue",
       0x6003000A,
       {"strDsn", "sName", "EO", "sWhere", "vVal", "strError"}},
      {"Q6FDMgr.DataManager", "GetData", 0x6003000B, {"con", "EO", "pRS", "cRS", "GetChild"}},
      {"Q6FDMgr.DataManager",
       "MoveToByRS",
       0x6003000C,
       {"con", "EO", "MoveMode", "pRS", "cRS", "GetChild"}},
      {"Q6FDMgr.LogManager",
       "StartLog",
       0x60030001,
       {"strFile", "bOverride", "strError", "bUnicode"}},
  };
  for (const Expected& e : rows) {
    const ClassInfo* c = ClassTable::Linked().FindProgId(e.prog_id);
    ASSERT_NE(c, nullptr) << e.prog_id;
    const MemberInfo* m = c->interface_info().Find(e.member, MemberKind::Method);
    ASSERT_NE(m, nullptr) << e.member;
    EXPECT_EQ(m->dispid, e.dispid) << e.member;
    std::vector<std::string> names;
    for (auto& p : m->params) names.push_back(p.name);
    EXPECT_EQ(names, e.params) << e.member;
  }
}

TEST(ComponentTables, PassingAndDefaultsFollowTheInterfaces) {
  const ClassInfo* c = ClassTable::Linked().FindProgId("Q6FDMgr.LockManager");
  const MemberInfo* m = c->interface_info().Find("LockIt", MemberKind::Method);
  EXPECT_TRUE(m->params[0].by_ref);
  EXPECT_EQ(m->params[5].default_value->ToLong(), 7);    // iClass: enum_byID
  EXPECT_FALSE(m->params[2].default_value.has_value());  // UserName: no default
  const ClassInfo* o = ClassTable::Linked().FindProgId("Q6FDMgr.OIDManager");
  const MemberInfo* code = o->interface_info().Find("GetNewCode", MemberKind::Method);
  EXPECT_FALSE(code->params[0].by_ref);  // DataSourceName by value
  EXPECT_TRUE(code->params[2].default_value->ToBool());
  const MemberInfo* oid = o->interface_info().Find("GetNewOID", MemberKind::Method);
  EXPECT_FALSE(oid->params[2].default_value->ToBool());
}

// The built component library's own entry point `name`. Registration
// writes the path of the library that holds the entry point, and this
// program links the component's objects in statically.
template <class Fn>
Fn LibraryEntry(const char* name) {
  void* lib = ::dlopen(Q6FD_LIB, RTLD_NOW | RTLD_GLOBAL);  // kept open for the process
  return lib ? reinterpret_cast<Fn>(::dlsym(lib, name)) : nullptr;
}

class Registration : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ =
        std::filesystem::temp_directory_path() / ("q6reg-" + std::to_string(::getpid()) + ".txt");
    old_ = std::getenv("Q6FD_REGISTRY") ? std::getenv("Q6FD_REGISTRY") : "";
    ::setenv("Q6FD_REGISTRY", path_.c_str(), 1);
  }
  void TearDown() override {
    std::filesystem::remove(path_);
    std::filesystem::remove(path_.string() + ".lock");
    if (old_.empty())
      ::unsetenv("Q6FD_REGISTRY");
    else
      ::setenv("Q6FD_REGISTRY", old_.c_str(), 1);
  }
  std::filesystem::path path_;
  std::string old_;
};

TEST_F(Registration, RoundTripLeavesNoEntryOfOurs) {
  const auto register_server = LibraryEntry<DllRegisterServerFn>("DllRegisterServer");
  const auto unregister_server = LibraryEntry<DllRegisterServerFn>("DllUnregisterServer");
  ASSERT_TRUE(register_server && unregister_server) << ::dlerror();
  ASSERT_EQ(register_server(), S_OK);
  ASSERT_EQ(register_server(), S_OK);  // twice is harmless
  RegistryStore store;
  auto entries = store.Load();
  auto clsid = store.Get("Q6FDMgr.DataManager\\CLSID");
  ASSERT_TRUE(clsid);
  EXPECT_EQ(*store.Get("CLSID\\" + *clsid + "\\InprocServer32\\ThreadingModel"), "Apartment");
  EXPECT_NE(store.Get("CLSID\\" + *clsid + "\\InprocServer32")->find("libq6fdmgr.so"),
            std::string::npos);
  bool alias = false, typelib = false;
  for (auto& [k, v] : entries) {
    alias = alias || v == "DataManager___v0";
    typelib = typelib || v == "Q6资金管理---数据对象";
  }
  EXPECT_TRUE(alias);
  EXPECT_TRUE(typelib);

  // A registered class is created through the library the store names.
  ObjectRef dm = CreateObject("q6fdmgr.datamanager");
  ASSERT_TRUE(dm);
  EXPECT_EQ(dm->Interface().name, "_DataManager");

  ASSERT_EQ(unregister_server(), S_OK);
  EXPECT_TRUE(RegistryStore().Load().empty());
}

TEST_F(Registration, UnknownProgIdIsNotRegistered) {
  try {
    CreateObject("Q6FDMgr.NoSuchClass");
    FAIL();
  } catch (const ComError& e) {
    EXPECT_EQ(e.hr(), REGDB_E_CLASSNOTREG);
    EXPECT_NE(e.description().find("Q6FDMgr.NoSuchClass"), std::string::npos);
  }
}

TEST(Unload, CanUnloadOnlyWhenNoObjectOrLockIsAlive) {
  ASSERT_EQ(DllCanUnloadNow(), S_OK);
  {
    ObjectRef lm = CreateLinkedObject("Q6FDMgr.LockManager");
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  }
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
  const ClassInfo* c = ClassTable::Linked().FindProgId("Q6FDMgr.LogManager");
  void* pv = nullptr;
  ASSERT_EQ(DllGetClassObject(&c->clsid, nullptr, &pv), S_OK);
  auto* factory = static_cast<ClassFactory*>(pv);
  factory->LockServer(true);
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  factory->LockServer(false);
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
  factory->Release();
  Guid other = Guid::Of("{00000000-0000-0000-0000-000000000001}");
  EXPECT_EQ(DllGetClassObject(&other, nullptr, &pv), CLASS_E_CLASSNOTAVAILABLE);
}

}  // namespace
}  // namespace q6
