#pragma once
// The host's own few operating-system services.
#include <string>
#include <vector>

namespace host::os {

void* OpenLibrary(const std::string& path, std::string& error);
void CloseLibrary(void* library);
void* Symbol(void* library, const char* name);
std::string ExecutableDirectory();
std::string AbsolutePath(const std::string& path);
// The process environment as the operating system holds it (on Windows the C
// runtime keeps a copy that SetEnvironmentVariable does not update).
std::string Environment(const std::string& name);
// A job builds and drops arrays of many thousand cells, formula after
// formula: keep the memory they free for the next rather than giving it back.
void KeepFreedMemory();

// One argument of an exported worksheet function: a double ("B") or a cell pointer.
struct Slot {
  bool isDouble = false;
  double number = 0;
  void* pointer = nullptr;
};
// Calls a function returning a pointer with these arguments, by the platform's convention.
void* CallExported(void* function, const std::vector<Slot>& args);

}  // namespace host::os
