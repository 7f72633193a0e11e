// Replaces the global allocation functions of the test program. Memory comes from malloc as
// usual; only an armed seam makes a chosen allocation fail.
#include "tests/support/AllocationSeam.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace AllocationSeam {
namespace {

std::atomic<bool> Armed{false};
std::atomic<size_t> Threshold{0};
std::atomic<size_t> Ceiling{0};
std::atomic<int64_t> Seen{0};
std::atomic<int64_t> First{0};
std::atomic<int64_t> Last{0};
std::atomic<int64_t> Failed{0};

bool ShouldFail(size_t Size) {
  if (!Armed.load(std::memory_order_relaxed) || Size <= Threshold.load() || Size > Ceiling.load()) {
    return false;
  }
  const int64_t Number = Seen.fetch_add(1) + 1;
  if (Number < First.load() || Number > Last.load()) return false;
  Failed.fetch_add(1);
  return true;
}

void* Allocate(size_t Size) {
  if (ShouldFail(Size)) throw std::bad_alloc();
  void* P = std::malloc(Size == 0 ? 1 : Size);
  if (P == nullptr) throw std::bad_alloc();
  return P;
}

void* AllocateNoThrow(size_t Size) noexcept {
  if (ShouldFail(Size)) return nullptr;
  return std::malloc(Size == 0 ? 1 : Size);
}

}  // namespace

void Arm(size_t MinSize, int64_t Nth, int64_t Times, size_t MaxSize) {
  Armed = false;
  Threshold = MinSize;
  Ceiling = MaxSize;
  Seen = 0;
  First = Nth;
  Last = Nth + Times - 1;
  Failed = 0;
  Armed = true;
}

void Disarm() { Armed = false; }

int64_t Failures() { return Failed.load(); }

}  // namespace AllocationSeam

void* operator new(size_t Size) { return AllocationSeam::Allocate(Size); }
void* operator new[](size_t Size) { return AllocationSeam::Allocate(Size); }
void* operator new(size_t Size, const std::nothrow_t&) noexcept {
  return AllocationSeam::AllocateNoThrow(Size);
}
void* operator new[](size_t Size, const std::nothrow_t&) noexcept {
  return AllocationSeam::AllocateNoThrow(Size);
}
void operator delete(void* P) noexcept { std::free(P); }
void operator delete[](void* P) noexcept { std::free(P); }
void operator delete(void* P, size_t) noexcept { std::free(P); }
void operator delete[](void* P, size_t) noexcept { std::free(P); }
void operator delete(void* P, const std::nothrow_t&) noexcept { std::free(P); }
void operator delete[](void* P, const std::nothrow_t&) noexcept { std::free(P); }
