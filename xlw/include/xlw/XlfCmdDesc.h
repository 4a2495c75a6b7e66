#pragma once
#include <string>

#include "xlw/XlfAbstractCmdDesc.h"

namespace xlw {

// A command: registered like a function, then put on Excel's worksheet menu bar.
class XlfCmdDesc : public XlfAbstractCmdDesc {
 public:
  XlfCmdDesc(const std::string& name, const std::string& alias, const std::string& comment,
             const std::string& menu, const std::string& menuText);

  int RegisterWithExcel(const std::string& dllName, const std::string& suggestedHelpId) override;
  int UnregisterFromExcel(const std::string& dllName) override;
  void WriteDoc(std::ostream& out) const override;

  void AddToMenuBar();
  void RemoveFromMenuBar();

 private:
  std::string menu_;
  std::string menuText_;
  double registrationId_ = -1.0;
};

}  // namespace xlw
