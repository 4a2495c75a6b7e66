#include "xlw/PathUpdater.h"

#include <iostream>

#include "xlw/PascalStringConversions.h"
#include "xlw/Platform.h"
#include "xlw/XlfServices.h"

namespace xlw {

PathUpdater::PathUpdater(const void* address) {
  const std::string path = GetEnv("PATH");
  const std::string library = platform::ModuleFileNameOf(address);
  if (library.empty()) {
    std::cerr << " Could not attain path of DLL" << std::endl;
  } else {
    XlfServices::SetStatusBar(library);
    if (!path.empty()) {
      const std::size_t cut = library.find_last_of(platform::kPathSeparators);
      const std::string directory = library.substr(0, cut == std::string::npos ? 0 : cut);
      if (platform::SetEnvironment("Path", (path + platform::kPathListSeparator + directory).c_str())) {
        std::cerr << " PATH set successfully " << std::endl;
        return;
      }
      std::cerr << " SetEnvironmentVariable failed to set PATH" << std::endl;
    }
  }
  std::cerr << " Warning: Unable to initialise PATH to directory of library " << std::endl;
}

}  // namespace xlw
