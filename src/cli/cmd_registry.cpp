// q6fd register / unregister: the library's own entry points.
#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <ostream>

#include "cli/command.h"
#include "runtime/class_table.h"
#include "runtime/registry.h"

namespace q6::cli {

namespace {

// The component library beside this program: <bin>/../lib/libq6fdmgr.so,
// unless a path is given.
std::string LibraryPath(const std::vector<std::string>& args) {
  if (!args.empty()) return std::filesystem::absolute(args[0]).string();
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  auto lib = exe.parent_path().parent_path() / "lib" / "libq6fdmgr.so";
  return std::filesystem::weakly_canonical(lib, ec).string();
}

int CallEntry(const Invocation& in, std::ostream& out, const char* entry) {
  std::string path = LibraryPath(in.positional);
  void* h = ::dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
  if (!h) Throw(E_FAIL, std::string("cannot load ") + path + ": " + ::dlerror());
  auto fn = reinterpret_cast<DllRegisterServerFn>(::dlsym(h, entry));
  if (!fn) Throw(E_FAIL, path + " does not export " + entry);
  HRESULT hr = fn();
  if (in.opt.json())
    out << "{\"entry\": " << JsonString(entry) << ", \"library\": " << JsonString(path)
        << ", \"store\": " << JsonString(RegistryStore().path())
        << ", \"hresult\": " << JsonString(HrToString(hr)) << "}\n";
  else
    out << entry << " " << path << ": " << (hr == S_OK ? "ok" : HrToString(hr)) << " (store "
        << RegistryStore().path() << ")\n";
  return hr == S_OK ? 0 : 1;
}

}  // namespace

std::vector<Command> RegistryCommands() {
  return {
      {"register",
       "[LIBRARY]",
       "register the component in the registration store",
       {},
       [](const Invocation& in, std::ostream& out) {
         return CallEntry(in, out, "DllRegisterServer");
       }},
      {"unregister",
       "[LIBRARY]",
       "remove the component's registration",
       {},
       [](const Invocation& in, std::ostream& out) {
         return CallEntry(in, out, "DllUnregisterServer");
       }},
  };
}

}  // namespace q6::cli
