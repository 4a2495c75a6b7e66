// The entry points Excel calls on the add-in as a whole. Compiled into each
// add-in, beside its worksheet functions.
#include <iostream>
#include <type_traits>

#include "xlw/MacroCache.h"
#include "xlw/PascalStringConversions.h"
#include "xlw/PathUpdater.h"
#include "xlw/Registry.h"
#include "xlw/TempMemory.h"
#include "xlw/XlfExcel.h"
#include "xlw/XlfServices.h"

namespace {

bool removed = false;      // set by xlAutoRemove, read by xlAutoClose
bool pathUpdated = false;  // once per process

// Excel's add-in manager asks with action 1 for the add-in's long name; it
// expects #VALUE! for any other action. Excel may ask before xlAutoOpen, so
// the answer is built in the caller's layout without the session.
template <class Cell>
Cell* AddinManagerInfo(const Cell* action) {
  using namespace xlw::sdk;
  xlw::TempMemoryCall call;
  auto* result = xlw::TempMemory::GetMemory<Cell>(1);
  const int kind = action ? action->xltype & xltypeKindMask : xltypeMissing;
  const bool asksName = (kind == xltypeNum && action->val.num == 1) || (kind == xltypeInt && action->val.w == 1);
  const std::string& name = xlw::XLRegistration::ExcelFunctionRegistrationRegistry::Instance().AddinName();
  if (asksName && !name.empty()) {
    result->xltype = xltypeStr;
    if constexpr (std::is_same<Cell, xloper>::value)
      result->val.str = xlw::PascalStringConversions::NarrowToPascal(name.data(), name.size());
    else
      result->val.str = xlw::PascalStringConversions::NarrowToWidePascal(name.data(), name.size());
  } else {
    result->xltype = xltypeErr;
    result->val.err = xlerrValue;
  }
  return result;
}

}  // namespace

XLW_EXPORT int XLW_STDCALL xlAutoOpen() {
  try {
    xlw::TempMemoryCall call;
    xlw::XlfExcel::Instance();
    if (!pathUpdated) {
      pathUpdated = true;
      xlw::PathUpdater updater(reinterpret_cast<const void*>(&xlAutoOpen));
    }
    xlw::XlfServices::SetStatusBar("Registering library...");
    xlw::XLRegistration::ExcelFunctionRegistrationRegistry::Instance().RegisterAll();
    xlw::XlfServices::ClearStatusBar();
    xlw::MacroCache<xlw::Open>::Instance().ExecuteMacros();
    return 1;
  } catch (...) {
    return 0;
  }
}

XLW_EXPORT int XLW_STDCALL xlAutoClose() {
  try {
    std::cerr << "Releasing resources" << std::endl;
    {
      xlw::TempMemoryCall call;
      xlw::MacroCache<xlw::Close>::Instance().ExecuteMacros();
      if (removed) xlw::XLRegistration::ExcelFunctionRegistrationRegistry::Instance().UnregisterAll();
    }
    xlw::XlfExcel::DeleteInstance();
    xlw::TempMemory::ReleaseAll();
  } catch (...) {
    std::cerr << "Something bad happened in xlAutoClose" << std::endl;
  }
  return 1;
}

XLW_EXPORT int XLW_STDCALL xlAutoRemove() {
  try {
    std::cerr << "Addin being unloaded" << std::endl;
    xlw::MacroCache<xlw::Remove>::Instance().ExecuteMacros();
    removed = true;
  } catch (...) {
    std::cerr << "Something bad happened in xlAutoRemove" << std::endl;
  }
  return 1;
}

XLW_EXPORT xlw::sdk::LPXLOPER XLW_STDCALL xlAddInManagerInfo(xlw::sdk::LPXLOPER action) {
  try {
    return AddinManagerInfo(action);
  } catch (...) {
    return nullptr;  // no answer: Excel shows the file name
  }
}

XLW_EXPORT xlw::sdk::LPXLOPER12 XLW_STDCALL xlAddInManagerInfo12(xlw::sdk::LPXLOPER12 action) {
  try {
    return AddinManagerInfo(action);
  } catch (...) {
    return nullptr;
  }
}

// Documentation on demand is not wired to any destination: calling it is harmless.
XLW_EXPORT void XLW_STDCALL xlwGenDoc() {}
