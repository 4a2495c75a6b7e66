// calc_generate: writes everything of the Calc add-in that depends on which
// functions the tables hold, so that a function added to a table appears in
// Calc with no change here:
//   AmbrelCalc.idl      one interface per add-in, a method per function
//   AddIns.cpp          the methods' bodies, each a call through its table entry
//   CalcAddIns.xcu      the Function Wizard's names, help texts and category
//   Ambrel.components   the component's services, for the extension manager
//   functions.json      every function's parameters, for the tests
// usage: calc_generate OUTPUT_DIR COMPONENT_LIBRARY_FILE_NAME
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "calc/Generator.h"

namespace {

// Rewrites a file only when its text changes, so that nothing built from it
// is rebuilt for nothing.
void Write(const std::string& path, const std::string& text) {
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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: calc_generate OUTPUT_DIR COMPONENT_LIBRARY_FILE_NAME\n";
    return 2;
  }
  try {
    const std::string dir = argv[1];
    const std::vector<calc::generate::AddIn> addins = {{sheet::AmbrelFunctions()}, {sheet::CorvelFunctions()}};
    using namespace calc::generate;
    Check(addins);
    Write(dir + "/AmbrelCalc.idl", Idl(addins));
    Write(dir + "/AddIns.cpp", Cpp(addins));
    Write(dir + "/CalcAddIns.xcu", Xcu(addins));
    Write(dir + "/Ambrel.components", Components(addins, argv[2]));
    Write(dir + "/functions.json", Functions(addins));
  } catch (const std::exception& e) {
    std::cerr << "calc_generate: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
