// The entities a thread is loading, outermost first.
//
// Loading an entity loads its child, and the child's child, through the
// iparentid links of FD_Entities. The links must form a tree; when the data
// holds a loop the load would otherwise recurse until the stack or the
// connection pool gave out. Each level holds a LoadChainGuard for the
// entity it loads, so a level that meets an entity already on the way down
// stops with an error that names the loop.
#pragma once

#include <cstdint>

namespace q6 {

class LoadChainGuard {
 public:
  // Records `bi_type` as being loaded on this thread until destruction.
  // Raises E_FAIL (0x80004005), with a text that names the loop (for
  // example "... 61 -> 62 -> 61"), when `bi_type` is already being loaded
  // further up on this thread; nothing is recorded then.
  explicit LoadChainGuard(int32_t bi_type);
  ~LoadChainGuard();
  LoadChainGuard(const LoadChainGuard&) = delete;
  LoadChainGuard& operator=(const LoadChainGuard&) = delete;
};

}  // namespace q6
