#pragma once
#include <string>

namespace xlw::XlfServices {

// Excel's status bar; a failed call throws "Set Status Bar failed with result code N".
void SetStatusBar(const std::string& text);
void ClearStatusBar();

}  // namespace xlw::XlfServices
