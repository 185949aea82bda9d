// A 256-bit unsigned integer, just wide enough for Decimal arithmetic.
//
// Aligning two Decimals to a common scale multiplies a 96-bit magnitude by up
// to 10^28, which needs about 190 bits; the sum is then rounded back to 96
// bits. Only the few operations that needs are here.
#pragma once

#include <array>
#include <cstdint>

namespace q6::value {

class Wide {
 public:
  Wide() = default;
  explicit Wide(unsigned __int128 v)
      : limb_{static_cast<uint64_t>(v), static_cast<uint64_t>(v >> 64), 0, 0} {}

  bool IsZero() const { return (limb_[0] | limb_[1] | limb_[2] | limb_[3]) == 0; }
  bool IsOdd() const { return limb_[0] & 1; }
  // True when the value is below 2^96, the limit of a Decimal magnitude.
  bool Fits96() const { return limb_[3] == 0 && limb_[2] == 0 && (limb_[1] >> 32) == 0; }
  // REQUIRES: Fits96() (or at least below 2^128).
  unsigned __int128 Low128() const {
    return (static_cast<unsigned __int128>(limb_[1]) << 64) | limb_[0];
  }

  // *this *= m. REQUIRES: the product stays below 2^256.
  void MulSmall(uint64_t m) {
    unsigned __int128 carry = 0;
    for (uint64_t& l : limb_) {
      unsigned __int128 p = static_cast<unsigned __int128>(l) * m + carry;
      l = static_cast<uint64_t>(p);
      carry = p >> 64;
    }
  }
  // *this /= d; returns the remainder. REQUIRES: d != 0.
  uint64_t DivSmall(uint64_t d) {
    unsigned __int128 rem = 0;
    for (int i = 3; i >= 0; --i) {
      unsigned __int128 cur = (rem << 64) | limb_[i];
      limb_[i] = static_cast<uint64_t>(cur / d);
      rem = cur % d;
    }
    return static_cast<uint64_t>(rem);
  }
  void Add(const Wide& o) {
    unsigned __int128 carry = 0;
    for (int i = 0; i < 4; ++i) {
      unsigned __int128 s = static_cast<unsigned __int128>(limb_[i]) + o.limb_[i] + carry;
      limb_[i] = static_cast<uint64_t>(s);
      carry = s >> 64;
    }
  }
  // REQUIRES: *this >= o.
  void Sub(const Wide& o) {
    uint64_t borrow = 0;
    for (int i = 0; i < 4; ++i) {
      uint64_t a = limb_[i], b = o.limb_[i];
      uint64_t d = a - b - borrow;
      borrow = (a < b || (a == b && borrow)) ? 1 : 0;
      limb_[i] = d;
    }
  }
  friend int Compare(const Wide& a, const Wide& b) {
    for (int i = 3; i >= 0; --i) {
      if (a.limb_[i] != b.limb_[i]) return a.limb_[i] < b.limb_[i] ? -1 : 1;
    }
    return 0;
  }

 private:
  std::array<uint64_t, 4> limb_{};
};

}  // namespace q6::value
