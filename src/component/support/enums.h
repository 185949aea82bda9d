// The component's enumerations.
#pragma once

#include <cstdint>

namespace q6 {

// Scope of a lock or of a release.
enum LockModeEnum : int32_t {
  enum_All = 1,
  enum_ByHost = 2,
  enum_ByUser = 3,
  enum_ByHostAndUser = 4,
  enum_ByMod = 5,
  enum_byClass = 6,
  enum_byID = 7,
};

// How MoveTo and MoveToByRS move (an enumeration of the entity-object library).
enum MoveModeEnum : int32_t {
  enum_First = 0,
  enum_Previous = 1,
  enum_Current = 2,
  enum_Next = 3,
  enum_Last = 4,
};

}  // namespace q6
