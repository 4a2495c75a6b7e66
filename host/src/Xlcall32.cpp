// The stand-in XLCALL32.DLL of the Windows host: Excel4 and Excel4v forward
// to the substitute Excel inside xlhost.exe, which exports XlHostExcel4v.
#include <windows.h>

#include <cstdarg>

#include "xlw/xlcall.h"

using namespace xlw::sdk;

namespace {

using Dispatch = int (*)(int xlfn, LPXLOPER result, int count, LPXLOPER* opers);

Dispatch Host() {
  static Dispatch dispatch =
      reinterpret_cast<Dispatch>(GetProcAddress(GetModuleHandleA(nullptr), "XlHostExcel4v"));
  return dispatch;
}

}  // namespace

XLW_EXPORT int XLW_STDCALL Excel4v(int xlfn, LPXLOPER result, int count, LPXLOPER opers[]) {
  Dispatch dispatch = Host();
  return dispatch ? dispatch(xlfn, result, count, opers) : xlretFailed;
}

XLW_EXPORT int XLW_CDECL Excel4(int xlfn, LPXLOPER result, int count, ...) {
  LPXLOPER opers[64];
  if (count < 0 || count > 64) return xlretInvCount;
  va_list list;
  va_start(list, count);
  for (int i = 0; i < count; ++i) opers[i] = va_arg(list, LPXLOPER);
  va_end(list);
  return Excel4v(xlfn, result, count, opers);
}
