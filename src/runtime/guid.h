// Globally unique identifiers of classes, interfaces and type libraries.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/export.h"

namespace q6 {

struct Q6FD_API Guid {
  std::array<uint8_t, 16> bytes{};

  // Parses "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" (braces optional);
  // false for malformed text.
  static bool Parse(std::string_view text, Guid* out);
  // Parses a literal known to be well formed; aborts the build of a table
  // otherwise (used for the fixed identifiers of our classes).
  static Guid Of(std::string_view text);
  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case.
  std::string ToString() const;
  bool IsNull() const;

  friend bool operator==(const Guid&, const Guid&) = default;
  friend auto operator<=>(const Guid&, const Guid&) = default;
};

}  // namespace q6
