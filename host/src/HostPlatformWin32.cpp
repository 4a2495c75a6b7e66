#if defined(_WIN32)

#include <windows.h>

#include <cstring>
#include <type_traits>

#include "HostPlatform.h"

namespace host::os {

void* OpenLibrary(const std::string& path, std::string& error) {
  HMODULE library = LoadLibraryA(path.c_str());
  if (!library) error = "LoadLibrary failed with error " + std::to_string(GetLastError());
  return reinterpret_cast<void*>(library);
}

void CloseLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

void* Symbol(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

std::string ExecutableDirectory() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string p(path, n);
  return p.substr(0, p.find_last_of("\\/"));
}

std::string AbsolutePath(const std::string& path) {
  char full[MAX_PATH];
  const DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
  return n > 0 && n < MAX_PATH ? std::string(full, n) : path;
}

std::string Environment(const std::string& name) {
  const DWORD n = GetEnvironmentVariableA(name.c_str(), nullptr, 0);
  if (n == 0) return "";
  std::string value(n, '\0');
  const DWORD copied = GetEnvironmentVariableA(name.c_str(), &value[0], n);
  value.resize(copied);
  return value;
}

void KeepFreedMemory() {}  // the Windows heap keeps freed blocks by itself

namespace {

// Win64 passes the first four arguments in registers chosen by their type
// (XMM for doubles, general registers for pointers) and the rest in 8-byte
// stack slots whatever their type. So the first four are typed exactly and
// the rest go as the 8 bytes of a double; surplus arguments are harmless,
// the caller cleans the stack.
constexpr std::size_t kMaxArgs = 16;

template <class T>
T As(const std::vector<Slot>& s, std::size_t i) {
  if constexpr (std::is_same<T, double>::value) {
    if (i >= s.size()) return 0.0;
    if (s[i].isDouble) return s[i].number;
    double bits;
    std::memcpy(&bits, &s[i].pointer, sizeof bits);
    return bits;
  } else {
    return i < s.size() && !s[i].isDouble ? s[i].pointer : nullptr;
  }
}

template <class A, class B, class C, class D>
void* Invoke(void* function, const std::vector<Slot>& s) {
  using Fn = void* (*)(A, B, C, D, double, double, double, double, double, double, double, double, double, double,
                       double, double);
  return reinterpret_cast<Fn>(function)(As<A>(s, 0), As<B>(s, 1), As<C>(s, 2), As<D>(s, 3), As<double>(s, 4),
                                        As<double>(s, 5), As<double>(s, 6), As<double>(s, 7), As<double>(s, 8),
                                        As<double>(s, 9), As<double>(s, 10), As<double>(s, 11), As<double>(s, 12),
                                        As<double>(s, 13), As<double>(s, 14), As<double>(s, 15));
}

template <class... Chosen>
void* Dispatch(void* function, const std::vector<Slot>& s) {
  constexpr std::size_t i = sizeof...(Chosen);
  if constexpr (i == 4) {
    return Invoke<Chosen...>(function, s);
  } else {
    if (i < s.size() && !s[i].isDouble) return Dispatch<Chosen..., void*>(function, s);
    return Dispatch<Chosen..., double>(function, s);
  }
}

}  // namespace

void* CallExported(void* function, const std::vector<Slot>& args) {
#if defined(_WIN64)
  if (args.size() > kMaxArgs) return nullptr;
  return Dispatch<>(function, args);
#else
  (void)function;
  (void)args;
  return nullptr;  // the 32-bit host is not built: __stdcall callees pop their own arguments
#endif
}

}  // namespace host::os

#endif
