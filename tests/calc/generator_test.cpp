// What calc_generate makes of function tables: names Calc can call, IDL the
// SDK compiles, Function Wizard texts that reach Calc unchanged.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

#include "calc/Generator.h"

namespace {

using calc::generate::AddIn;
using sheet::Kind;

sheet::Result Nothing(sheet::Arguments&) { return 0.0; }

sheet::Function F(const char* name, std::vector<sheet::Parameter> parameters, const char* help = " help ") {
  return {"xl", name, help, std::move(parameters), {sheet::Shape::Number, nullptr, ""}, {}, Nothing};
}

TEST(CalcGenerator, ParameterNamesCalcCanMatch) {
  struct Case {
    std::vector<const char*> names;
    std::vector<std::string> idl;
    const char* why;
  } cases[] = {
      {{"deltaTimes", "Rate"}, {"deltaTimes", "Rate"}, "the table's names where IDL takes them"},
      {{"A", "peak_time"}, {"A", "peaktime"}, "no underscores in IDL names"},
      {{"in", "type", "Sequence", "class"}, {"arg1", "arg2", "arg3", "arg4"}, "IDL and C++ words, any case"},
      {{"a", "A"}, {"a", "arg2"}, "IDL names differ in more than case"},
      {{"1st", "", "_"}, {"arg1", "arg2", "arg3"}, "nothing left of a name"},
      {{"arg2", "in"}, {"arg2", "arg2x"}, "a fallback that is taken"},
  };
  for (const Case& c : cases) {
    std::vector<sheet::Parameter> parameters;
    for (const char* n : c.names) parameters.push_back({n, " ", Kind::Number});
    EXPECT_EQ(calc::generate::ParameterNames(F("G", parameters)), c.idl) << c.why;
  }
}

TEST(CalcGenerator, RefusesNamesCalcCannotCall) {
  struct Case {
    const char* first;
    const char* second;
    const char* why;
  } cases[] = {
      {"PredCp", "PREDCP", "Calc ignores case: one name twice"},
      {"Pred_Cp", "Other", "no IDL name"},
      {"queryInterface", "Other", "a method every UNO object has"},
      {"2Hyb", "Other", "no IDL name"},
  };
  for (const Case& c : cases) {
    const sheet::Table one{"One", "c", {F(c.first, {})}};
    const sheet::Table two{"Two", "c", {F(c.second, {})}};
    EXPECT_THROW(calc::generate::Check({{one}, {two}}), std::runtime_error) << c.why;
  }
  const sheet::Table fine{"One", "c", {F("PredCp", {}), F("decrCe", {})}};
  EXPECT_NO_THROW(calc::generate::Check({{fine}}));
}

TEST(CalcGenerator, TheSdkCompilesTheInterfacesOfAwkwardTables) {
  const sheet::Table awkward{
      "Awkward",
      "c",
      {F("NoArguments", {}),
       F("Reserved", {{"in", " ", Kind::Number}, {"any", " ", Kind::Column}, {"peak_time", " ", Kind::Flag},
                      {"A", " ", Kind::OptionalFlag}, {"a", " ", Kind::Text}})}};
  const std::vector<AddIn> addins = {{awkward}, {sheet::AmbrelFunctions()}, {sheet::CorvelFunctions()}};
  char dir[] = "/tmp/calc-idl-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string idl = std::string(dir) + "/t.idl", rdb = std::string(dir) + "/t.rdb";
  std::ofstream(idl) << calc::generate::Idl(addins);
  const std::string command = std::string(AMBREL_UNOIDL_WRITE) + " " + AMBREL_UDK_TYPES + " " + AMBREL_OFFICE_TYPES +
                              " " + idl + " " + rdb + " 2>&1";
  const int status = std::system(command.c_str());
  std::remove(idl.c_str());
  std::remove(rdb.c_str());
  rmdir(dir);
  EXPECT_EQ(status, 0) << command;
}

TEST(CalcGenerator, WizardTextsReachCalcAsTheyStand) {
  const sheet::Table t{"T", "c", {F("Quote", {{"x", " <a> & \"b\" 'c' \xc2\xb5g ", Kind::Number}}, " 1 < 2 & 3 > 2 ")}};
  const std::string xcu = calc::generate::Xcu({{t}});
  EXPECT_NE(xcu.find(">Quote</value>"), std::string::npos);
  EXPECT_NE(xcu.find("> 1 &lt; 2 &amp; 3 &gt; 2 </value>"), std::string::npos) << "blanks kept, markup escaped";
  EXPECT_NE(xcu.find("> &lt;a&gt; &amp; &quot;b&quot; &apos;c&apos; \xc2\xb5g </value>"), std::string::npos);
  EXPECT_NE(xcu.find("<value>Add-In</value>"), std::string::npos) << "Calc's own category for add-ins";
  const std::string json = calc::generate::Functions({{t}});
  EXPECT_NE(json.find("\" <a> & \\\"b\\\" 'c' \xc2\xb5g \""), std::string::npos);
}

TEST(CalcGenerator, EveryTableFunctionIsAMethodOfItsAddIn) {
  const std::vector<AddIn> addins = {{sheet::AmbrelFunctions()}, {sheet::CorvelFunctions()}};
  const std::string idl = calc::generate::Idl(addins), cpp = calc::generate::Cpp(addins);
  std::size_t count = 0;
  for (const AddIn& a : addins)
    for (const sheet::Function& f : a.table.functions) {
      ++count;
      EXPECT_NE(idl.find(std::string("  any ") + f.name + "("), std::string::npos) << f.name;
      EXPECT_NE(cpp.find(std::string("return Run(\"") + f.name + "\", "), std::string::npos) << f.name;
    }
  EXPECT_GE(count, 39u) << "the thirty-nine, and any added since";
}

// Calc reads an Excel workbook's calls of the add-ins by these names.
TEST(CalcGenerator, EveryFunctionAnswersToItsExcelName) {
  const std::vector<AddIn> addins = {{sheet::AmbrelFunctions()}, {sheet::CorvelFunctions()}};
  const std::string xcu = calc::generate::Xcu(addins);
  for (const AddIn& a : addins)
    for (const sheet::Function& f : a.table.functions)
      EXPECT_NE(xcu.find(std::string("<prop oor:name=\"CompatibilityName\"><value xml:lang=\"en-US\">") + f.name +
                         "</value></prop>"),
                std::string::npos)
          << f.name;
}

}  // namespace
