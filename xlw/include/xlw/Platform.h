#pragma once
// The one seam between the framework and the operating system. Windows uses
// the real Win32 calls; Linux has stand-ins with the same contracts.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "xlw/xlcall.h"

namespace xlw::platform {

using ThreadId = std::uint32_t;
using XCHAR = sdk::XCHAR;

// Thread-local storage slots.
using TlsKey = std::uintptr_t;
bool TlsAllocate(TlsKey& key);  // false when no slot is left
void* TlsGet(TlsKey key);
void TlsSet(TlsKey key, void* value);
void TlsRelease(TlsKey key);

// A process-wide lock.
class CriticalSection {
 public:
  CriticalSection();
  ~CriticalSection();
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;
  void Enter();
  void Leave();

 private:
  alignas(8) unsigned char storage_[64];
};

class Lock {
 public:
  explicit Lock(CriticalSection& cs) : cs_(cs) { cs_.Enter(); }
  ~Lock() { cs_.Leave(); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

 private:
  CriticalSection& cs_;
};

ThreadId CurrentThreadId();
// True only when the thread can be inspected and has finished.
bool ThreadHasEnded(ThreadId id);

// Libraries and their symbols.
void* LoadLibraryByName(const char* name);  // never unloaded
void* LibrarySymbol(void* library, const char* name);
void* ProcessSymbol(const char* name);  // exported by the host process itself
// Full path of the module containing the address; empty on failure.
std::string ModuleFileNameOf(const void* address);

// Separators of paths and of the search path list.
#if defined(_WIN32)
constexpr const char* kPathSeparators = "\\";
constexpr char kPathListSeparator = ';';
#else
constexpr const char* kPathSeparators = "\\/";
constexpr char kPathListSeparator = ':';
#endif

// Environment. GetEnvironment follows GetEnvironmentVariableA: the length
// copied (without NUL) when it fits, else the size needed (with NUL); 0 when
// absent or empty.
std::size_t GetEnvironment(const char* name, char* buffer, std::size_t size);
// Names compare ignoring case, as Windows does.
bool SetEnvironment(const char* name, const char* value);

enum class FileKind { Missing, File, Directory };
FileKind FileAttributes(const char* path);

// ANSI code page conversions (Windows-1252 on Linux). Each converts n input
// units into at most capacity output units and returns how many it wrote.
// Characters without an exact equivalent become '?'.
std::size_t NarrowToWide(const char* in, std::size_t n, XCHAR* out, std::size_t capacity);
std::size_t WideToNarrow(const XCHAR* in, std::size_t n, char* out, std::size_t capacity);

// Debugger output channel.
bool DebuggerPresent();
void DebugOutput(const char* text);
// Tests may route the channel to a sink; it then counts as an attached debugger.
void SetDebugSink(std::function<void(const char*)> sink);

// Top-level windows of a thread (on Linux: supplied by the host process).
struct WindowInfo {
  std::string className;  // at most 256 characters
  std::string title;      // at most 256 characters
};
// Calls visit for each window until it returns false.
void EnumThreadWindows(ThreadId thread, const std::function<bool(const WindowInfo&)>& visit);
// Case-insensitive comparison in the US English locale; true when equal.
bool EqualIgnoringCase(const char* a, std::size_t na, const char* b, std::size_t nb);

}  // namespace xlw::platform
