#include "xlw/Registry.h"

namespace xlw::XLRegistration {

ExcelFunctionRegistrationRegistry& ExcelFunctionRegistrationRegistry::Instance() {
  static ExcelFunctionRegistrationRegistry registry;
  return registry;
}

void ExcelFunctionRegistrationRegistry::AddFunctionRecord(const FunctionRegistration& r) {
  auto desc = std::make_shared<XlfFuncDesc>(r.functionName, r.excelName, r.help, r.category, r.isVolatile,
                                            r.threadSafe, r.returnType, r.helpId, r.asynchronous,
                                            r.macroSheetEquivalent, r.clusterSafe);
  XlfArgDescList arguments;
  for (int i = 0; i < r.argumentCount; ++i)
    arguments.emplace_back(r.arguments[i].name, r.arguments[i].help, r.arguments[i].type);
  desc->SetArguments(arguments);
  functions_[r.excelName] = desc;  // a second record of the same name replaces the first
  if (r.appended)
    appended_.insert(r.excelName);
  else
    appended_.erase(r.excelName);
}

void ExcelFunctionRegistrationRegistry::AddCommand(const std::shared_ptr<XlfCmdDesc>& command) {
  commands_[command->GetAlias()] = command;
}

void ExcelFunctionRegistrationRegistry::RegisterAll() {
  int index = 1;  // help topics count from 1 in registration order
  for (bool appended : {false, true})
    for (auto& f : functions_)
      if ((appended_.count(f.first) != 0) == appended) f.second->Register(index++);
  for (auto& c : commands_) {
    c.second->Register(index++);
    c.second->AddToMenuBar();
  }
}

void ExcelFunctionRegistrationRegistry::UnregisterAll() {
  for (auto& f : functions_) f.second->Unregister();
  while (!commands_.empty()) {
    auto command = commands_.begin()->second;
    commands_.erase(commands_.begin());
    command->RemoveFromMenuBar();
    command->Unregister();
  }
}

}  // namespace xlw::XLRegistration
