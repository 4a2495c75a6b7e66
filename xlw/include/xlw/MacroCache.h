#pragma once
// Actions to run when the add-in opens, closes or is removed.
#include <memory>
#include <vector>

namespace xlw {

struct Open {};
struct Close {};
struct Remove {};

class MacroCacheAction {
 public:
  virtual ~MacroCacheAction() = default;
  virtual void Execute() = 0;
};

template <class Tag>
class MacroCache {
 public:
  static MacroCache& Instance() {
    static MacroCache cache;
    return cache;
  }
  void Add(std::unique_ptr<MacroCacheAction> action) { actions_.push_back(std::move(action)); }
  void ExecuteMacros() {
    for (auto& action : actions_) action->Execute();
  }

 private:
  std::vector<std::unique_ptr<MacroCacheAction>> actions_;
};

}  // namespace xlw
