#pragma once
// A fresh substitute Excel and a fresh session for each test, in the layout
// of the Excel version the test asks for.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/SubstituteExcel.h"
#include "xlw/Platform.h"
#include "xlw/TempMemory.h"
#include "xlw/XlfExcel.h"

namespace xlwtest {

// Collects the diagnostic lines the framework writes.
class Diagnostics {
 public:
  Diagnostics() {
    xlw::platform::SetDebugSink([this](const char* text) { text_ += text; });
  }
  ~Diagnostics() { xlw::platform::SetDebugSink(nullptr); }
  const std::string& Text() const { return text_; }
  bool Contains(const std::string& s) const { return text_.find(s) != std::string::npos; }

 private:
  std::string text_;
};

inline void StartSession(int version, host::SubstituteExcel::VersionForm form = host::SubstituteExcel::VersionForm::Number,
                         const std::string& addin = "/opt/addins/Ambrel.xll") {
  xlw::XlfExcel::DeleteInstance();
  auto& excel = host::SubstituteExcel::Get();
  excel.Reset();
  excel.SetVersion(version, form);
  excel.SetAddinName(addin);
  xlw::XlfExcel::Instance();
}

// Parameter: the Excel version, 11 (the 97 layout) or 16 (the 2007 layout).
class BothLayouts : public testing::TestWithParam<int> {
 protected:
  void SetUp() override { StartSession(GetParam()); }
  void TearDown() override { xlw::XlfExcel::DeleteInstance(); }
  bool Excel12() const { return GetParam() > 11; }
  host::SubstituteExcel& Excel() { return host::SubstituteExcel::Get(); }
  xlw::TempMemoryCall call_;
};

inline std::string LayoutName(const testing::TestParamInfo<int>& info) {
  return info.param > 11 ? "Excel2007" : "Excel97";
}

}  // namespace xlwtest
