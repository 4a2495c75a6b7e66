// The thirty-nine functions of the first release keep their registrations
// byte for byte, help-topic indices included, whatever is added after them:
// the add-ins registered as xlhost reports them, beside a help file each,
// against the records of the first release.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <tuple>
#include <string>
#include <vector>

#include "sheet/Functions.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

std::string Shell(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
  pclose(p);
  return out;
}

std::string Field(const std::string& line, const std::string& name) {
  const std::string key = "\"" + name + "\": \"";
  const std::size_t at = line.find(key);
  if (at == std::string::npos) return "";
  const std::size_t from = at + key.size();
  return line.substr(from, line.find('"', from) - from);
}

class OriginalRegistrations : public testing::TestWithParam<int> {};

TEST_P(OriginalRegistrations, StayByteForByteWithTheirHelpTopics) {
  // Copies named as Excel names add-ins, so that each finds its help file.
  std::string dir = testing::TempDir();
  if (!dir.empty() && dir.back() == '/') dir.pop_back();
  dir += "/registrations-" + std::to_string(GetParam());
  Shell("rm -rf '" + dir + "' && mkdir -p '" + dir + "'");
  Shell("cp '" AMBREL_PATH "' '" + dir + "/Ambrel.xll' && cp '" CORVEL_PATH "' '" + dir + "/Corvel.xll'");
  std::ofstream(dir + "/Ambrel.chm") << "";
  std::ofstream(dir + "/Corvel.chm") << "";
  std::string listed = Shell(std::string(XLHOST_PATH) + " --excel-version " + std::to_string(GetParam()) +
                           " --addin '" + dir + "/Ambrel.xll' --addin '" + dir + "/Corvel.xll' --list --json");
  for (std::size_t at; (at = listed.find(dir)) != std::string::npos;) listed.replace(at, dir.size(), "@DIR@");

  std::ifstream file(std::string(GOLDEN_DIR) + "/original_registrations_excel" + (GetParam() > 11 ? "16" : "11") +
                     ".jsonl");
  std::vector<std::string> original;
  for (std::string line; std::getline(file, line);) original.push_back(line);
  ASSERT_EQ(original.size(), 39u);
  const std::vector<std::string> now = Lines(listed);

  // Per add-in: its original functions first, unchanged, then the added ones
  // with the help topics that follow.
  std::size_t next = 0;
  for (const auto& [category, count, file] : {std::tuple{"PKPDAmbrel 2016/11/20", 20, "Ambrel.chm"},
                                               std::tuple{"Corvel; 2017/07/31", 19, "Corvel.chm"}}) {
    std::set<std::string> originalNames;
    std::size_t i = 0;
    for (; next < now.size() && Field(now[next], "category") == category; ++next, ++i) {
      if (i < static_cast<std::size_t>(count)) {
        const std::string& expected = original[(category[0] == 'P' ? 0 : 20) + i];
        EXPECT_EQ(now[next], expected) << category << ", function " << i + 1;
        originalNames.insert(Field(expected, "function"));
      } else {
        const std::string name = Field(now[next], "function");
        EXPECT_EQ(originalNames.count(name), 0u) << name << " is registered twice";
        EXPECT_EQ(Field(now[next], "helpTopic"), "@DIR@/" + std::string(file) + "!" + std::to_string(i + 1)) << name;
        if (i > static_cast<std::size_t>(count)) {
          EXPECT_LT(Field(now[next - 1], "function"), name) << "the added ones in byte order too";
        }
      }
    }
    EXPECT_GT(i, static_cast<std::size_t>(count)) << category << ": functions have been added";
  }
  EXPECT_EQ(next, now.size());
  Shell("rm -rf '" + dir + "'");
}

// Every declaration is registered as declared, and nothing else is: names,
// procedure, category, help texts, and each argument's type code by its kind.
TEST_P(OriginalRegistrations, EveryDeclarationIsRegisteredAsDeclared) {
  const std::string listed = Shell(std::string(XLHOST_PATH) + " --excel-version " + std::to_string(GetParam()) +
                                   " --addin '" AMBREL_PATH "' --addin '" CORVEL_PATH "' --list --json");
  std::map<std::string, nlohmann::json> registered;
  for (const std::string& line : Lines(listed)) {
    const nlohmann::json r = nlohmann::json::parse(line);
    registered[r["function"].get<std::string>()] = r;
  }
  const std::string cell = GetParam() > 11 ? "Q" : "P";
  std::size_t declared = 0;
  for (const sheet::Table* table : {&sheet::AmbrelFunctions(), &sheet::CorvelFunctions()})
    for (const sheet::Function& f : table->functions) {
      ++declared;
      const auto found = registered.find(f.name);
      ASSERT_NE(found, registered.end()) << f.name << " is not registered";
      const nlohmann::json& r = found->second;
      EXPECT_EQ(r["procedure"], f.procedure);
      EXPECT_EQ(r["category"], table->category);
      EXPECT_EQ(r["help"], f.help);
      std::string type = cell;
      ASSERT_EQ(r["arguments"].size(), f.parameters.size()) << f.name;
      for (std::size_t i = 0; i < f.parameters.size(); ++i) {
        const sheet::Parameter& p = f.parameters[i];
        type += p.kind == sheet::Kind::Number ? "B" : cell;
        EXPECT_EQ(r["arguments"][i]["name"], p.name) << f.name;
        // The last argument's help ends the sentence, as registration does it.
        const std::string help = std::string(p.help) + (i + 1 == f.parameters.size() ? ". " : "");
        EXPECT_EQ(r["arguments"][i]["help"], help) << f.name << " " << p.name;
      }
      EXPECT_EQ(r["type"], type) << f.name;
    }
  EXPECT_EQ(registered.size(), declared) << "nothing is registered that is not declared";
}

INSTANTIATE_TEST_SUITE_P(Versions, OriginalRegistrations, testing::Values(11, 16),
                         [](const testing::TestParamInfo<int>& i) { return i.param > 11 ? "Excel2007" : "Excel97"; });

}  // namespace
