#pragma once
#include <ostream>
#include <string>

#include "xlw/XlfArgDesc.h"

namespace xlw {

// What every registered function or command has in common.
class XlfAbstractCmdDesc {
 public:
  XlfAbstractCmdDesc(const std::string& name, const std::string& alias, const std::string& comment);
  virtual ~XlfAbstractCmdDesc() = default;

  virtual int RegisterWithExcel(const std::string& dllName, const std::string& suggestedHelpId) = 0;
  virtual int UnregisterFromExcel(const std::string& dllName) = 0;
  virtual void WriteDoc(std::ostream& out) const = 0;

  // Registers with the help index given (its place in the registration order).
  void Register(int index);
  void Unregister();

  const std::string& GetName() const { return name_; }    // the exported procedure
  const std::string& GetAlias() const { return alias_; }  // the name Excel shows
  const std::string& GetComment() const { return comment_; }
  const XlfArgDescList& GetArguments() const { return arguments_; }
  void SetArguments(const XlfArgDescList& arguments) { arguments_ = arguments; }

 private:
  std::string name_;
  std::string alias_;
  std::string comment_;
  XlfArgDescList arguments_;
};

}  // namespace xlw
