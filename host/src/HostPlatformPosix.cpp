#if !defined(_WIN32)

#include <dlfcn.h>
#include <ffi.h>
#include <limits.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <stdlib.h>
#include <unistd.h>

#include "HostPlatform.h"

namespace host::os {

void* OpenLibrary(const std::string& path, std::string& error) {
  // Each add-in keeps its symbols to itself, as DLLs do.
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) error = dlerror();
  return library;
}

void CloseLibrary(void* library) { dlclose(library); }

void* Symbol(void* library, const char* name) { return dlsym(library, name); }

std::string ExecutableDirectory() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  std::string p(path, static_cast<std::size_t>(n));
  return p.substr(0, p.find_last_of('/'));
}

std::string AbsolutePath(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

std::string Environment(const std::string& name) {
  const char* value = getenv(name.c_str());
  return value ? value : "";
}

void KeepFreedMemory() {
#if defined(__GLIBC__)
  // Without this, glibc maps each array of more than 128 KiB afresh and
  // unmaps it when freed, and the kernel zeroes every page of it each time.
  mallopt(M_MMAP_THRESHOLD, 256 << 20);
  mallopt(M_TRIM_THRESHOLD, 512 << 20);
#endif
}

void* CallExported(void* function, const std::vector<Slot>& args) {
  // The signature is only known at run time, from the registered type text.
  std::vector<ffi_type*> types;
  std::vector<void*> values;
  types.reserve(args.size());
  values.reserve(args.size());
  for (const Slot& s : args) {
    types.push_back(s.isDouble ? &ffi_type_double : &ffi_type_pointer);
    values.push_back(const_cast<void*>(s.isDouble ? static_cast<const void*>(&s.number)
                                                  : static_cast<const void*>(&s.pointer)));
  }
  ffi_cif cif;
  if (ffi_prep_cif(&cif, FFI_DEFAULT_ABI, static_cast<unsigned>(args.size()), &ffi_type_pointer, types.data()) != FFI_OK)
    return nullptr;
  void* result = nullptr;
  ffi_call(&cif, FFI_FN(function), &result, values.data());
  return result;
}

}  // namespace host::os

#endif
