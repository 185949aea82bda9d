// The registry of array fills and their invocation.
#include "runtime/array_fill.h"

#include <unordered_map>
#include <utility>

namespace q6 {

namespace {
// Filled during static initialisation, only read afterwards.
std::unordered_map<const MemberInfo*, ArrayFill>& Fills() {
  static auto* fills = new std::unordered_map<const MemberInfo*, ArrayFill>();
  return *fills;
}
}  // namespace

void SetArrayFill(const MemberInfo& member, ArrayFill fill) { Fills()[&member] = std::move(fill); }

const ArrayFill* ArrayFillOf(const MemberInfo& member) {
  auto it = Fills().find(&member);
  return it == Fills().end() ? nullptr : &it->second;
}

void InvokeFill(Dispatchable& self, const MemberInfo& member, const ArrayFill& fill, Args args,
                std::vector<NamedArg>& named, ArrayWriter& out) {
  // The entry as it is, but for what runs once the arguments are ready.
  MemberInfo filling = member;
  filling.thunk = [&](Dispatchable& d, Args ready) {
    fill(d, ready, out);
    return Variant();
  };
  InvokeMember(self, filling, args, named, member.kind);
}

}  // namespace q6
