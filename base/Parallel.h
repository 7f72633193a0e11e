// Fork-join parallelism for the line commands: every thread is started and joined within the
// call that needs it, so none outlives it, and an exception thrown on a worker thread is
// carried back and rethrown on the thread that waits.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace Parallel {

// The most threads the default gives: beyond this the sorts gain little on memory bandwidth.
constexpr unsigned MaxDefaultThreads = 8;

// The cores this machine offers, at most MaxDefaultThreads; at least 1.
unsigned DefaultThreadCount();

// How many threads a parallel step uses, the calling thread included: the count last set, or
// DefaultThreadCount() when none was set (or 0 was).
unsigned ThreadCount();
void SetThreadCount(unsigned Count);

// Runs tasks on up to Threads threads, the owner's thread included. A task runs on a new
// thread when fewer than Threads are busy, otherwise at once on the thread that hands it in.
// Tasks may hand in further tasks; only the owner waits. Wait and the destructor join every
// thread the group started.
class TTaskGroup {
 public:
  explicit TTaskGroup(unsigned Threads = ThreadCount()) : FLimit(Threads == 0 ? 1 : Threads) {}
  TTaskGroup(const TTaskGroup&) = delete;
  TTaskGroup& operator=(const TTaskGroup&) = delete;
  ~TTaskGroup() { JoinAll(); }

  // Runs Task now, here or on a thread of its own. An exception from a task run here
  // propagates to the caller; one from a task on its own thread is kept for Wait.
  void Run(std::function<void()> Task);

  // Joins every thread started so far, those started by tasks included, then rethrows the
  // first exception a task on its own thread threw.
  void Wait();

  // True once a task on its own thread has failed, so that long tasks may stop early.
  bool Failed() const { return FFailed.load(std::memory_order_relaxed); }

 private:
  void JoinAll();

  const unsigned FLimit;
  std::atomic<unsigned> FBusy{1};  // the owner's thread counts as busy
  std::atomic<bool> FFailed{false};
  std::mutex FLock;  // guards FThreads and FError
  std::vector<std::thread> FThreads;
  std::exception_ptr FError;
};

// How many parts to cut Count items into for ForEachPart: about Grain items or more each,
// a few parts per thread so that uneven parts even out; 1 when one thread is used.
size_t PartCount(size_t Count, size_t Grain);

// The first item of Part when Count items are cut into Parts parts of nearly equal size
// (PartBegin(Count, Parts, Parts) is Count).
inline size_t PartBegin(size_t Count, size_t Parts, size_t Part) {
  return static_cast<size_t>(static_cast<unsigned long long>(Count) * Part / Parts);
}

// Calls Body(Part) once for every Part in [0, Parts), on up to ThreadCount() threads, and
// returns when all calls are done; rethrows the first exception a call threw. After a failure
// the parts not yet begun are skipped.
template <typename TBody>
void ForEachPart(size_t Parts, TBody&& Body) {
  if (Parts <= 1 || ThreadCount() <= 1) {
    for (size_t Part = 0; Part < Parts; ++Part) Body(Part);
    return;
  }
  // Parts are claimed in turn, so a thread that finishes early takes the next one.
  std::atomic<size_t> Next{0};
  std::atomic<bool> Stop{false};
  auto Work = [&] {
    try {
      for (size_t Part; !Stop.load(std::memory_order_relaxed) && (Part = Next++) < Parts;) {
        Body(Part);
      }
    } catch (...) {
      Stop = true;
      throw;
    }
  };
  TTaskGroup Group;
  const size_t Helpers = std::min<size_t>(ThreadCount(), Parts) - 1;
  for (size_t K = 0; K < Helpers; ++K) Group.Run(Work);
  std::exception_ptr Own;
  try {
    Work();
  } catch (...) {
    Own = std::current_exception();
  }
  Group.Wait();  // a helper's failure is rethrown here, after every thread has joined
  if (Own) std::rethrow_exception(Own);
}

}  // namespace Parallel
