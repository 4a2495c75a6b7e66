#include "xlw/Win32StreamBuf.h"

#include "xlw/Platform.h"

namespace xlw {

Win32StreamBuf::int_type Win32StreamBuf::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) {
    SendToDebugger();
    return traits_type::not_eof(c);
  }
  buf_ += traits_type::to_char_type(c);
  if (c == '\n') SendToDebugger();  // a line end is a synchronisation point
  return c;
}

int Win32StreamBuf::sync() {
  SendToDebugger();
  return 0;
}

void Win32StreamBuf::SendToDebugger() {
  if (!buf_.empty() && platform::DebuggerPresent()) platform::DebugOutput(buf_.c_str());
  buf_.clear();  // without a debugger the text is discarded
}

}  // namespace xlw
