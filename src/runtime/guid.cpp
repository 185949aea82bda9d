// Text form of GUIDs.
#include "runtime/guid.h"

#include <cstdio>
#include <cstdlib>

namespace q6 {

namespace {
int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

bool Guid::Parse(std::string_view t, Guid* out) {
  if (t.size() == 38 && t.front() == '{' && t.back() == '}') t = t.substr(1, 36);
  if (t.size() != 36) return false;
  Guid g;
  size_t b = 0;
  for (size_t i = 0; i < t.size();) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (t[i] != '-') return false;
      ++i;
      continue;
    }
    int hi = Hex(t[i]), lo = Hex(t[i + 1]);
    if (hi < 0 || lo < 0) return false;
    g.bytes[b++] = static_cast<uint8_t>(hi * 16 + lo);
    i += 2;
  }
  *out = g;
  return true;
}

Guid Guid::Of(std::string_view text) {
  Guid g;
  if (!Parse(text, &g)) {
    std::fprintf(stderr, "malformed GUID literal %.*s\n", static_cast<int>(text.size()),
                 text.data());
    std::abort();
  }
  return g;
}

std::string Guid::ToString() const {
  std::string s = "{";
  static const char* kHex = "0123456789ABCDEF";
  for (size_t i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) s += '-';
    s += kHex[bytes[i] >> 4];
    s += kHex[bytes[i] & 15];
  }
  return s + "}";
}

bool Guid::IsNull() const {
  for (auto b : bytes)
    if (b) return false;
  return true;
}

}  // namespace q6
