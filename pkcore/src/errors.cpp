#include "pkcore/errors.h"

namespace pkcore {

std::string Filled(const Message& message, std::initializer_list<std::string> values) {
  std::string out;
  auto value = values.begin();
  for (const char* c = message.text; *c; ++c) {
    if (*c == '{' && value != values.end()) {
      const char* close = c;
      while (*close && *close != '}') ++close;
      if (*close) {
        out += *value++;
        c = close;
        continue;
      }
    }
    out += *c;
  }
  return out;
}

}  // namespace pkcore
