#pragma once
// The standard error stream of the add-in goes to the debugger output: one
// line at a time, and only while a debugger listens (otherwise discarded).
#include <streambuf>
#include <string>

namespace xlw {

class Win32StreamBuf : public std::streambuf {
 protected:
  int_type overflow(int_type c) override;
  int sync() override;

 private:
  void SendToDebugger();
  std::string buf_;  // pending text of the current line
};

}  // namespace xlw
