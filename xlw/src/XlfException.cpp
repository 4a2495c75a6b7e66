#include "xlw/XlfException.h"

#include <iostream>

namespace xlw::detail {

void Report(const char* file, int line, const std::string& message) {
  // Only the file's own name: the build directory means nothing to a reader.
  std::string name = file;
  const std::size_t slash = name.find_last_of("/\\");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  std::cerr << name << ":" << line << ": " << message << std::endl;
}

void ThrowGeneral(const char* file, int line, const std::string& message) {
  Report(file, line, message);
  throw XlfGeneralException(message);
}

}  // namespace xlw::detail
