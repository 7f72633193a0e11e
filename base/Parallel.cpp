#include "base/Parallel.h"

#include <memory>
#include <utility>

namespace Parallel {

namespace {

std::atomic<unsigned> ChosenThreads{0};  // 0: the default

}  // namespace

unsigned DefaultThreadCount() {
  // hardware_concurrency counts the processors the process may use (0 when it cannot tell).
  const unsigned Cores = std::thread::hardware_concurrency();
  return Cores == 0 ? 1 : std::min(Cores, MaxDefaultThreads);
}

unsigned ThreadCount() {
  const unsigned Chosen = ChosenThreads.load(std::memory_order_relaxed);
  return Chosen != 0 ? Chosen : DefaultThreadCount();
}

void SetThreadCount(unsigned Count) { ChosenThreads.store(Count, std::memory_order_relaxed); }

void TTaskGroup::Run(std::function<void()> Task) {
  unsigned Busy = FBusy.load(std::memory_order_relaxed);
  while (Busy < FLimit && !FBusy.compare_exchange_weak(Busy, Busy + 1, std::memory_order_relaxed)) {
  }
  if (Busy >= FLimit) {
    Task();
    return;
  }
  // The task is shared with its thread, so that it is still at hand to run here when the
  // system refuses the thread.
  std::shared_ptr<std::function<void()>> Shared;
  try {
    Shared = std::make_shared<std::function<void()>>(std::move(Task));
    std::lock_guard Guard(FLock);
    FThreads.reserve(FThreads.size() + 1);
    FThreads.emplace_back([this, Shared] {
      try {
        (*Shared)();
      } catch (...) {
        std::lock_guard Guard(FLock);
        if (!FError) FError = std::current_exception();
        FFailed = true;
      }
      FBusy.fetch_sub(1, std::memory_order_relaxed);
    });
  } catch (...) {
    FBusy.fetch_sub(1, std::memory_order_relaxed);
    if (!Shared) throw;  // out of memory before the task was handed over
    (*Shared)();         // no thread to be had: the task runs here
  }
}

void TTaskGroup::JoinAll() {
  // A task may start threads until it ends, and it ends before its own thread is joined: once
  // the list is found empty, no task is left to add to it.
  for (;;) {
    std::thread Thread;
    {
      std::lock_guard Guard(FLock);
      if (FThreads.empty()) return;
      Thread = std::move(FThreads.back());
      FThreads.pop_back();
    }
    Thread.join();
  }
}

void TTaskGroup::Wait() {
  JoinAll();
  std::exception_ptr Error;
  {
    std::lock_guard Guard(FLock);
    std::swap(Error, FError);
  }
  FFailed = false;
  if (Error) std::rethrow_exception(Error);
}

size_t PartCount(size_t Count, size_t Grain) {
  const unsigned Threads = ThreadCount();
  if (Threads <= 1 || Grain == 0) return 1;
  return std::max<size_t>(1, std::min<size_t>(Count / Grain, size_t{4} * Threads));
}

}  // namespace Parallel
