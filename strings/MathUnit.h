// Small numeric helpers.
#pragma once

#include <cstdint>

namespace MathUnit {

// True when Min <= Value <= Max.
constexpr bool IsBetween(int32_t Min, int32_t Value, int32_t Max) {
  return Min <= Value && Value <= Max;
}

}  // namespace MathUnit
