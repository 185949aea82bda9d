// What every object of the component shares: it counts as alive for
// DllCanUnloadNow, and failures of unfinished members say so.
#pragma once

#include <string>

#include "runtime/class_table.h"
#include "runtime/export.h"

namespace q6 {

// Objects and server locks of libq6fdmgr.
Q6FD_API ModuleCounter& ComponentModule();

class Q6FD_API ComponentObject : public Dispatchable {
 protected:
  ComponentObject() : module_ref_(ComponentModule()) {}

 private:
  ModuleRef module_ref_;
};

}  // namespace q6
