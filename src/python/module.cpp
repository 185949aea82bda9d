// The q6fdmgr Python module: late-bound access to the automation classes of
// this process (Dispatch), by-reference arguments (Ref), the automation error
// (ComError) and the Null and Empty values.
#include <pybind11/pybind11.h>

#include "python/member_doc.h"
#include "python/message_box.h"
#include "python/proxy.h"
#include "python/python_types.h"

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
      "thread raises ComError 0x8001010E. Create the objects a thread uses in that thread.";
  q6::pymod::DefinePythonTypes(m);
  q6::pymod::BindProxy(m);
  q6::pymod::BindMessageBox(m);
  q6::pymod::DefineMemberDocs(m);
  m.attr("__version__") = Q6FD_VERSION;  // the project's version, set by the build
}
