// The Win32 side of the platform seam.
#if defined(_WIN32)

#include <windows.h>

#include <cstring>
#include <mutex>
#include <new>

#include "xlw/Platform.h"

namespace xlw::platform {

bool TlsAllocate(TlsKey& key) {
  const DWORD index = TlsAlloc();
  if (index == TLS_OUT_OF_INDEXES) return false;
  key = index;
  return true;
}
void* TlsGet(TlsKey key) { return TlsGetValue(static_cast<DWORD>(key)); }
void TlsSet(TlsKey key, void* value) { TlsSetValue(static_cast<DWORD>(key), value); }
void TlsRelease(TlsKey key) { TlsFree(static_cast<DWORD>(key)); }

static_assert(sizeof(CRITICAL_SECTION) <= 64, "critical section storage");
CriticalSection::CriticalSection() { InitializeCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_)); }
CriticalSection::~CriticalSection() { DeleteCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_)); }
void CriticalSection::Enter() { EnterCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_)); }
void CriticalSection::Leave() { LeaveCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_)); }

ThreadId CurrentThreadId() { return GetCurrentThreadId(); }

bool ThreadHasEnded(ThreadId id) {
  HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, id);
  if (!thread) return false;  // cannot be inspected: keep it
  DWORD code = 0;
  const bool ended = GetExitCodeThread(thread, &code) && code != STILL_ACTIVE;
  CloseHandle(thread);
  return ended;
}

void* LoadLibraryByName(const char* name) { return reinterpret_cast<void*>(LoadLibraryA(name)); }

void* LibrarySymbol(void* library, const char* name) {
  return library ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name)) : nullptr;
}

void* ProcessSymbol(const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(nullptr), name));
}

std::string ModuleFileNameOf(const void* address) {
  MEMORY_BASIC_INFORMATION info;
  if (!VirtualQuery(address, &info, sizeof info)) return {};
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(static_cast<HMODULE>(info.AllocationBase), path, MAX_PATH);
  if (n == 0) return {};
  return std::string(path, n);
}

std::size_t GetEnvironment(const char* name, char* buffer, std::size_t size) {
  return GetEnvironmentVariableA(name, buffer, static_cast<DWORD>(size));
}

bool SetEnvironment(const char* name, const char* value) { return SetEnvironmentVariableA(name, value) != 0; }

FileKind FileAttributes(const char* path) {
  const DWORD a = GetFileAttributesA(path);
  if (a == INVALID_FILE_ATTRIBUTES) return FileKind::Missing;
  return (a & FILE_ATTRIBUTE_DIRECTORY) ? FileKind::Directory : FileKind::File;
}

std::size_t NarrowToWide(const char* in, std::size_t n, XCHAR* out, std::size_t capacity) {
  if (n == 0 || capacity == 0) return 0;
  const int m = MultiByteToWideChar(CP_ACP, 0, in, static_cast<int>(n), out, static_cast<int>(capacity));
  return m > 0 ? static_cast<std::size_t>(m) : 0;
}

std::size_t WideToNarrow(const XCHAR* in, std::size_t n, char* out, std::size_t capacity) {
  if (n == 0 || capacity == 0) return 0;
  const int m = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, in, static_cast<int>(n), out,
                                    static_cast<int>(capacity), nullptr, nullptr);
  return m > 0 ? static_cast<std::size_t>(m) : 0;
}

namespace detail {
bool TracerAttached() { return IsDebuggerPresent() != 0; }
void WriteToDebugger(const char* text) { OutputDebugStringA(text); }
}  // namespace detail

namespace {
struct EnumContext {
  const std::function<bool(const WindowInfo&)>* visit;
};

BOOL CALLBACK VisitWindow(HWND hwnd, LPARAM lParam) {
  char className[257] = {0};
  char title[257] = {0};
  GetClassNameA(hwnd, className, 256);
  GetWindowTextA(hwnd, title, 256);
  return (*reinterpret_cast<EnumContext*>(lParam)->visit)(WindowInfo{className, title}) ? TRUE : FALSE;
}
}  // namespace

void EnumThreadWindows(ThreadId thread, const std::function<bool(const WindowInfo&)>& visit) {
  EnumContext context{&visit};
  ::EnumThreadWindows(thread, VisitWindow, reinterpret_cast<LPARAM>(&context));
}

bool EqualIgnoringCase(const char* a, std::size_t na, const char* b, std::size_t nb) {
  return CompareStringA(1033, NORM_IGNORECASE, a, static_cast<int>(na), b, static_cast<int>(nb)) == CSTR_EQUAL;
}

}  // namespace xlw::platform

#endif
