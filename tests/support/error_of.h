// The HRESULT of the ComError an action raises, for tests that check which
// error a call ends with.
#pragma once

#include <functional>

#include "runtime/com_error.h"

namespace q6::test {

// The HRESULT of the ComError `action` raises; S_OK when it raises none.
inline HRESULT ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const ComError& e) {
    return e.hr();
  }
  return S_OK;
}

}  // namespace q6::test
