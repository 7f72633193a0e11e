// Runs a check once with each form of the vector scans the build can take (base/Simd.h): the
// forms the processor allows and, where they are chosen at run time and the processor has
// SSE2, once more with the plain forms, so that one run checks both against the same reference.
#pragma once

#include <gtest/gtest.h>

#include "base/Simd.h"

template <class TCheck>
void ForEachScanForm(TCheck&& Check) {
  {
    SCOPED_TRACE(Simd::UseSse2() ? "SSE2 forms" : "plain forms");
    Check();
  }
#if TARNWICK_SSE2_AT_RUN_TIME
  if (!Simd::UseSse2()) return;
  struct TPlain {
    TPlain() { Simd::SetPlainForms(true); }
    ~TPlain() { Simd::SetPlainForms(false); }
  } Plain;
  SCOPED_TRACE("plain forms, forced");
  Check();
#endif
}
