#pragma once
// What the programs that write files from the declarations share.
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace sheet {

// Rewrites a file only when its text changes, so that nothing built from it
// is rebuilt for nothing.
inline void WriteIfChanged(const std::string& path, const std::string& text) {
  {
    std::ifstream in(path, std::ios::binary);
    if (in) {
      std::ostringstream old;
      old << in.rdbuf();
      if (old.str() == text) return;
    }
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

}  // namespace sheet
