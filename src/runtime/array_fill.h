// Array results handed out element by element.
//
// A member whose result is an array of Variants may also offer to hand the
// elements out one by one (an ArrayFill), so that a caller that turns the
// array into values of its own (the Python module's nested lists) does not
// build the array first: for a recordset's GetRows that array is a copy of
// every value read. The member table stays the one description of the
// member: a fill is registered for a table entry and runs through the
// invoker in place of the entry's thunk (InvokeFill), with the same
// arguments, defaults, conversions and errors.
#pragma once

#include <functional>
#include <vector>

#include "runtime/dispatch.h"
#include "runtime/internal_export.h"

namespace q6 {

class Q6FD_INTERNAL ArrayWriter {
 public:
  virtual ~ArrayWriter() = default;
  // The array's bounds (at least one), once, before any element.
  virtual void Start(const std::vector<VariantArray::Bound>& bounds) = 0;
  // The element at `index` in the order of VariantArray::items() (the first
  // subscript fastest); every index once. `v` lives for the call only.
  virtual void Put(size_t index, const Variant& v) = 0;
};

using ArrayFill = std::function<void(Dispatchable& self, Args args, ArrayWriter& out)>;

// Registers `fill` for `member`, an entry of a member table (which lives as
// long as the process). Call during static initialisation.
Q6FD_INTERNAL void SetArrayFill(const MemberInfo& member, ArrayFill fill);
// The fill registered for `member`; nullptr when there is none.
Q6FD_INTERNAL const ArrayFill* ArrayFillOf(const MemberInfo& member);
// Runs `fill` for `member` with the caller's arguments, as InvokeMember runs
// the member's thunk.
Q6FD_INTERNAL void InvokeFill(Dispatchable& self, const MemberInfo& member, const ArrayFill& fill,
                              Args args, std::vector<NamedArg>& named, ArrayWriter& out);

}  // namespace q6
