// The entry points an add-in finds: Excel4 and Excel4v (XLCALL32.DLL's) and
// MdCallBack12 (the Excel process's). On Linux the substitute Excel library
// exports them all, with the windows of a thread; on Windows xlhost.exe
// exports MdCallBack12 and the dispatcher that its XLCALL32.DLL forwards to.
#include <cstdarg>
#include <vector>

#include "host/SubstituteExcel.h"

using namespace xlw::sdk;

XLW_EXPORT int XLW_STDCALL MdCallBack12(int xlfn, int count, LPXLOPER12 opers[], LPXLOPER12 result) {
  return host::SubstituteExcel::Get().Dispatch(xlfn, count, opers, result);
}

#if defined(_WIN32)

XLW_EXPORT int XlHostExcel4v(int xlfn, LPXLOPER result, int count, LPXLOPER* opers) {
  return host::SubstituteExcel::Get().Dispatch(xlfn, count, opers, result);
}

#else

XLW_EXPORT int XLW_STDCALL Excel4v(int xlfn, LPXLOPER result, int count, LPXLOPER opers[]) {
  return host::SubstituteExcel::Get().Dispatch(xlfn, count, opers, result);
}

XLW_EXPORT int XLW_CDECL Excel4(int xlfn, LPXLOPER result, int count, ...) {
  std::vector<LPXLOPER> opers(count > 0 ? count : 0);
  va_list list;
  va_start(list, count);
  for (int i = 0; i < count; ++i) opers[i] = va_arg(list, LPXLOPER);
  va_end(list);
  return host::SubstituteExcel::Get().Dispatch(xlfn, count, opers.data(), result);
}

XLW_EXPORT void XlHostEnumThreadWindows(std::uint32_t thread, int (*visit)(void*, const char*, const char*),
                                        void* context) {
  host::SubstituteExcel::Get().EnumWindows(thread, visit, context);
}

#endif
