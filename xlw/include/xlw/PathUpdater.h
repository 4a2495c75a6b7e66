#pragma once

namespace xlw {

// Appends the directory of the library containing address to the process's
// search path, so that libraries beside the add-in are found (after all others).
class PathUpdater {
 public:
  explicit PathUpdater(const void* address);
};

}  // namespace xlw
