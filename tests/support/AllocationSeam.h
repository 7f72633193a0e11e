// Out of memory on demand: the test program's operator new fails chosen allocations, so that
// the code's behaviour when memory runs out can be tested without exhausting it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace AllocationSeam {

// From now on, allocations of more than MinSize bytes (and at most MaxSize) are counted from
// 1; those numbered Nth .. Nth + Times - 1 throw std::bad_alloc. Others are never failed.
void Arm(size_t MinSize, int64_t Nth, int64_t Times = 1, size_t MaxSize = SIZE_MAX);
// Stops failing and counting.
void Disarm();
// How many allocations the seam has failed since it was armed.
int64_t Failures();

// Arms the seam for one scope.
class TArmed {
 public:
  TArmed(size_t MinSize, int64_t Nth, int64_t Times = 1, size_t MaxSize = SIZE_MAX) {
    Arm(MinSize, Nth, Times, MaxSize);
  }
  ~TArmed() { Disarm(); }
  TArmed(const TArmed&) = delete;
  TArmed& operator=(const TArmed&) = delete;
};

}  // namespace AllocationSeam
