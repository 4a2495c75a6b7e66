#pragma once
// Per-thread scratch memory: every value handed to Excel is carved from the
// calling thread's arena and stays valid until that thread begins its next
// outermost worksheet call.
#include <cstddef>
#include <memory>
#include <vector>

#include "xlw/Platform.h"

namespace xlw {

struct CustomArrayDeleter {
  void operator()(char* p) const { delete[] p; }
};

class TempMemory {
 public:
  // n zero-filled bytes owned by the calling thread's arena.
  static char* GetMemory(std::size_t n);
  // The same without the zero fill, for a writer that sets every byte (a
  // result array of a million cells is written once instead of twice).
  static char* GetUnfilledMemory(std::size_t n);
  template <class T>
  static T* GetMemory(std::size_t count) {
    return reinterpret_cast<T*>(GetMemory(count * sizeof(T)));
  }

  static void EnterCall();  // at the start of every worksheet function
  static void LeaveCall();  // at its end, on every path
  static void ReleaseAll(); // frees every buffer of every thread

  // Observation, for tests and benchmarks.
  static std::size_t RegisteredArenas();
  static std::size_t BufferCountOfThisThread();
  static std::size_t CapacityOfThisThread();  // bytes in this thread's buffers
  static std::size_t HeapAllocationsOfThisThread();

  TempMemory(const TempMemory&) = delete;
  TempMemory& operator=(const TempMemory&) = delete;

 private:
  struct Buffer {
    std::shared_ptr<char> data;
    std::size_t size;
  };

  explicit TempMemory(platform::ThreadId thread) : thread_(thread) {}
  static TempMemory* OfThisThread(bool create);
  char* Allocate(std::size_t n, bool zeroFill);
  void NewBuffer(std::size_t size);
  void FreeAll();

  std::vector<Buffer> buffers_;  // newest last (the list reads newest first)
  std::size_t offset_ = 0;       // next free byte in the newest buffer
  platform::ThreadId thread_;
  int depth_ = 0;                // worksheet calls in progress on this thread
  std::size_t heapAllocations_ = 0;

  friend struct TempMemoryRegistry;
};

// Brackets a worksheet call: EnterCall now, LeaveCall on every way out.
class TempMemoryCall {
 public:
  TempMemoryCall() { TempMemory::EnterCall(); }
  ~TempMemoryCall() { TempMemory::LeaveCall(); }
  TempMemoryCall(const TempMemoryCall&) = delete;
  TempMemoryCall& operator=(const TempMemoryCall&) = delete;
};

}  // namespace xlw
