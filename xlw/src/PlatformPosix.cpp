// Linux stand-ins for the Windows services the framework uses.
#if !defined(_WIN32)

#include <dlfcn.h>
#include <pthread.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

extern char** environ;

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <new>

#include "xlw/CodePage1252.h"
#include "xlw/Platform.h"

namespace xlw::platform {

bool TlsAllocate(TlsKey& key) {
  pthread_key_t k;
  if (pthread_key_create(&k, nullptr) != 0) return false;
  key = static_cast<TlsKey>(k);
  return true;
}
void* TlsGet(TlsKey key) { return pthread_getspecific(static_cast<pthread_key_t>(key)); }
void TlsSet(TlsKey key, void* value) { pthread_setspecific(static_cast<pthread_key_t>(key), value); }
void TlsRelease(TlsKey key) { pthread_key_delete(static_cast<pthread_key_t>(key)); }

static_assert(sizeof(std::recursive_mutex) <= 64, "critical section storage");
CriticalSection::CriticalSection() { new (storage_) std::recursive_mutex; }
CriticalSection::~CriticalSection() { reinterpret_cast<std::recursive_mutex*>(storage_)->~recursive_mutex(); }
void CriticalSection::Enter() { reinterpret_cast<std::recursive_mutex*>(storage_)->lock(); }
void CriticalSection::Leave() { reinterpret_cast<std::recursive_mutex*>(storage_)->unlock(); }

ThreadId CurrentThreadId() { return static_cast<ThreadId>(syscall(SYS_gettid)); }

bool ThreadHasEnded(ThreadId id) {
  // A thread of this process that has finished is gone from /proc.
  char path[64];
  std::snprintf(path, sizeof path, "/proc/self/task/%u", static_cast<unsigned>(id));
  struct stat st;
  return stat(path, &st) != 0;
}

void* LoadLibraryByName(const char* name) {
  // XLCALL32.DLL's call-backs are exported by the host program itself.
  if (std::strcmp(name, "XLCALL32.DLL") == 0) return dlopen(nullptr, RTLD_NOW);
  return dlopen(name, RTLD_NOW | RTLD_LOCAL);
}

void* LibrarySymbol(void* library, const char* name) { return library ? dlsym(library, name) : nullptr; }

void* ProcessSymbol(const char* name) {
  static void* self = dlopen(nullptr, RTLD_NOW);
  return self ? dlsym(self, name) : nullptr;
}

std::string ModuleFileNameOf(const void* address) {
  Dl_info info;
  if (dladdr(address, &info) == 0 || !info.dli_fname) return {};
  char resolved[4096];
  if (realpath(info.dli_fname, resolved)) return resolved;
  return info.dli_fname;
}

std::size_t GetEnvironment(const char* name, char* buffer, std::size_t size) {
  const char* value = std::getenv(name);
  if (!value || !*value) return 0;
  const std::size_t n = std::strlen(value);
  if (n + 1 > size) return n + 1;
  std::memcpy(buffer, value, n + 1);
  return n;
}

bool SetEnvironment(const char* name, const char* value) {
  // Windows' variable names ignore case: set the existing one of any case.
  std::string target = name;
  for (char** e = environ; *e; ++e) {
    const char* eq = std::strchr(*e, '=');
    if (eq && static_cast<std::size_t>(eq - *e) == target.size() && strncasecmp(*e, name, target.size()) == 0) {
      target.assign(*e, static_cast<std::size_t>(eq - *e));
      break;
    }
  }
  return setenv(target.c_str(), value, 1) == 0;
}

FileKind FileAttributes(const char* path) {
  // Paths are built the Windows way; a backslash is a separator here too.
  std::string posix = path;
  for (char& c : posix)
    if (c == '\\') c = '/';
  struct stat st;
  if (stat(posix.c_str(), &st) != 0) return FileKind::Missing;
  return S_ISDIR(st.st_mode) ? FileKind::Directory : FileKind::File;
}

std::size_t NarrowToWide(const char* in, std::size_t n, XCHAR* out, std::size_t capacity) {
  const std::size_t m = n < capacity ? n : capacity;
  for (std::size_t i = 0; i < m; ++i) out[i] = cp1252::ToUnit(static_cast<unsigned char>(in[i]));
  return m;
}

std::size_t WideToNarrow(const XCHAR* in, std::size_t n, char* out, std::size_t capacity) {
  const std::size_t m = n < capacity ? n : capacity;
  for (std::size_t i = 0; i < m; ++i) out[i] = cp1252::ToByte(static_cast<char16_t>(in[i]));
  return m;
}

namespace detail {

bool TracerAttached() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("TracerPid:", 0) == 0) return std::atoi(line.c_str() + 10) != 0;
  return false;
}

void WriteToDebugger(const char* text) {
  // The tracer reads the process's original error output.
  const std::size_t n = std::strlen(text);
  if (write(STDERR_FILENO, text, n) < 0) return;
}

}  // namespace detail

void EnumThreadWindows(ThreadId thread, const std::function<bool(const WindowInfo&)>& visit) {
  // The host (our substitute Excel) publishes its windows through this hook.
  using Visit = int (*)(void* context, const char* className, const char* title);
  using HostEnum = void (*)(std::uint32_t thread, Visit visit, void* context);
  auto hostEnum = reinterpret_cast<HostEnum>(ProcessSymbol("XlHostEnumThreadWindows"));
  if (!hostEnum) return;
  struct Context {
    const std::function<bool(const WindowInfo&)>* visit;
  } context{&visit};
  hostEnum(
      thread,
      [](void* c, const char* className, const char* title) -> int {
        WindowInfo w{std::string(className).substr(0, 256), std::string(title).substr(0, 256)};
        return (*static_cast<Context*>(c)->visit)(w) ? 1 : 0;
      },
      &context);
}

bool EqualIgnoringCase(const char* a, std::size_t na, const char* b, std::size_t nb) {
  return na == nb && strncasecmp(a, b, na) == 0;
}

}  // namespace xlw::platform

#endif
