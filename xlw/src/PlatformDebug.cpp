// The debugger output channel, with the sink tests may put in its place.
#include <mutex>

#include "xlw/Platform.h"

namespace xlw::platform {

namespace detail {
bool TracerAttached();                    // a debugger is attached
void WriteToDebugger(const char* text);  // what the debugger shows
}  // namespace detail

namespace {
std::mutex sinkMutex;
std::function<void(const char*)>& Sink() {
  static std::function<void(const char*)> sink;
  return sink;
}
}  // namespace

bool DebuggerPresent() {
  {
    std::lock_guard<std::mutex> lock(sinkMutex);
    if (Sink()) return true;
  }
  return detail::TracerAttached();
}

void DebugOutput(const char* text) {
  {
    std::lock_guard<std::mutex> lock(sinkMutex);
    if (Sink()) {
      Sink()(text);
      return;
    }
  }
  detail::WriteToDebugger(text);
}

void SetDebugSink(std::function<void(const char*)> sink) {
  std::lock_guard<std::mutex> lock(sinkMutex);
  Sink() = std::move(sink);
}

}  // namespace xlw::platform
