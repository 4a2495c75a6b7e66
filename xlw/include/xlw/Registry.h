#pragma once
// Worksheet functions file themselves here during static initialisation;
// xlAutoOpen registers them with Excel in byte order of their Excel names,
// the original functions first, then those appended since.
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "xlw/XlfCmdDesc.h"
#include "xlw/XlfFuncDesc.h"

namespace xlw::XLRegistration {

struct Arg {
  const char* name;
  const char* help;
  const char* type;  // "XLF_OPER", "B", ...
};

struct FunctionRegistration {
  const char* functionName;  // the exported procedure
  const char* excelName;     // the worksheet name
  const char* help;
  const char* category;
  const Arg* arguments;
  int argumentCount;
  bool isVolatile = false;
  bool threadSafe = false;
  const char* returnType = "";
  const char* helpId = "";
  bool asynchronous = false;
  bool macroSheetEquivalent = false;
  bool clusterSafe = false;
  // Registered after every original function, so that the original ones keep
  // their help-topic indices when functions are added.
  bool appended = false;
};

class ExcelFunctionRegistrationRegistry {
 public:
  static ExcelFunctionRegistrationRegistry& Instance();

  void AddFunctionRecord(const FunctionRegistration& record);
  void AddCommand(const std::shared_ptr<XlfCmdDesc>& command);
  void RegisterAll();
  void UnregisterAll();

  const std::map<std::string, std::shared_ptr<XlfFuncDesc>>& Functions() const { return functions_; }

  // The add-in's long name, which Excel's add-in manager shows instead of the
  // file name (xlAddInManagerInfo); empty until the add-in files one.
  void SetAddinName(const std::string& name) { addinName_ = name; }
  const std::string& AddinName() const { return addinName_; }

 private:
  std::map<std::string, std::shared_ptr<XlfFuncDesc>> functions_;  // keyed by Excel name
  std::set<std::string> appended_;                                  // names registered last
  std::map<std::string, std::shared_ptr<XlfCmdDesc>> commands_;
  std::string addinName_;
};

// A static object of this type files one worksheet function.
class XLFunctionRegistrationHelper {
 public:
  explicit XLFunctionRegistrationHelper(const FunctionRegistration& record) {
    ExcelFunctionRegistrationRegistry::Instance().AddFunctionRecord(record);
  }
};

// A static object of this type files the add-in's long name.
class XLAddinNameRegistration {
 public:
  explicit XLAddinNameRegistration(const char* name) {
    ExcelFunctionRegistrationRegistry::Instance().SetAddinName(name);
  }
};

}  // namespace xlw::XLRegistration
