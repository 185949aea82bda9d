// The q6fdmgr Python module: late-bound access to the automation classes of
// this process (Dispatch), by-reference arguments (Ref), the automation error
// (ComError) and the Null and Empty values.
#include <pybind11/pybind11.h>

#include "python/message_box.h"
#include "python/proxy.h"
#include "python/python_types.h"

PYBIND11_MODULE(q6fdmgr, m) {
  m.doc() =
      "Automation objects of the fund-management data-object layer, called by name.\n\n"
      "Dispatch(progid) creates an object; attributes are its properties and methods,\n"
      "Ref() passes an argument by reference, ComError is every automation failure,\n"
      "Null and Empty are the automation values of the same names.";
  q6::pymod::DefinePythonTypes(m);
  q6::pymod::BindProxy(m);
  q6::pymod::BindMessageBox(m);
}
