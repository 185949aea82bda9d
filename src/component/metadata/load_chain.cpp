// The per-thread chain of entities being loaded.
//
// A thread-local list suffices: the objects of the component belong to the
// thread that created them, and a load only nests inside another load of the
// same thread through the child recursion. Guards are created and destroyed
// in strict nesting order, so the list is a stack.
#include "component/metadata/load_chain.h"

#include <algorithm>
#include <string>
#include <vector>

#include "runtime/com_error.h"

namespace q6 {
namespace {

std::vector<int32_t>& Chain() {
  thread_local std::vector<int32_t> chain;
  return chain;
}

}  // namespace

LoadChainGuard::LoadChainGuard(int32_t bi_type) {
  std::vector<int32_t>& chain = Chain();
  auto at = std::find(chain.begin(), chain.end(), bi_type);
  if (at != chain.end()) {
    std::string path;
    for (auto it = at; it != chain.end(); ++it) path += std::to_string(*it) + " -> ";
    path += std::to_string(bi_type);
    Throw(E_FAIL,
          "Entity " + std::to_string(bi_type) +
              " is its own ancestor: the iparentid links of FD_Entities loop back (" + path + ")",
          "Q6FDMgr.DataManager");
  }
  chain.push_back(bi_type);
}

LoadChainGuard::~LoadChainGuard() { Chain().pop_back(); }

}  // namespace q6
