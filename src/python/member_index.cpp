// The member index: what an attribute name means on an interface, found in
// the member table once per interface and name object.
#include "python/member_index.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "python/python_types.h"

namespace q6::pymod {

bool IsDunder(std::string_view name) {
  return name.size() > 4 && name.substr(0, 2) == "__" && name.substr(name.size() - 2) == "__";
}

bool HasRequiredParams(const MemberInfo& m) {
  return std::any_of(m.params.begin(), m.params.end(),
                     [](const ParamInfo& p) { return !p.optional; });
}

namespace {

// The meaning of `name` on `info`, found in the member table.
AttrEntry FindAttr(const InterfaceInfo& info, std::string_view name) {
  AttrEntry e;
  e.get = info.Find(name, MemberKind::PropertyGet);
  if (!e.get) {
    if (info.Find(name, MemberKind::PropertyPut))
      Throw(DISP_E_MEMBERNOTFOUND, std::string(name) + " of " + info.name + " can only be written");
    throw UnknownNameError(DISP_E_UNKNOWNNAME, "Unknown name: " + std::string(name) +
                                                   " is not a member of " + info.name);
  }
  e.read_now = e.get->kind == MemberKind::PropertyGet && !HasRequiredParams(*e.get);
  return e;
}

}  // namespace

AttrEntry AttrIndex(const InterfaceInfo& info, PyObject* name) {
  struct Key {
    const InterfaceInfo* info;
    PyObject* name;
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    size_t operator()(const Key& k) const {
      return std::hash<const void*>()(k.info) * 31 + std::hash<const void*>()(k.name);
    }
  };
  static auto* index = new std::unordered_map<Key, AttrEntry, KeyHash>();
  // In front of the index, the entries met lately, one per slot of a small
  // table found by the two addresses: a loop that reads a few names on a
  // few interfaces finds them there without hashing into the index.
  struct Recent {
    Key key{nullptr, nullptr};
    AttrEntry entry;
  };
  static std::array<Recent, 256> recent;
  const Key key{&info, name};
  const auto at =
      (reinterpret_cast<uintptr_t>(&info) >> 4) ^ (reinterpret_cast<uintptr_t>(name) >> 4);
  Recent& r = recent[at % recent.size()];
  if (r.key == key) return r.entry;
  auto it = index->find(key);
  if (it != index->end()) {
    r = {key, it->second};
    return it->second;
  }
  Py_ssize_t size = 0;
  const char* text = PyUnicode_AsUTF8AndSize(name, &size);
  if (!text) throw py::error_already_set();
  const std::string_view attr(text, static_cast<size_t>(size));
  AttrEntry e;
  e.dunder = IsDunder(attr);
  if (!e.dunder) e = FindAttr(info, attr);
  if (PyUnicode_CHECK_INTERNED(name)) {
    Py_INCREF(name);
    index->emplace(key, e);
  }
  return e;
}

}  // namespace q6::pymod
