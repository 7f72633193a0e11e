// Which form of a scan runs: the SSE2 form (sixteen bytes a step) or the plain one. Every
// x86-64 processor has SSE2, so a build for it (or any build with SSE2 switched on) compiles
// the SSE2 forms alone and calls them directly. The 32-bit x86 build may run on a processor
// without SSE2: it compiles both forms, the SSE2 one for that instruction set alone
// (TARNWICK_SSE2_FUNCTION), and takes it where the processor has SSE2, found out once.
//
// A unit with an SSE2 form writes it under #if TARNWICK_SSE2 as a TARNWICK_SSE2_FORM function
// (with TARNWICK_SSE2_FUNCTION helpers), and chooses with
//   if (Simd::UseSse2()) return FormSse2(...);   // a constant on x86-64: no test is made
//   return FormPlain(...);
// Where no choice is made the form is inlined into the choosing function, whose code is then
// what it would be without the choice.
// The SSE2 forms read and write the text with unaligned loads and stores. The 32-bit Windows
// compiler takes the stack to be aligned to four bytes only (as the editor may call), so any
// vector it keeps there is moved unaligned as well: no form needs the stack realigned.
#pragma once

#if defined(__SSE2__)
#define TARNWICK_SSE2 1
#define TARNWICK_SSE2_AT_RUN_TIME 0
#define TARNWICK_SSE2_FUNCTION
#define TARNWICK_SSE2_FORM [[gnu::always_inline]] inline
#elif defined(__i386__) && defined(__GNUC__)
#define TARNWICK_SSE2 1
#define TARNWICK_SSE2_AT_RUN_TIME 1
#define TARNWICK_SSE2_FUNCTION __attribute__((target("sse2")))
#define TARNWICK_SSE2_FORM __attribute__((target("sse2")))
#else
#define TARNWICK_SSE2 0
#define TARNWICK_SSE2_AT_RUN_TIME 0
#define TARNWICK_SSE2_FUNCTION
#define TARNWICK_SSE2_FORM
#endif

#if TARNWICK_SSE2_AT_RUN_TIME
#include <atomic>
#endif

namespace Simd {

#if TARNWICK_SSE2_AT_RUN_TIME

namespace Detail {
// 1 when the SSE2 forms run, 0 when the plain ones do, -1 before the processor is asked.
extern std::atomic<signed char> Sse2State;
// Asks the processor, records the answer in Sse2State and returns it.
bool DetectSse2() noexcept;
}  // namespace Detail

// Whether the SSE2 forms run: the processor's answer, unless SetPlainForms(true) was called.
inline bool UseSse2() noexcept {
  const signed char State = Detail::Sse2State.load(std::memory_order_relaxed);
  return State < 0 ? Detail::DetectSse2() : State != 0;
}

// Makes every scan take its plain form (Plain) or the form the processor allows (!Plain), so
// that the tests check both forms on one machine. Not for use while scans run on other threads.
// Only the builds that choose at run time (TARNWICK_SSE2_AT_RUN_TIME) have it.
void SetPlainForms(bool Plain) noexcept;

#else

constexpr bool UseSse2() noexcept { return TARNWICK_SSE2 != 0; }

#endif

}  // namespace Simd
