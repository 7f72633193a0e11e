#include "base/Simd.h"

#if TARNWICK_SSE2_AT_RUN_TIME

namespace Simd {

namespace Detail {

std::atomic<signed char> Sse2State{-1};

bool DetectSse2() noexcept {
  // The processor is asked here rather than trusting the runtime's start-up to have asked it
  // already: a scan may run from another library's constructor. Threads that ask at the same
  // time store the same answer.
  __builtin_cpu_init();
  const bool Has = __builtin_cpu_supports("sse2") != 0;
  Sse2State.store(Has ? 1 : 0, std::memory_order_relaxed);
  return Has;
}

}  // namespace Detail

void SetPlainForms(bool Plain) noexcept {
  if (Plain) {
    Detail::Sse2State.store(0, std::memory_order_relaxed);
  } else {
    Detail::DetectSse2();
  }
}

}  // namespace Simd

#endif
