#include "xlw/TempMemory.h"

#include <algorithm>
#include <cstring>
#include <iostream>

#include "xlw/ThreadLocalStorage.h"
#include "xlw/Win32StreamBuf.h"
#include "xlw/XlfException.h"

namespace xlw {

ThreadLocalStorage::ThreadLocalStorage() {
  if (!platform::TlsAllocate(key_)) XLW_THROW("TLS run out of TLS indices");
}

ThreadLocalStorage::~ThreadLocalStorage() { platform::TlsRelease(key_); }

// The process-wide list of arenas: each thread finds its own through the TLS
// slot without locking; creation, pruning and ReleaseAll hold the lock.
struct TempMemoryRegistry {
  ThreadLocalStorage slot;
  platform::CriticalSection lock;
  std::vector<std::shared_ptr<TempMemory>> arenas;
};

namespace {

constexpr std::size_t kFirstBuffer = 8192;
constexpr std::size_t kSlack = 4096;  // a new buffer holds at least this beyond the request
constexpr std::size_t kAlign = 8;     // cells hold doubles and pointers

TempMemoryRegistry& Registry() {
  static TempMemoryRegistry registry;
  return registry;
}

// At load: the thread storage and its lock first, then the diagnostic stream.
class DiagnosticRedirect {
 public:
  DiagnosticRedirect() {
    Registry();
    saved_ = std::cerr.rdbuf(&buffer_);
    std::cerr << "Stream redirected to MSVC debugger" << std::endl;
  }
  ~DiagnosticRedirect() { std::cerr.rdbuf(saved_); }

 private:
  Win32StreamBuf buffer_;
  std::streambuf* saved_ = nullptr;
};

DiagnosticRedirect redirect;

}  // namespace

TempMemory* TempMemory::OfThisThread(bool create) {
  TempMemoryRegistry& r = Registry();
  auto* own = static_cast<TempMemory*>(r.slot.Get());
  if (own || !create) return own;
  platform::Lock lock(r.lock);
  r.arenas.erase(std::remove_if(r.arenas.begin(), r.arenas.end(),
                                [](const std::shared_ptr<TempMemory>& a) {
                                  return platform::ThreadHasEnded(a->thread_);
                                }),
                 r.arenas.end());
  std::shared_ptr<TempMemory> arena(new TempMemory(platform::CurrentThreadId()));
  r.arenas.push_back(arena);
  r.slot.Set(arena.get());
  return arena.get();
}

void TempMemory::NewBuffer(std::size_t size) {
  buffers_.push_back(Buffer{std::shared_ptr<char>(new char[size], CustomArrayDeleter()), size});
  ++heapAllocations_;
}

char* TempMemory::Allocate(std::size_t n, bool zeroFill) {
  if (buffers_.empty()) NewBuffer(kFirstBuffer);
  offset_ = (offset_ + kAlign - 1) / kAlign * kAlign;
  const std::size_t size = buffers_.back().size;
  if (offset_ + n > size) {
    NewBuffer(std::max(size * 3 / 2, offset_ + n + kSlack));
    offset_ = 0;
  }
  char* p = buffers_.back().data.get() + offset_;
  if (zeroFill) std::memset(p, 0, n);
  offset_ += n;
  return p;
}

void TempMemory::FreeAll() {
  buffers_.clear();
  offset_ = 0;
}

char* TempMemory::GetMemory(std::size_t n) { return OfThisThread(true)->Allocate(n, true); }

char* TempMemory::GetUnfilledMemory(std::size_t n) { return OfThisThread(true)->Allocate(n, false); }

void TempMemory::EnterCall() {
  TempMemory* own = OfThisThread(true);
  if (own->depth_ == 0) {
    // The previous outermost call's values have been read by Excel: reuse
    // the newest buffer, drop the older ones.
    if (own->buffers_.size() > 1)
      own->buffers_.erase(own->buffers_.begin(), own->buffers_.end() - 1);
    own->offset_ = 0;
  }
  ++own->depth_;
}

void TempMemory::LeaveCall() {
  if (TempMemory* own = OfThisThread(false)) --own->depth_;
}

void TempMemory::ReleaseAll() {
  TempMemoryRegistry& r = Registry();
  platform::Lock lock(r.lock);
  for (auto& arena : r.arenas) arena->FreeAll();
}

std::size_t TempMemory::RegisteredArenas() {
  TempMemoryRegistry& r = Registry();
  platform::Lock lock(r.lock);
  return r.arenas.size();
}

std::size_t TempMemory::BufferCountOfThisThread() {
  const TempMemory* own = OfThisThread(false);
  return own ? own->buffers_.size() : 0;
}

std::size_t TempMemory::CapacityOfThisThread() {
  const TempMemory* own = OfThisThread(false);
  std::size_t total = 0;
  if (own)
    for (const Buffer& b : own->buffers_) total += b.size;
  return total;
}

std::size_t TempMemory::HeapAllocationsOfThisThread() {
  const TempMemory* own = OfThisThread(false);
  return own ? own->heapAllocations_ : 0;
}

}  // namespace xlw
