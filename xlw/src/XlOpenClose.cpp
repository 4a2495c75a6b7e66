// The entry points Excel calls on the add-in as a whole. Compiled into each
// add-in, beside its worksheet functions.
#include <iostream>

#include "xlw/MacroCache.h"
#include "xlw/PathUpdater.h"
#include "xlw/Registry.h"
#include "xlw/TempMemory.h"
#include "xlw/XlfExcel.h"
#include "xlw/XlfServices.h"

namespace {

bool removed = false;      // set by xlAutoRemove, read by xlAutoClose
bool pathUpdated = false;  // once per process

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

// Documentation on demand is not wired to any destination: calling it is harmless.
XLW_EXPORT void XLW_STDCALL xlwGenDoc() {}
