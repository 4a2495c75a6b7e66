#include "xlw/TempMemory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

using xlw::TempMemory;

namespace {

TEST(TempMemory, OutermostCallsReuseTheArenaNestedCallsDoNot) {
  TempMemory::EnterCall();
  char* first = TempMemory::GetMemory(100);
  std::memset(first, 'a', 100);
  TempMemory::LeaveCall();

  TempMemory::EnterCall();
  char* second = TempMemory::GetMemory(100);
  EXPECT_EQ(second, first) << "the previous call's memory is recycled";
  EXPECT_EQ(second[0], 0) << "and handed out zero-filled";
  std::memset(second, 'b', 100);
  TempMemory::EnterCall();  // nested
  char* nested = TempMemory::GetMemory(100);
  EXPECT_NE(nested, second);
  EXPECT_EQ(second[99], 'b') << "a nested call recycles nothing";
  TempMemory::LeaveCall();
  TempMemory::LeaveCall();
}

TEST(TempMemory, LargeRequestsGrowTheArena) {
  TempMemory::EnterCall();
  TempMemory::GetMemory(1000);
  const std::size_t before = TempMemory::CapacityOfThisThread();
  char* big = TempMemory::GetMemory(before * 4);
  big[before * 4 - 1] = 1;
  EXPECT_GE(TempMemory::CapacityOfThisThread() - before, before * 4 + 4096);
  EXPECT_EQ(TempMemory::BufferCountOfThisThread(), 2u) << "the old buffer stays until the next call";
  TempMemory::LeaveCall();
  TempMemory::EnterCall();
  EXPECT_EQ(TempMemory::BufferCountOfThisThread(), 1u);
  TempMemory::LeaveCall();
}

TEST(TempMemory, SteadyStateTakesNothingFromTheHeap) {
  for (int i = 0; i < 3; ++i) {
    xlw::TempMemoryCall call;
    TempMemory::GetMemory(50000);
  }
  const std::size_t heap = TempMemory::HeapAllocationsOfThisThread();
  for (int i = 0; i < 100; ++i) {
    xlw::TempMemoryCall call;
    TempMemory::GetMemory(50000);
  }
  EXPECT_EQ(TempMemory::HeapAllocationsOfThisThread(), heap);
}

TEST(TempMemory, ThreadsUseTheirOwnArenasConcurrently) {
  constexpr int kThreads = 8;
  std::atomic<int> ready{0};
  std::atomic<int> corrupted{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      ++ready;
      while (ready < kThreads) std::this_thread::yield();
      for (int round = 0; round < 200; ++round) {
        xlw::TempMemoryCall call;
        std::vector<char*> blocks;
        for (int k = 0; k < 20; ++k) {
          char* p = TempMemory::GetMemory(64 + 97 * k);
          std::memset(p, 'A' + t, 64 + 97 * k);
          blocks.push_back(p);
        }
        for (int k = 0; k < 20; ++k)
          for (int b = 0; b < 64 + 97 * k; ++b)
            if (blocks[k][b] != 'A' + t) ++corrupted;
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(corrupted, 0);
}

TEST(TempMemory, EndedThreadsArePrunedWhenAnotherThreadArrives) {
  TempMemory::GetMemory(8);  // this thread's arena exists
  std::thread([] { TempMemory::GetMemory(8); }).join();  // prunes earlier tests' threads
  const std::size_t afterFirst = TempMemory::RegisteredArenas();
  std::thread([] { TempMemory::GetMemory(8); }).join();
  EXPECT_EQ(TempMemory::RegisteredArenas(), afterFirst) << "the first thread's arena made way";
  std::thread second([] { TempMemory::GetMemory(8); });
  second.join();
  TempMemory::GetMemory(8);  // an existing arena prunes nothing
  EXPECT_EQ(TempMemory::RegisteredArenas(), afterFirst);
}

TEST(TempMemory, ReleaseAllFreesEveryBuffer) {
  TempMemory::GetMemory(100);
  EXPECT_GT(TempMemory::CapacityOfThisThread(), 0u);
  TempMemory::ReleaseAll();
  EXPECT_EQ(TempMemory::CapacityOfThisThread(), 0u);
  EXPECT_NE(TempMemory::GetMemory(10), nullptr);
}

}  // namespace
