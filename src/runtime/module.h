// Self-registration of a library of automation classes.
//
// A library describes its type library (name, identifier, version, help
// string) and lists its classes; RegisterModule writes into the registration
// store what CreateObject and the type information need, UnregisterModule
// removes exactly those entries. Registering twice rewrites the same entries.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "runtime/class_table.h"
#include "runtime/internal_export.h"

namespace q6 {

struct Q6FD_INTERNAL TypeLibInfo {
  std::string name;  // "Q6FDMgr"
  Guid libid;
  std::string version;                // "1.1"
  std::string help;                   // the help string
  std::vector<std::string> prog_ids;  // the library's classes, by ProgID
};

// The entries registering `lib`, with `library_path` as the server of every
// class.
Q6FD_INTERNAL std::vector<std::pair<std::string, std::string>> RegistrationEntries(
    const TypeLibInfo& lib, const std::string& library_path);
// The roots of every key RegistrationEntries writes.
Q6FD_INTERNAL std::vector<std::string> RegistrationRoots(const TypeLibInfo& lib);

Q6FD_INTERNAL HRESULT RegisterModule(const TypeLibInfo& lib, const std::string& library_path);
Q6FD_INTERNAL HRESULT UnregisterModule(const TypeLibInfo& lib);

// Path of the shared library (or program) that contains `address`.
Q6FD_INTERNAL std::string ModulePathOf(const void* address);

}  // namespace q6
