#pragma once
#include <memory>
#include <string>

#include "xlw/XlfAbstractCmdDesc.h"

namespace xlw {

struct XlfFuncDescImpl {
  int recalcPolicy = 0;  // 1: volatile
  std::string category;
  XlfArgDescList arguments;
  bool threadSafe = false;
  bool asynchronous = false;
  bool macroSheetEquivalent = false;
  bool clusterSafe = false;
};

// A worksheet function, as registered with xlfRegister.
class XlfFuncDesc : public XlfAbstractCmdDesc {
 public:
  XlfFuncDesc(const std::string& name, const std::string& alias, const std::string& comment,
              const std::string& category, bool isVolatile, bool threadSafe, const std::string& returnType,
              const std::string& helpId, bool asynchronous, bool macroSheetEquivalent, bool clusterSafe);

  int RegisterWithExcel(const std::string& dllName, const std::string& suggestedHelpId) override;
  int UnregisterFromExcel(const std::string& dllName) override;
  void WriteDoc(std::ostream& out) const override;

  const std::string& GetCategory() const { return impl_->category; }
  const std::string& GetReturnType() const { return returnType_; }
  double GetRegistrationId() const { return registrationId_; }

 private:
  std::string helpId_;
  std::string returnType_;
  std::shared_ptr<XlfFuncDescImpl> impl_;
  double registrationId_ = -1.0;  // until a registration succeeds
};

}  // namespace xlw
