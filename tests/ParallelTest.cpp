// The fork-join facility: every part runs once, every thread is joined before the call
// returns, and a worker's exception reaches the caller.
#include "base/Parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

// Sets the thread count for one test and restores the default afterwards.
class ThreadCountScope {
 public:
  explicit ThreadCountScope(unsigned Count) { Parallel::SetThreadCount(Count); }
  ~ThreadCountScope() { Parallel::SetThreadCount(0); }
};

TEST(ParallelThreads, DefaultIsTheCoresAtMostEight) {
  const unsigned Default = Parallel::DefaultThreadCount();
  EXPECT_GE(Default, 1u);
  EXPECT_LE(Default, Parallel::MaxDefaultThreads);
  const unsigned Cores = std::thread::hardware_concurrency();
  if (Cores != 0) {
    EXPECT_EQ(Default, std::min(Cores, Parallel::MaxDefaultThreads));
  }
  ThreadCountScope Scope(3);
  EXPECT_EQ(Parallel::ThreadCount(), 3u);
  Parallel::SetThreadCount(0);
  EXPECT_EQ(Parallel::ThreadCount(), Default);
}

TEST(ParallelThreads, EveryPartRunsOnceOnAtMostTheGivenThreads) {
  for (unsigned Threads : {1u, 2u, 8u}) {
    ThreadCountScope Scope(Threads);
    std::vector<std::atomic<int>> Runs(1000);
    std::mutex Lock;
    std::set<std::thread::id> Seen;
    Parallel::ForEachPart(Runs.size(), [&](size_t Part) {
      ++Runs[Part];
      std::lock_guard Guard(Lock);
      Seen.insert(std::this_thread::get_id());
    });
    for (const auto& R : Runs) ASSERT_EQ(R.load(), 1);
    EXPECT_LE(Seen.size(), Threads);
  }
}

TEST(ParallelThreads, PartsCoverTheItemsWithoutOverlap) {
  for (size_t Count : {0u, 1u, 7u, 4096u, 100003u}) {
    for (size_t Parts : {1u, 3u, 32u}) {
      EXPECT_EQ(Parallel::PartBegin(Count, Parts, 0), 0u);
      EXPECT_EQ(Parallel::PartBegin(Count, Parts, Parts), Count);
      for (size_t P = 0; P < Parts; ++P) {
        EXPECT_LE(Parallel::PartBegin(Count, Parts, P), Parallel::PartBegin(Count, Parts, P + 1));
      }
    }
  }
  ThreadCountScope One(1);
  EXPECT_EQ(Parallel::PartCount(1000000, 10), 1u);
  Parallel::SetThreadCount(2);
  EXPECT_EQ(Parallel::PartCount(100, 1000), 1u);
  EXPECT_GT(Parallel::PartCount(1000000, 1000), 1u);
}

TEST(ParallelThreads, AWorkersExceptionReachesTheCallerAfterAllThreadsJoin) {
  ThreadCountScope Scope(4);
  std::atomic<int> Finished{0};
  for (int Round = 0; Round < 20; ++Round) {
    Finished = 0;
    EXPECT_THROW(Parallel::ForEachPart(64,
                                       [&](size_t Part) {
                                         if (Part == 5) throw std::length_error("part five");
                                         ++Finished;
                                       }),
                 std::length_error);
    // Parts after the failure may be skipped, never run twice or left running.
    const int Seen = Finished.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(Finished.load(), Seen);
    EXPECT_LE(Seen, 63);
  }
}

TEST(ParallelThreads, TasksStartedByTasksAreJoinedAndTheirFailureRethrown) {
  ThreadCountScope Scope(3);
  std::atomic<int> Done{0};
  Parallel::TTaskGroup Group;
  // A binary tree of tasks, each handing in its two children, as the quicksort does.
  std::function<void(int)> Node = [&](int Depth) {
    if (Depth > 0) {
      Group.Run([&, Depth] { Node(Depth - 1); });
      Group.Run([&, Depth] { Node(Depth - 1); });
    }
    ++Done;
  };
  Group.Run([&] { Node(7); });
  Group.Wait();
  EXPECT_EQ(Done.load(), 255);

  // Both failing tasks run on threads of their own (a thread is free for each), the inner one
  // on a new thread or on its parent's: either way the failure is kept for Wait.
  Group.Run([] { throw std::runtime_error("nested"); });
  Group.Run([&] { Group.Run([] { throw std::runtime_error("deeper"); }); });
  EXPECT_THROW(Group.Wait(), std::runtime_error);
  EXPECT_FALSE(Group.Failed());
  Group.Wait();  // the failure is reported once
}

}  // namespace
