// What Excel's add-in manager learns from an add-in: its long name for action
// 1, #VALUE! for anything else, in both cell layouts, before xlAutoOpen and
// without a session.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "xlw/xlcall.h"

using namespace xlw::sdk;

namespace {

struct Addin {
  explicit Addin(const char* path) : library(dlopen(path, RTLD_NOW | RTLD_LOCAL)) {
    EXPECT_NE(library, nullptr) << dlerror();
    info = reinterpret_cast<LPXLOPER(XLW_STDCALL*)(LPXLOPER)>(dlsym(library, "xlAddInManagerInfo"));
    info12 = reinterpret_cast<LPXLOPER12(XLW_STDCALL*)(LPXLOPER12)>(dlsym(library, "xlAddInManagerInfo12"));
  }
  ~Addin() {
    if (library) dlclose(library);
  }
  void* library;
  LPXLOPER(XLW_STDCALL* info)(LPXLOPER) = nullptr;
  LPXLOPER12(XLW_STDCALL* info12)(LPXLOPER12) = nullptr;
};

// The answer as text: the name, an error's code, or what else came.
std::string Shown(const xloper* c) {
  if (!c) return "nothing";
  if ((c->xltype & xltypeKindMask) == xltypeStr) return std::string(c->val.str + 1, static_cast<unsigned char>(c->val.str[0]));
  if ((c->xltype & xltypeKindMask) == xltypeErr) return "error " + std::to_string(c->val.err);
  return "kind " + std::to_string(c->xltype);
}

std::string Shown(const xloper12* c) {
  if (!c) return "nothing";
  if ((c->xltype & xltypeKindMask) == xltypeStr) {
    std::string s;
    for (int i = 1; i <= c->val.str[0]; ++i) s += static_cast<char>(c->val.str[i]);
    return s;
  }
  if ((c->xltype & xltypeKindMask) == xltypeErr) return "error " + std::to_string(c->val.err);
  return "kind " + std::to_string(c->xltype);
}

template <class Cell>
Cell Number(double v) {
  Cell c{};
  c.xltype = xltypeNum;
  c.val.num = v;
  return c;
}

template <class Cell>
Cell Integer(int v) {
  Cell c{};
  c.xltype = xltypeInt;
  c.val.w = static_cast<decltype(c.val.w)>(v);
  return c;
}

template <class Cell>
Cell OfKind(int kind) {
  Cell c{};
  c.xltype = static_cast<decltype(c.xltype)>(kind);
  return c;
}

const std::string kValue = "error " + std::to_string(xlerrValue);

TEST(AddinManager, AnswersTheLongNameForActionOneInBothLayouts) {
  Addin a(NAMED_ADDIN_PATH);
  ASSERT_TRUE(a.info && a.info12) << "both entry points are exported";
  const struct {
    xloper action;
    xloper12 action12;
    std::string shown, why;
  } cases[] = {
      {Number<xloper>(1), Number<xloper12>(1), "Test add-in for the framework", "action 1 as a number"},
      {Integer<xloper>(1), Integer<xloper12>(1), "Test add-in for the framework", "action 1 as an integer"},
      {Number<xloper>(2), Number<xloper12>(2), kValue, "action 2"},
      {Number<xloper>(0), Number<xloper12>(0), kValue, "action 0"},
      {Number<xloper>(1.5), Number<xloper12>(1.5), kValue, "action 1.5"},
      {Integer<xloper>(-1), Integer<xloper12>(-1), kValue, "action -1"},
      {OfKind<xloper>(xltypeMissing), OfKind<xloper12>(xltypeMissing), kValue, "no action"},
      {OfKind<xloper>(xltypeNil), OfKind<xloper12>(xltypeNil), kValue, "an empty action"},
      {OfKind<xloper>(xltypeBool), OfKind<xloper12>(xltypeBool), kValue, "FALSE"},
  };
  for (auto c : cases) {
    EXPECT_EQ(Shown(a.info(&c.action)), c.shown) << c.why << ", Excel 97 layout";
    EXPECT_EQ(Shown(a.info12(&c.action12)), c.shown) << c.why << ", Excel 2007 layout";
  }
  EXPECT_EQ(Shown(a.info(nullptr)), kValue);
  EXPECT_EQ(Shown(a.info12(nullptr)), kValue);
}

TEST(AddinManager, AnAddinWithoutANameAnswersValueError) {
  Addin a(UNNAMED_ADDIN_PATH);
  ASSERT_TRUE(a.info && a.info12);
  xloper one = Number<xloper>(1);
  xloper12 one12 = Number<xloper12>(1);
  EXPECT_EQ(Shown(a.info(&one)), kValue) << "Excel then shows the file name";
  EXPECT_EQ(Shown(a.info12(&one12)), kValue);
}

}  // namespace
