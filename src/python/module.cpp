// The q6fdmgr Python module: late-bound access to the automation classes of
// this process (Dispatch), by-reference arguments (Ref), the automation error
// (ComError) and the Null and Empty values.
#include <dlfcn.h>
#include <pybind11/pybind11.h>

#include <filesystem>

#include "python/json_values.h"
#include "python/member_doc.h"
#include "python/message_box.h"
#include "python/proxy.h"
#include "python/python_types.h"
#include "python/rows.h"

namespace {

// The module is also a package: its Python submodules (q6fdmgr.dbapi) live
// in the folder "q6fdmgr" beside the module's own file, which __path__
// names, so that `import q6fdmgr.dbapi` finds them while `import q6fdmgr`
// stays this module, as it always was. The file is the one the dynamic
// loader opened this code from, made absolute so that a later change of the
// working folder does not matter.
void SetPackagePath(pybind11::module_& m) {
  Dl_info info;
  if (!dladdr(reinterpret_cast<void*>(&SetPackagePath), &info) || !info.dli_fname) return;
  const std::filesystem::path file = std::filesystem::absolute(info.dli_fname);
  pybind11::list path;
  path.append((file.parent_path() / "q6fdmgr").string());
  m.attr("__path__") = path;
}

}  // namespace

PYBIND11_MODULE(q6fdmgr, m) {
  m.doc() =
      "Automation objects of the fund-management data-object layer, called by name.\n\n"
      "Dispatch(progid) creates an object; attributes are its properties and methods,\n"
      "Ref() passes an argument by reference, ComError is every automation failure,\n"
      "Null and Empty are the automation values of the same names.\n\n"
      "help(obj.Method) and inspect.signature(obj.Method) show a member's parameters,\n"
      "defaults and by-reference marks. The enumerations are module constants and\n"
      "attributes of q6fdmgr.constants (enum_First, enum_byID, EditStateNew, TypeLong...).\n\n"
      "Threads: an object belongs to the thread that created it; calling it from another\n"
      "thread raises ComError 0x8001010E. Create the objects a thread uses in that thread.\n\n"
      "q6fdmgr.dbapi is a DB-API 2.0 (PEP 249) module over the same layer.";
  q6::pymod::DefinePythonTypes(m);
  q6::pymod::BindProxy(m);
  q6::pymod::BindRows(m);
  q6::pymod::DefineJsonDefault(m);
  q6::pymod::BindMessageBox(m);
  q6::pymod::DefineMemberDocs(m);
  m.attr("__version__") = Q6FD_VERSION;  // the project's version, set by the build
  SetPackagePath(m);
}
