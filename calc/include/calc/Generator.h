#pragma once
// What calc_generate writes, from tables of functions: everything of the Calc
// add-in that names a function, so that a function added to a table appears
// in Calc with no change in calc/.
#include <string>
#include <vector>

#include "sheet/Functions.h"

namespace calc::generate {

// One add-in of the component: a UNO service with one method per function.
struct AddIn {
  const sheet::Table& table;
  std::string Service() const;         // ambrel.calc.Ambrel
  std::string Implementation() const;  // ambrel.calc.AmbrelAddIn
  std::string Interface() const;       // XAmbrel
};

// Throws std::runtime_error for a function that Calc could not call by its
// name: not a UNO IDL name, a name every UNO object has, or one name twice.
void Check(const std::vector<AddIn>& addins);

// The IDL names of a function's parameters (Calc matches the Function
// Wizard's texts to them): the table's name, its letters and digits only,
// or argN where that is no name, a reserved word or taken.
std::vector<std::string> ParameterNames(const sheet::Function& f);

std::string Idl(const std::vector<AddIn>& addins);         // AmbrelCalc.idl
std::string Cpp(const std::vector<AddIn>& addins);         // AddIns.cpp
std::string Xcu(const std::vector<AddIn>& addins);         // CalcAddIns.xcu
std::string Components(const std::vector<AddIn>& addins, const std::string& library);  // Ambrel.components
std::string Functions(const std::vector<AddIn>& addins);   // functions.json

}  // namespace calc::generate
