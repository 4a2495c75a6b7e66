#pragma once
// A thread-local-storage slot allocated when the library loads.
#include "xlw/Platform.h"

namespace xlw {

class ThreadLocalStorage {
 public:
  ThreadLocalStorage();  // throws "TLS run out of TLS indices"
  ~ThreadLocalStorage();
  ThreadLocalStorage(const ThreadLocalStorage&) = delete;
  ThreadLocalStorage& operator=(const ThreadLocalStorage&) = delete;

  void* Get() const { return platform::TlsGet(key_); }
  void Set(void* value) const { platform::TlsSet(key_, value); }

 private:
  platform::TlsKey key_ = 0;
};

}  // namespace xlw
