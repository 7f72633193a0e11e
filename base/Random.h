// A pseudo-random generator defined to the bit, so that a seed gives the same numbers on every
// platform and build: xoshiro256** 1.0, its state filled by splitmix64 from the seed, and
// integers below a bound by rejection. (The distributions of the standard library differ from
// one library to the next, so none of them is used.)
#pragma once

#include <cstdint>

namespace Random {

// splitmix64: advances State and returns the next number.
inline uint64_t SplitMix64(uint64_t& State) noexcept {
  uint64_t Z = (State += 0x9E3779B97F4A7C15u);
  Z = (Z ^ (Z >> 30)) * 0xBF58476D1CE4E5B9u;
  Z = (Z ^ (Z >> 27)) * 0x94D049BB133111EBu;
  return Z ^ (Z >> 31);
}

class TRandom {
 public:
  // The state is four splitmix64 numbers from Seed, in turn.
  explicit TRandom(uint64_t Seed) noexcept {
    for (uint64_t& Word : FState) Word = SplitMix64(Seed);
  }

  // The next xoshiro256** number.
  uint64_t Next() noexcept {
    const uint64_t Result = Rotate(FState[1] * 5, 7) * 9;
    const uint64_t T = FState[1] << 17;
    FState[2] ^= FState[0];
    FState[3] ^= FState[1];
    FState[1] ^= FState[2];
    FState[0] ^= FState[3];
    FState[2] ^= T;
    FState[3] = Rotate(FState[3], 45);
    return Result;
  }

  // A number in [0, Bound), Bound >= 1, each equally likely: numbers below 2^64 mod Bound are
  // drawn again, so that those left fall evenly on the remainders.
  uint64_t Below(uint64_t Bound) noexcept {
    const uint64_t Rejected = (0 - Bound) % Bound;
    for (;;) {
      const uint64_t R = Next();
      if (R >= Rejected) return R % Bound;
    }
  }

 private:
  static uint64_t Rotate(uint64_t X, int K) noexcept { return (X << K) | (X >> (64 - K)); }
  uint64_t FState[4];
};

}  // namespace Random
