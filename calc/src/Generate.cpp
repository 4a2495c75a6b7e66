// calc_generate: writes everything of the Calc add-in that depends on which
// functions the tables hold, so that a function added to a table appears in
// Calc with no change here:
//   AmbrelCalc.idl      one interface per add-in, a method per function
//   AddIns.cpp          the methods' bodies, each a call through its table entry
//   CalcAddIns.xcu      the Function Wizard's names, help texts and category
//   Ambrel.components   the component's services, for the extension manager
//   functions.json      every function's parameters, for the tests
// usage: calc_generate OUTPUT_DIR COMPONENT_LIBRARY_FILE_NAME
#include <iostream>
#include <stdexcept>
#include <string>

#include "calc/Generator.h"
#include "sheet/Generated.h"

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
    sheet::WriteIfChanged(dir + "/AmbrelCalc.idl", Idl(addins));
    sheet::WriteIfChanged(dir + "/AddIns.cpp", Cpp(addins));
    sheet::WriteIfChanged(dir + "/CalcAddIns.xcu", Xcu(addins));
    sheet::WriteIfChanged(dir + "/Ambrel.components", Components(addins, argv[2]));
    sheet::WriteIfChanged(dir + "/functions.json", Functions(addins));
  } catch (const std::exception& e) {
    std::cerr << "calc_generate: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
