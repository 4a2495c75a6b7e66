#pragma once
// Excel's XLL interface: the cell layouts of Excel 97-2003 (xloper) and of
// Excel 2007 and later (xloper12), their constants, and the call-backs.
// Written from Excel's published binary layout; the static_asserts below pin
// the sizes Excel expects on each target.
#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define XLW_STDCALL __stdcall
#define XLW_CDECL __cdecl
#else
#define XLW_STDCALL
#define XLW_CDECL
#endif

#if defined(_WIN32)
#define XLW_EXPORT extern "C" __declspec(dllexport)
#else
#define XLW_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace xlw::sdk {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using BOOL = std::int32_t;
using RW = std::int32_t;   // row index of the 2007 layout
using COL = std::int32_t;  // column index of the 2007 layout
using IDSHEET = std::uintptr_t;
using HANDLE = void*;
#if defined(_WIN32)
using XCHAR = wchar_t;  // UTF-16 code unit
#else
using XCHAR = char16_t;
#endif

struct XLREF {
  WORD rwFirst;
  WORD rwLast;
  BYTE colFirst;
  BYTE colLast;
};

struct XLMREF {
  WORD count;
  XLREF reftbl[1];  // count areas
};

struct XLREF12 {
  RW rwFirst;
  RW rwLast;
  COL colFirst;
  COL colLast;
};

struct XLMREF12 {
  WORD count;
  XLREF12 reftbl[1];
};

struct xloper {
  union {
    double num;
    char* str;  // length byte, then up to 255 bytes
    WORD xbool;
    WORD err;
    short w;
    struct {
      WORD count;
      XLREF ref;
    } sref;
    struct {
      XLMREF* lpmref;
      IDSHEET idSheet;
    } mref;
    struct {
      xloper* lparray;
      WORD rows;
      WORD columns;
    } array;
    struct {
      union {
        short level;
        short tbctrl;
        IDSHEET idSheet;
      } valflow;
      WORD rw;
      BYTE col;
      BYTE xlflow;
    } flow;
    struct {
      union {
        BYTE* lpbData;
        HANDLE hdata;
      } h;
      std::int32_t cbData;
    } bigdata;
  } val;
  WORD xltype;
};

struct xloper12 {
  union {
    double num;
    XCHAR* str;  // length unit, then up to 32767 UTF-16 units
    BOOL xbool;
    int err;
    int w;
    struct {
      WORD count;
      XLREF12 ref;
    } sref;
    struct {
      XLMREF12* lpmref;
      IDSHEET idSheet;
    } mref;
    struct {
      xloper12* lparray;
      RW rows;
      COL columns;
    } array;
    struct {
      union {
        int level;
        int tbctrl;
        IDSHEET idSheet;
      } valflow;
      RW rw;
      COL col;
      BYTE xlflow;
    } flow;
    struct {
      union {
        BYTE* lpbData;
        HANDLE hdata;
      } h;
      std::int32_t cbData;
    } bigdata;
  } val;
  DWORD xltype;
};

using LPXLOPER = xloper*;
using LPXLOPER12 = xloper12*;

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(xloper) == 16, "Excel 97 cell is 16 bytes on 32-bit Windows");
static_assert(sizeof(xloper12) == 32, "Excel 2007 cell is 32 bytes on 32-bit Windows");
#elif UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
static_assert(sizeof(xloper) == 24, "Excel 97 cell is 24 bytes on 64-bit targets");
static_assert(sizeof(xloper12) == 32, "Excel 2007 cell is 32 bytes on 64-bit targets");
#endif
static_assert(sizeof(XLREF) == 6 && sizeof(XLREF12) == 16, "area layouts");
static_assert(offsetof(XLMREF, reftbl) == 2 && offsetof(XLMREF12, reftbl) == 4, "area lists");

// Cell kinds (low 12 bits of xltype) and the ownership bits.
constexpr WORD xltypeNum = 0x0001;
constexpr WORD xltypeStr = 0x0002;
constexpr WORD xltypeBool = 0x0004;
constexpr WORD xltypeRef = 0x0008;
constexpr WORD xltypeErr = 0x0010;
constexpr WORD xltypeFlow = 0x0020;
constexpr WORD xltypeMulti = 0x0040;
constexpr WORD xltypeMissing = 0x0080;
constexpr WORD xltypeNil = 0x0100;
constexpr WORD xltypeSRef = 0x0400;
constexpr WORD xltypeInt = 0x0800;
constexpr WORD xltypeBigData = xltypeStr | xltypeInt;
constexpr WORD xlbitXLFree = 0x1000;
constexpr WORD xlbitDLLFree = 0x4000;
constexpr WORD xltypeKindMask = 0x0FFF;

// Error codes.
constexpr int xlerrNull = 0;
constexpr int xlerrDiv0 = 7;
constexpr int xlerrValue = 15;
constexpr int xlerrRef = 23;
constexpr int xlerrName = 29;
constexpr int xlerrNum = 36;
constexpr int xlerrNA = 42;
constexpr int xlerrGettingData = 43;

// Return codes of the call-backs (bits).
constexpr int xlretSuccess = 0;
constexpr int xlretAbort = 1;
constexpr int xlretInvXlfn = 2;
constexpr int xlretInvCount = 4;
constexpr int xlretInvXloper = 8;
constexpr int xlretStackOvfl = 16;
constexpr int xlretFailed = 32;
constexpr int xlretUncalced = 64;
constexpr int xlretNotThreadSafe = 128;
constexpr int xlretInvAsynchronousContext = 256;
constexpr int xlretNotClusterSafe = 512;

// Function-number flags and the functions the add-ins call.
constexpr int xlCommand = 0x8000;
constexpr int xlSpecial = 0x4000;
constexpr int xlIntl = 0x2000;
constexpr int xlPrompt = 0x1000;

constexpr int xlFree = 0 | xlSpecial;
constexpr int xlCoerce = 2 | xlSpecial;
constexpr int xlSheetId = 4 | xlSpecial;
constexpr int xlGetName = 9 | xlSpecial;

constexpr int xlfSetName = 88;
constexpr int xlfRegister = 149;
constexpr int xlfAddMenu = 152;
constexpr int xlfAddCommand = 153;
constexpr int xlfDeleteMenu = 158;
constexpr int xlfDeleteCommand = 159;
constexpr int xlfGetBar = 182;
constexpr int xlfGetWorkspace = 186;
constexpr int xlfUnregister = 201;
constexpr int xlcMessage = 122 | xlCommand;

// Call-backs: Excel4 and Excel4v from XLCALL32.DLL, MdCallBack12 from Excel itself.
using Excel4Fn = int(XLW_CDECL*)(int xlfn, LPXLOPER result, int count, ...);
using Excel4vFn = int(XLW_STDCALL*)(int xlfn, LPXLOPER result, int count, LPXLOPER opers[]);
using MdCallBack12Fn = int(XLW_STDCALL*)(int xlfn, int count, LPXLOPER12 opers[], LPXLOPER12 result);

}  // namespace xlw::sdk
