// xlhost as a user runs it: its output, its JSON and its exit status.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

struct Outcome {
  std::string out;
  int status = -1;
};

Outcome Xlhost(const std::string& arguments, const std::string& input = "") {
  std::string command = std::string(XLHOST_PATH) + " " + arguments + " 2>/dev/null";
  if (!input.empty()) command = "printf '%s' '" + input + "' | " + command;
  Outcome r;
  FILE* p = popen(command.c_str(), "r");
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) r.out.append(buffer, n);
  const int status = pclose(p);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

TEST(Xlhost, PlainOutputIsOneRowPerLine) {
  const Outcome r = Xlhost("'=Cl2Hyb({10,0,0,2,0,0})' '=Hyb2Cl({1;2})' '=BMI(70,175)'");
  EXPECT_EQ(r.status, 0) << "error cells are still evaluated formulas";
  EXPECT_EQ(r.out, "0.1\n0\n0\n0.2\n0\n0\nWe need exactly 6 parameters!\n22.857142857142858\n");
}

TEST(Xlhost, JsonOutput) {
  const Outcome r = Xlhost("--json '=PredEff({-1;0},1,2,3,1.5)' '=JLBM(70,170,)' '=BMI(\"x\",1)'");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "{\"formula\": \"=PredEff({-1;0},1,2,3,1.5)\", \"result\": [[{\"error\": \"#NUM!\"}], [1]]}\n"
            "{\"formula\": \"=JLBM(70,170,)\", \"result\": [[{\"text\": \"parameter is missing, MALE Conversion to Bool\"}]]}\n"
            "{\"formula\": \"=BMI(\\\"x\\\",1)\", \"result\": [[{\"error\": \"#VALUE!\"}]]}\n");
}

// A number that is not finite, returned by a function, is #NUM! as Excel
// shows it, in plain text and JSON, and a formula that uses it gets #NUM!.
TEST(Xlhost, NumbersThatAreNotFiniteShowAsNum) {
  // PredEff of a negative concentration: 0^1.5 of a negative base is NaN.
  EXPECT_EQ(Xlhost("'=PredEff({-1;0},1,2,3,1.5)'").out, "#NUM!\n1\n");
  EXPECT_EQ(Xlhost("'=INDEX(PredEff({-1;0},1,2,3,1.5),1)'").out, "#NUM!\n");
  EXPECT_EQ(Xlhost("'=PredEff(PredEff({-1;0},1,2,3,1.5),1,2,3,1.5)'").out,
            "parameter is error, concEff Conversion to Double\n")
      << "the error reaches the outer function as an error, as in Excel";
  EXPECT_EQ(Xlhost("--json '=INDEX(PredEff({-1;0},1,2,3,1.5),1)'").out,
            "{\"formula\": \"=INDEX(PredEff({-1;0},1,2,3,1.5),1)\", \"result\": [[{\"error\": \"#NUM!\"}]]}\n");
}

// Text where a number belongs is read as Excel reads it: a decimal number
// with blanks around it and an optional %, nothing else (BMI(x,100) is x).
TEST(Xlhost, TextBecomesANumberOnlyAsExcelReadsOne) {
  const struct {
    const char* text;
    const char* shows;
  } cases[] = {
      {"70", "70\n"},          {" 70 ", "70\n"},        {"7e1", "70\n"},          {"-.5", "-0.5\n"},
      {"50%", "0.5\n"},        {"+70", "70\n"},         {"0x10", "#VALUE!\n"},    {"0X1p4", "#VALUE!\n"},
      {"inf", "#VALUE!\n"},    {"Infinity", "#VALUE!\n"}, {"nan", "#VALUE!\n"},   {"1e400", "#VALUE!\n"},
      {"70kg", "#VALUE!\n"},   {"", "#VALUE!\n"},       {"1 2", "#VALUE!\n"},     {"0x", "#VALUE!\n"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Xlhost(std::string("'=BMI(\"") + c.text + "\",100)'").out, c.shows) << "[" << c.text << "]";
  // Text in a column or a flag goes through Excel's conversion (xlCoerce):
  // the same rule.
  EXPECT_EQ(Xlhost("'=PredEff({\"0x10\"},0,1,1,1)'").out, "command failed, concEff Conversion to Double\n");
  EXPECT_EQ(Xlhost("'=PredEff({\" 1 \"},0,1,1,1)'").out, "0.5\n");
  EXPECT_EQ(Xlhost("'=JLBM(70,170,\"0x1\")'").out, "command failed, MALE Conversion to Bool\n");
}

TEST(Xlhost, FormulasFromStandardInputAndSheetReferences) {
  const std::string sheet = testing::TempDir() + "/patient.csv";
  std::ofstream(sheet) << "70,175\n";
  const Outcome r = Xlhost("--sheet " + sheet + " -", "=BMI(A1,B1)\n\n=INDEX(PropMarsh(A1),3)\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "22.857142857142858\n202.64363636363638\n");
}

TEST(Xlhost, ExitStatusTwoForWhatCannotBeEvaluated) {
  EXPECT_EQ(Xlhost("'=NoSuchFunction(1)'").status, 2);
  EXPECT_EQ(Xlhost("'=BMI(70,'").status, 2);
  EXPECT_EQ(Xlhost("--sheet /nonexistent/sheet.csv '=BMI(70,175)'").status, 2);
  EXPECT_EQ(Xlhost("--addin /nonexistent/Ambrel.so '=BMI(70,175)'").status, 2);
  EXPECT_EQ(Xlhost("--frobnicate").status, 2);
  EXPECT_EQ(Xlhost("'=BMI(1,2,3)'").status, 2) << "too many arguments";
}

// The version a user reports is the one release files are named by: the
// tree's VERSION, read here as written, not through the build.
TEST(Xlhost, VersionIsTheTreesVersion) {
  std::ifstream file(AMBREL_VERSION_FILE);
  std::string version;
  ASSERT_TRUE(std::getline(file, version)) << AMBREL_VERSION_FILE;
  const Outcome r = Xlhost("--version");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "xlhost " + version + "\n");
  EXPECT_EQ(Xlhost("--version '=BMI(70,175)'").out, r.out) << "prints the version and evaluates nothing";
}

TEST(Xlhost, ListShowsBothAddinsFunctions) {
  const Outcome r = Xlhost("--list --json");
  EXPECT_EQ(r.status, 0);
  std::size_t lines = 0;
  for (char c : r.out) lines += c == '\n';
  EXPECT_EQ(lines, 53u) << "39 original functions and 14 added since";
  EXPECT_NE(r.out.find("{\"function\": \"CsDtCpVCl\", \"procedure\": \"xlCsDtCpVCl\", \"type\": \"QQBBBBBBB\", "
                       "\"category\": \"PKPDAmbrel 2016/11/20\", \"help\": \" Calculates the decrement times of "
                       "plasma concentration \", \"helpTopic\": \"\", \"arguments\": [{\"name\": \"Times\", \"help\": \" Time columns \"}"),
            std::string::npos);
  const Outcome old = Xlhost("--excel-version 11 --list");
  EXPECT_NE(old.out.find("  type:      PPPPBBBBBB\n"), std::string::npos);
}

// Thousands of formulas in one session, then the add-ins close: the exit
// status is 0 (under LeakSanitizer it would not be after a leak).
TEST(Xlhost, ThousandsOfFormulasInOneSession) {
  std::string input;
  const char* formulas[] = {"=PredCp({0;1;1;1},{0;5;5;0},{10;0;0;5},0.2,0.05,0.002,0.9,0.1,0.004)",
                            "=PropEleveldFinal(70,170,35.8,35,1,0,1,1)", "=JLBM(70,170,)", "=Cl2Hyb({1,2;3,4})",
                            "=TciCe({0;0.5;0.5},{0;3;3},200,0.2,0.05,0.002,0.9,0.1,0.004,0.456)",
                            "=CsDtCe({10;20},0.2,0.05,0.002,0.9,0.1,0.004,0.456,50)", "=PredEff({\"x\"},1,2,3,4)"};
  for (int i = 0; i < 3000; ++i) input += std::string(formulas[i % 7]) + "\n";
  const std::string file = testing::TempDir() + "/formulas.txt";
  std::ofstream(file) << input;
  const Outcome r = Xlhost("- < " + file);
  EXPECT_EQ(r.status, 0);
  std::size_t lines = 0;
  for (char c : r.out) lines += c == '\n';
  // Lines per formula: 4, 7, 1, 1, 3, 2, 1; 3000 formulas are 428 rounds and four more.
  EXPECT_EQ(lines, 428u * 19 + (4 + 7 + 1 + 1));
}

TEST(Xlhost, WizardAndCallbacks) {
  EXPECT_EQ(Xlhost("--wizard '=CsDtCe()'").out, "TRUE\n");
  const std::string command = std::string(XLHOST_PATH) + " --calls '=BMI(70,175)' 2>&1 >/dev/null";
  FILE* p = popen(command.c_str(), "r");
  std::string err;
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) err.append(buffer, n);
  pclose(p);
  EXPECT_NE(err.find("\"name\": \"xlfRegister\", \"layout\": \"xloper\""), std::string::npos);
  EXPECT_NE(err.find("{\"text\": \"Registering library...\"}"), std::string::npos);
}

}  // namespace

namespace {

// Excel's add-in manager lists each add-in by the long name it answers.
TEST(Xlhost, AddinNamesAsExcelsAddinManagerShowsThem) {
  const std::string bin = std::string(XLHOST_PATH).substr(0, std::string(XLHOST_PATH).find_last_of('/'));
  for (const char* version : {"16", "11"}) {
    const Outcome r = Xlhost(std::string("--excel-version ") + version + " --addin-names");
    EXPECT_EQ(r.status, 0);
    // Each line: the name, a tab, the add-in's full path.
    const std::size_t first = r.out.find('\n');
    ASSERT_NE(first, std::string::npos) << r.out;
    const std::string one = r.out.substr(0, first), two = r.out.substr(first + 1);
    EXPECT_EQ(one.substr(0, one.find('\t')), "Ambrel PK/PD tools") << "Excel " << version;
    EXPECT_EQ(one.substr(one.size() - 10), "/Ambrel.so");
    EXPECT_EQ(two.substr(0, two.find('\t')), "Corvel drug models") << "Excel " << version;
    EXPECT_EQ(two.substr(two.size() - 11), "/Corvel.so\n");
  }
  const Outcome json = Xlhost("--addin " + bin + "/Corvel.so --addin-names --json");
  EXPECT_NE(json.out.find("\"exported\": true, \"answer\": [[{\"text\": \"Corvel drug models\"}]], "
                          "\"shown\": \"Corvel drug models\"}\n"),
            std::string::npos)
      << json.out;
}

}  // namespace
