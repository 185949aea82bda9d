// Q6FD_INTERNAL marks what one library of this package calls in another
// across a shared-library boundary (the component in the data access layer,
// the program and the Python module in either) although its header is not
// installed: exported from the library, but no part of the installed API.
// Tests, benchmarks and the program's own static parts link the same object
// code statically and need no mark.
#pragma once

#include "runtime/export.h"

#define Q6FD_INTERNAL Q6FD_API
