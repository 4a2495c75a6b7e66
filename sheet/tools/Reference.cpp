// sheet_reference: the function reference of README.md in Markdown, written
// from the declarations: every function with its arguments (kind, unit, what
// goes in, what an empty cell means), its result and the messages it can give.
// ./dev.sh generate puts it between README's functions markers.
// usage: sheet_reference
#include <iostream>
#include <sstream>
#include <string>

#include "drugmodels/check.h"
#include "sheet/Contract.h"
#include "sheet/Functions.h"

namespace {

using namespace sheet;

// A text inside a Markdown table cell.
std::string Cell(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '|' ? std::string("\\|") : std::string(1, c);
  return out;
}

std::string Trim(const std::string& s) {
  const std::size_t a = s.find_first_not_of(' ');
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

// A message as the cell shows it, its {placeholders} marked as what the
// routine fills in.
std::string Shown(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '{' ? "‹" : c == '}' ? "›" : std::string(1, c);
  return "\"" + out + "\"";
}

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::Number: return "number";
    case Kind::Column: return "column";
    case Kind::Flag: return "flag";
    case Kind::OptionalFlag: return "flag, may be left out";
    case Kind::Text: return "text";
  }
  return "";
}

std::string Number(double v) {
  std::ostringstream o;
  o << v;
  return o.str();
}

std::string ResultLine(const Returns& r) {
  std::string shape;
  switch (r.shape) {
    case Shape::Number: shape = "a number"; break;
    case Shape::Column: shape = "a column, one value per row"; break;
    case Shape::Text: shape = "a text"; break;
    case Shape::FixedColumn: {
      shape = "a column of " + std::to_string(r.rows.size()) + ": ";
      for (std::size_t i = 0; i < r.rows.size(); ++i)
        shape += std::string(i ? ", " : "") + r.rows[i].name + " (" + r.rows[i].unit + ")";
      break;
    }
  }
  return "Result: " + shape + (r.unit ? std::string(", in ") + r.unit : std::string()) + " — " + r.meaning + ".";
}

// What the plausibility check knows of a drug model.
std::string ModelLine(const drugmodels::CheckedModel& m) {
  std::string reads;
  const std::pair<unsigned, const char*> covariates[] = {
      {drugmodels::kAge, "age"}, {drugmodels::kWeight, "weight"}, {drugmodels::kHeight, "height"},
      {drugmodels::kSex, "sex"}};
  for (const auto& [bit, name] : covariates)
    if (m.reads & bit) reads += std::string(reads.empty() ? "" : ", ") + name;
  std::string line = "Plausibility check: reads " + (reads.empty() ? std::string("no covariate") : reads);
  if (!m.ranges.empty()) {
    line += "; the study's population";
    for (std::size_t i = 0; i < m.ranges.size(); ++i) line += std::string(i ? ", " : " ") + m.ranges[i].shown;
  }
  const drugmodels::Patient& t = m.typical;
  line += "; a typical patient, the yardstick for a vanished volume or clearance: " + Number(t.age) + " yr, " +
          Number(t.weight) + " kg, " + Number(t.height) + " cm, " + (t.male ? "male" : "female") + ".";
  return line;
}

void Describe(std::ostream& o, const sheet::Function& f) {
  std::string names;
  for (std::size_t i = 0; i < f.parameters.size(); ++i) names += std::string(i ? ", " : "") + f.parameters[i].name;
  o << "\n`" << f.name << "(" << names << ")` — " << Trim(f.help) << "\n\n";
  if (!f.parameters.empty()) {
    o << "| argument | kind | unit | what goes in | empty |\n|---|---|---|---|---|\n";
    for (const Parameter& p : f.parameters)
      o << "| `" << p.name << "` | " << KindName(p.kind) << " | " << Cell(p.unit ? p.unit : "") << " | "
        << Cell(p.meaning ? p.meaning : Trim(p.help)) << " | " << Cell(EmptyMeaning(p)) << " |\n";
    o << "\n";
  }
  o << ResultLine(f.returns) << "\n";
  if (f.model) o << "\n" << ModelLine(*f.model) << "\n";
  if (!f.messages.empty()) {
    o << "\nMessages, besides those of its arguments:\n\n";
    for (const Message& m : f.messages) o << "- " << Shown(m.text) << " — " << m.remedy << "\n";
  }
}

// The messages of the argument contract, once for all functions.
void ArgumentMessages(std::ostream& o) {
  o << "\n### Messages of the arguments\n\n"
    << "A cell that an argument cannot be read from gives one of these, naming the argument; the first argument "
       "that fails, in order, is the one shown. A number argument that is no number gives #VALUE!, as Excel "
       "does; anything that is not a fault of the input gives \""
    << kInternalFault.text << "\".\n\n| argument | message | what to do |\n|---|---|---|\n";
  for (const Kind kind : {Kind::Column, Kind::Flag, Kind::OptionalFlag, Kind::Text}) {
    const Parameter p = {"{argument}", "", kind};
    for (const ShownMessage& m : ConversionMessages(p))
      o << "| " << KindName(kind) << " | " << Cell(Shown(m.text)) << " | " << Cell(m.remedy) << " |\n";
  }
}

}  // namespace

int main() {
  std::ostringstream o;
  ArgumentMessages(o);
  for (const Table* table : {&AmbrelFunctions(), &CorvelFunctions()}) {
    o << "\n### " << table->category << "\n";
    for (const sheet::Function& f : table->functions) Describe(o, f);
  }
  std::cout << o.str();
  return 0;
}
