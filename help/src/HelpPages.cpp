// help_pages: the help of both add-ins, one page per worksheet function,
// written from the function declarations. The same pages make the compiled
// help files that Excel's Function Wizard opens and the plain HTML of docs/.
//
// usage: help_pages VERSION OUT_DIR [--project]
//   OUT_DIR/index.html, OUT_DIR/Ambrel/*.htm, OUT_DIR/Corvel/*.htm
//   --project  also each add-in's HTML Help project beside its pages (ADDIN.hhp
//              with the context map, ADDIN.hhc contents, ADDIN.hhk index), and
//              OUT_DIR/examples.tsv: every worked example's formula and result,
//              for the tests that run the formula in the add-ins.
//
// A page's context id is the help index its function registers with Excel:
// the add-in's original functions in byte order of their names from 1, then
// the functions added since, in byte order (xlw/Registry.cpp).
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "drugmodels/check.h"
#include "sheet/Contract.h"
#include "sheet/Functions.h"
#include "sheet/Generated.h"

namespace fs = std::filesystem;

namespace {

using sheet::Argument;
using sheet::Function;
using sheet::Kind;
using sheet::Parameter;
using sheet::Result;
using sheet::Shape;
using sheet::Table;

// ---- text

// HTML with every character beyond ASCII as a character reference, so that
// the pages read the same in any browser and in the help viewer, whatever
// code page it assumes.
std::string Html(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += static_cast<char>(c);
      }
      ++i;
      continue;
    }
    const int length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
    unsigned code = c & (0xFF >> (length + 1));
    for (int k = 1; k < length && i + k < text.size(); ++k) code = (code << 6) | (text[i + k] & 0x3F);
    out += "&#" + std::to_string(code) + ";";
    i += length;
  }
  return out;
}

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// A message's {placeholders} as variables: "<var>covariate</var> has to be ...".
std::string MessageHtml(const std::string& text) {
  std::string out;
  std::size_t i = 0;
  for (std::size_t open; (open = text.find('{', i)) != std::string::npos;) {
    const std::size_t close = text.find('}', open);
    if (close == std::string::npos) break;
    out += Html(text.substr(i, open - i)) + "<var>" + Html(text.substr(open + 1, close - open - 1)) + "</var>";
    i = close + 1;
  }
  return out + Html(text.substr(i));
}

// As typed into a formula: the shortest text that reads back as the same double.
std::string Typed(double x) {
  char buffer[32];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, x).ptr;
  return std::string(buffer, end);
}

// As a result is shown on a page: four significant digits.
std::string Shown(double x) {
  if (std::isnan(x)) return "NaN";
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.4g", x);
  return buffer;
}

// Exactly, for the tests.
std::string Exact(double x) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.17g", x);
  return buffer;
}

std::string FormulaArgument(const Argument& a) {
  struct {
    std::string operator()(std::monostate) const { return ""; }
    std::string operator()(double x) const { return Typed(x); }
    std::string operator()(const std::vector<double>& column) const {
      std::string s = "{";
      for (std::size_t i = 0; i < column.size(); ++i) s += (i ? ";" : "") + Typed(column[i]);
      return s + "}";
    }
    std::string operator()(bool b) const { return b ? "TRUE" : "FALSE"; }
    std::string operator()(const std::string& text) const { return "\"" + text + "\""; }
  } visit;
  return std::visit(visit, a);
}

std::string Formula(const Function& f) {
  std::string s = std::string("=") + f.name + "(";
  for (std::size_t i = 0; i < f.example.size(); ++i) s += (i ? ", " : "") + FormulaArgument(f.example[i]);
  return s + ")";
}

std::string Signature(const Function& f) {
  std::string s = std::string("=") + f.name + "(";
  for (std::size_t i = 0; i < f.parameters.size(); ++i) s += (i ? ", " : "") + std::string(f.parameters[i].name);
  return s + ")";
}

// ---- computing

// What the cell shows for these arguments: the routine's result, or the text
// of the message it gives.
Result Run(const Function& f, std::vector<Argument> arguments) {
  sheet::Arguments args(std::move(arguments));
  try {
    return f.run(args);
  } catch (const pkcore::InputError& e) {
    return std::string(e.what());
  }
}

std::vector<double> Numbers(const Result& r) {
  if (const auto* x = std::get_if<double>(&r)) return {*x};
  if (const auto* column = std::get_if<std::vector<double>>(&r)) return *column;
  return {};
}

// A unit's relation to time: how a value given per minute reads in a time
// unit of `minutes` minutes, and back.
enum class TimeUnit { None, Time, PerTime, Mixed };

TimeUnit OfTime(const char* unit) {
  if (!unit) return TimeUnit::None;
  const std::string u = unit;
  if (u.find("min") == std::string::npos) return TimeUnit::None;
  if (u == "min") return TimeUnit::Time;
  // "1/min", "L/min", "mg/min"; not "L and L/min", a column of mixed units.
  if (u.find(' ') == std::string::npos && u.find("/min") == u.size() - 4 && u.find("min") == u.size() - 3)
    return TimeUnit::PerTime;
  return TimeUnit::Mixed;
}

double InUnit(double perMinute, TimeUnit unit, double minutes) {
  switch (unit) {
    case TimeUnit::Time: return perMinute / minutes;
    case TimeUnit::PerTime: return perMinute * minutes;
    default: return perMinute;
  }
}

double BackToMinutes(double value, TimeUnit unit, double minutes) {
  switch (unit) {
    case TimeUnit::Time: return value * minutes;
    case TimeUnit::PerTime: return value / minutes;
    default: return value;
  }
}

// The worked example computed with its times in hours and in seconds and
// brought back to minutes, where that changes the result: such a function's
// times belong in minutes. Empty for a function that computes the same in
// any time unit, or whose units cannot be rescaled one by one.
struct UnitDependence {
  std::vector<double> hours, minutes, seconds;
};

std::optional<UnitDependence> TimeUnitDependence(const Function& f) {
  std::vector<TimeUnit> in;
  for (const Parameter& p : f.parameters) in.push_back(OfTime(p.unit));
  std::vector<TimeUnit> out;
  const std::vector<double> base = Numbers(Run(f, f.example));
  if (base.empty()) return std::nullopt;
  if (f.returns.shape == Shape::FixedColumn)
    for (const sheet::Row& row : f.returns.rows) out.push_back(OfTime(row.unit));
  else
    out.assign(base.size(), OfTime(f.returns.unit));
  if (out.size() != base.size()) return std::nullopt;
  const auto mixed = [](TimeUnit u) { return u == TimeUnit::Mixed; };
  if (std::any_of(in.begin(), in.end(), mixed) || std::any_of(out.begin(), out.end(), mixed)) return std::nullopt;
  if (std::all_of(in.begin(), in.end(), [](TimeUnit u) { return u == TimeUnit::None; })) return std::nullopt;

  const auto computeIn = [&](double minutes) {
    std::vector<Argument> args = f.example;
    for (std::size_t i = 0; i < args.size(); ++i) {
      if (auto* x = std::get_if<double>(&args[i])) *x = InUnit(*x, in[i], minutes);
      if (auto* column = std::get_if<std::vector<double>>(&args[i]))
        for (double& x : *column) x = InUnit(x, in[i], minutes);
    }
    std::vector<double> values = Numbers(Run(f, args));
    if (values.size() != out.size()) return std::vector<double>{};
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = BackToMinutes(values[i], out[i], minutes);
    return values;
  };
  UnitDependence d{computeIn(60), base, computeIn(1.0 / 60)};
  if (d.hours.size() != base.size() || d.seconds.size() != base.size()) return std::nullopt;
  const auto differs = [](double a, double b) { return std::abs(a - b) > 1e-6 * std::max(std::abs(a), std::abs(b)); };
  for (std::size_t i = 0; i < base.size(); ++i)
    if (differs(d.hours[i], base[i]) || differs(d.seconds[i], base[i])) return d;
  return std::nullopt;
}

// ---- the add-ins

struct Addin {
  const Table* table;
  std::vector<const Function*> byIndex;  // help index i + 1
};

// The order in which Excel registers the functions, and so their help indices.
Addin Registered(const Table& table) {
  Addin addin{&table, {}};
  for (bool added : {false, true}) {
    std::vector<const Function*> part;
    for (const Function& f : table.functions)
      if (f.added == added) part.push_back(&f);
    std::sort(part.begin(), part.end(),
              [](const Function* a, const Function* b) { return std::string(a->name) < std::string(b->name); });
    addin.byIndex.insert(addin.byIndex.end(), part.begin(), part.end());
  }
  return addin;
}

// For readers, not Excel: case ignored.
std::vector<const Function*> Alphabetical(const Addin& addin) {
  std::vector<const Function*> list = addin.byIndex;
  const auto lower = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  std::sort(list.begin(), list.end(),
            [&](const Function* a, const Function* b) { return lower(a->name) < lower(b->name); });
  return list;
}

std::string Page(const Function& f) { return std::string(f.name) + ".htm"; }

const char* kStyle =
    "body{font-family:Segoe UI,Arial,sans-serif;font-size:10pt;margin:1em 2em;max-width:60em;color:#222}"
    "h1{font-size:16pt;margin-bottom:0.2em}h2{font-size:12pt;margin-top:1.4em;border-bottom:1px solid #ccc}"
    "code,pre,.formula{font-family:Consolas,Courier New,monospace}"
    "pre{background:#f4f4f4;padding:0.5em;white-space:pre-wrap}"
    "table{border-collapse:collapse;margin:0.4em 0}td,th{border:1px solid #ccc;padding:0.2em 0.5em;"
    "vertical-align:top;text-align:left}th{background:#eee}td.n{text-align:right}"
    ".note{background:#fff4d6;border:1px solid #e0c070;padding:0.5em}"
    ".foot{margin-top:2em;color:#666;font-size:9pt}.nav{font-size:9pt}";

std::string Head(const std::string& title) {
  return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n"
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\n"
         "<title>" +
         Html(title) + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n";
}

std::string Foot(const Table& table, const std::string& version, const std::string& extra) {
  return "<p class=\"foot\">" + Html(table.addin) + " " + Html(version) + extra + "</p>\n</body>\n</html>\n";
}

const char* KindText(Kind kind) {
  switch (kind) {
    case Kind::Number: return "number";
    case Kind::Column: return "column or row of cells";
    case Kind::Flag: return "TRUE or FALSE";
    case Kind::OptionalFlag: return "TRUE or FALSE, may be left out";
    case Kind::Text: return "text";
  }
  return "";
}

std::string ShapeText(const Function& f, std::size_t rows) {
  switch (f.returns.shape) {
    case Shape::Number: return "one number";
    case Shape::Column:
      return "a column, one number for each row of the argument columns (enter the formula over as many cells as "
             "the columns have rows, as an array formula)";
    case Shape::FixedColumn:
      return "a column of " + std::to_string(rows) +
             " numbers (enter the formula over that many cells of a column, as an array formula)";
    case Shape::Text: return "a text";
  }
  return "";
}

std::string UnitCell(const char* unit) { return unit ? Html(unit) : "&nbsp;"; }

// The example as a small sheet: its column arguments, then the result.
std::string ExampleTable(const Function& f, const Result& result) {
  std::ostringstream o;
  if (const auto* text = std::get_if<std::string>(&result)) {
    o << "<p>The cell shows:</p>\n<pre>" << Html(*text) << "</pre>\n";
    return o.str();
  }
  const std::vector<double> values = Numbers(result);
  if (f.returns.shape == Shape::Number && values.size() == 1) {
    o << "<p>The cell shows <b>" << Shown(values[0]) << "</b>" << (f.returns.unit ? " " + Html(f.returns.unit) : "")
      << ".</p>\n";
    return o.str();
  }
  if (f.returns.shape == Shape::FixedColumn) {
    o << "<p>The " << values.size() << " cells show:</p>\n<table>\n<tr><th>row</th><th>value</th><th>unit</th></tr>\n";
    for (std::size_t i = 0; i < values.size(); ++i) {
      const sheet::Row* row = i < f.returns.rows.size() ? &f.returns.rows[i] : nullptr;
      o << "<tr><td>" << (row ? Html(row->name) : "") << "</td><td class=\"n\">" << Shown(values[i]) << "</td><td>"
        << (row ? UnitCell(row->unit) : "&nbsp;") << "</td></tr>\n";
    }
    o << "</table>\n";
    return o.str();
  }
  // A column result beside the argument columns it answers, row by row.
  std::vector<std::size_t> columns;
  for (std::size_t i = 0; i < f.example.size(); ++i)
    if (std::holds_alternative<std::vector<double>>(f.example[i])) columns.push_back(i);
  o << "<p>The " << values.size() << " cells show, beside the rows of the argument columns:</p>\n<table>\n<tr>";
  for (std::size_t i : columns) o << "<th>" << Html(f.parameters[i].name) << "</th>";
  o << "<th>" << Html(f.name) << (f.returns.unit ? " (" + Html(f.returns.unit) + ")" : "") << "</th></tr>\n";
  for (std::size_t r = 0; r < values.size(); ++r) {
    o << "<tr>";
    for (std::size_t i : columns) {
      const auto& column = std::get<std::vector<double>>(f.example[i]);
      o << "<td class=\"n\">" << (r < column.size() ? Typed(column[r]) : "") << "</td>";
    }
    o << "<td class=\"n\"><b>" << Shown(values[r]) << "</b></td></tr>\n";
  }
  o << "</table>\n";
  return o.str();
}

std::string Covariates(unsigned reads) {
  std::vector<std::string> names;
  if (reads & drugmodels::kAge) names.push_back("Age");
  if (reads & drugmodels::kWeight) names.push_back("Weight");
  if (reads & drugmodels::kHeight) names.push_back("Height");
  if (reads & drugmodels::kSex) names.push_back("MALE");
  if (names.empty()) return "none";
  std::string s;
  for (std::size_t i = 0; i < names.size(); ++i) s += (i ? ", " : "") + names[i];
  return s;
}

std::string ModelCheckSection(const Function& f) {
  const drugmodels::CheckedModel& m = *f.model;
  std::ostringstream o;
  o << "<h2>ModelCheck</h2>\n<p><code>=ModelCheck(\"" << Html(f.name)
    << "\", Age, Weight, Height, MALE)</code> answers OK, or the first reason not to trust this model's result for "
       "a patient (<a href=\"ModelCheck.htm\">ModelCheck</a>). What it knows of this model:</p>\n<ul>\n";
  o << "<li>covariates it needs: " << Covariates(m.reads) << "</li>\n";
  if (m.jamesLbm) o << "<li>the model reads James' lean body mass (JLBM), which falls for heavy patients</li>\n";
  if (m.twoCompartments) o << "<li>two compartments: V3 and Cl3 are 0 by design</li>\n";
  if (m.ranges.empty()) {
    o << "<li>the study population's ranges: not recorded</li>\n";
  } else {
    o << "<li>the study population: ";
    for (std::size_t i = 0; i < m.ranges.size(); ++i) o << (i ? "; " : "") << Html(m.ranges[i].shown);
    o << "</li>\n";
  }
  const drugmodels::Patient& t = m.typical;
  o << "<li>a typical patient, the yardstick for a volume or clearance that has all but vanished: " << Shown(t.age)
    << " yr, " << Shown(t.weight) << " kg, " << Shown(t.height) << " cm, " << (t.male ? "male" : "female")
    << "</li>\n</ul>\n";
  return o.str();
}

std::string TimeUnitNote(const UnitDependence& d, const Function& f) {
  std::ostringstream o;
  o << "<div class=\"note\"><p><b>Times belong in minutes.</b> This function's result depends on the time unit: it "
       "computes in fixed steps of its time unit, which are short in minutes and coarse in hours. Give every time "
       "in minutes and every rate constant and clearance per minute, and read its times in minutes. The worked "
       "example above, computed with the same values in hours and in seconds and brought back to minutes:</p>\n"
       "<table>\n<tr><th>row</th><th>given in hours</th><th>in minutes</th><th>in seconds</th></tr>\n";
  for (std::size_t i = 0; i < d.minutes.size(); ++i) {
    std::string row = std::to_string(i + 1);
    if (f.returns.shape == Shape::FixedColumn && i < f.returns.rows.size()) row = f.returns.rows[i].name;
    o << "<tr><td>" << Html(row) << "</td><td class=\"n\">" << Shown(d.hours[i]) << " min</td><td class=\"n\"><b>"
      << Shown(d.minutes[i]) << " min</b></td><td class=\"n\">" << Shown(d.seconds[i]) << " min</td></tr>\n";
  }
  o << "</table></div>\n";
  return o.str();
}

// What the cell shows when the input does not suit: the routine's own
// messages, then what the argument contract says of each argument.
std::string MessagesTable(const Function& f) {
  std::ostringstream o;
  for (const pkcore::Message& m : f.messages)
    o << "<tr><td>" << MessageHtml(m.text) << "</td><td>" << Html(m.remedy) << "</td></tr>\n";
  std::vector<std::string> numbers;
  for (const Parameter& p : f.parameters) {
    if (p.kind == Kind::Number) numbers.push_back(p.name);
    for (const sheet::ShownMessage& m : sheet::ConversionMessages(p))
      o << "<tr><td>" << Html(m.text) << "</td><td>" << Html(m.remedy) << "</td></tr>\n";
  }
  if (!numbers.empty()) {
    std::string list;
    for (std::size_t i = 0; i < numbers.size(); ++i)
      list += (i == 0 ? "" : i + 1 == numbers.size() ? " or " : ", ") + numbers[i];
    o << "<tr><td>" << Html(sheet::NotANumber().what()) << "</td><td>" << (numbers.size() == 1 ? "" : "One of ")
      << Html(list) << " holds a text, an error or several cells: give " << (numbers.size() == 1 ? "it" : "each")
      << " a number.</td></tr>\n";
  }
  if (o.str().empty()) return "<p>None.</p>\n";
  return "<p>The text a cell shows when the input does not suit, and what to do about it:</p>\n"
         "<table>\n<tr><th>the cell shows</th><th>what to do</th></tr>\n" +
         o.str() + "</table>\n";
}

std::string FunctionPage(const Addin& addin, std::size_t index, const std::string& version) {
  const Function& f = *addin.byIndex[index];
  const Table& table = *addin.table;
  std::ostringstream o;
  o << Head(std::string(f.name) + " - " + table.addin);
  o << "<p class=\"nav\"><a href=\"index.htm\">" << Html(table.addin) << " functions</a></p>\n";
  o << "<h1>" << Html(f.name) << "</h1>\n<p>" << Html(Trim(f.help)) << "</p>\n";
  o << "<pre>" << Html(Signature(f)) << "</pre>\n";

  o << "<h2>Arguments</h2>\n";
  if (f.parameters.empty()) {
    o << "<p>None.</p>\n";
  } else {
    o << "<table>\n<tr><th>argument</th><th>unit</th><th>what goes in</th><th>an empty cell or a left-out "
         "argument</th></tr>\n";
    for (const Parameter& p : f.parameters)
      o << "<tr><td><code>" << Html(p.name) << "</code><br>" << KindText(p.kind) << "</td><td>" << UnitCell(p.unit)
        << "</td><td>" << Html(p.meaning ? p.meaning : Trim(p.help)) << "</td><td>" << Html(sheet::EmptyMeaning(p))
        << "</td></tr>\n";
    o << "</table>\n";
  }

  const Result result = Run(f, f.example);
  o << "<h2>Result</h2>\n<p>" << Html(ShapeText(f, f.returns.rows.size()));
  if (f.returns.unit) o << ", in " << Html(f.returns.unit);
  o << ": " << Html(f.returns.meaning) << ".</p>\n";
  if (f.returns.shape == Shape::FixedColumn) {
    o << "<table>\n<tr><th>row</th><th>unit</th></tr>\n";
    for (const sheet::Row& row : f.returns.rows)
      o << "<tr><td>" << Html(row.name) << "</td><td>" << UnitCell(row.unit) << "</td></tr>\n";
    o << "</table>\n";
  }

  o << "<h2>Worked example</h2>\n<pre class=\"formula\">" << Html(Formula(f)) << "</pre>\n" << ExampleTable(f, result);
  if (const auto d = TimeUnitDependence(f)) o << TimeUnitNote(*d, f);

  o << "<h2>Messages</h2>\n" << MessagesTable(f);

  if (f.model) o << ModelCheckSection(f);
  if (f.publication)
    o << "<h2>Publication</h2>\n<p>" << Html(f.publication) << "</p>\n";
  else if (f.model)
    o << "<h2>Publication</h2>\n<p>As the function's registration names it: " << Html(Trim(f.help))
      << ". No fuller citation is recorded with this model.</p>\n";

  o << Foot(table, version,
            " &middot; category &quot;" + Html(table.category) + "&quot; &middot; help topic " +
                std::to_string(index + 1));
  return o.str();
}

std::string IndexPage(const Addin& addin, const std::string& version) {
  const Table& table = *addin.table;
  std::ostringstream o;
  o << Head(std::string(table.addin) + " " + version);
  o << "<h1>" << Html(table.addin) << " " << Html(version) << "</h1>\n<p>The worksheet functions of "
    << Html(table.addin) << ", in the Function Wizard's category &quot;" << Html(table.category)
    << "&quot;. Each page says what goes into every argument, in which unit, what the result is, which messages "
       "the function can give and what to do about them, with a worked example.</p>\n"
       "<table>\n<tr><th>function</th><th>what it computes</th></tr>\n";
  for (const Function* f : Alphabetical(addin))
    o << "<tr><td><a href=\"" << Page(*f) << "\">" << Html(f->name) << "</a></td><td>" << Html(Trim(f->help))
      << "</td></tr>\n";
  o << "</table>\n<h2>Messages any function can give</h2>\n<table>\n<tr><th>the cell shows</th><th>what to "
       "do</th></tr>\n";
  for (const pkcore::Message& m : {sheet::kOutOfMemory, sheet::kInternalFault})
    o << "<tr><td>" << Html(m.text) << "</td><td>" << Html(m.remedy) << "</td></tr>\n";
  o << "</table>\n";
  o << Foot(table, version, "");
  return o.str();
}

std::string TopIndex(const std::vector<Addin>& addins, const std::string& version) {
  std::ostringstream o;
  o << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta http-equiv=\"Content-Type\" content=\"text/html; "
       "charset=utf-8\">\n<title>Ambrel and Corvel "
    << Html(version) << "</title>\n<style>" << kStyle << "</style>\n</head>\n<body>\n<h1>Ambrel and Corvel "
    << Html(version)
    << "</h1>\n<p>The help pages of both add-ins, as Excel's Function Wizard opens them from the compiled help "
       "files beside the add-ins; the same pages serve LibreOffice Calc.</p>\n<ul>\n";
  for (const Addin& a : addins)
    o << "<li><a href=\"" << a.table->addin << "/index.htm\">" << Html(a.table->addin) << "</a>: "
      << a.byIndex.size() << " functions</li>\n";
  o << "</ul>\n</body>\n</html>\n";
  return o.str();
}

// ---- the HTML Help project

std::string SitemapEntry(const std::string& name, const std::string& local) {
  return "<li><object type=\"text/sitemap\"><param name=\"Name\" value=\"" + Html(name) +
         "\"><param name=\"Local\" value=\"" + local + "\"></object>\n";
}

std::string Contents(const Addin& addin, const std::string& version) {
  std::ostringstream o;
  o << "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML//EN\">\n<html><body>\n<ul>\n"
    << SitemapEntry(std::string(addin.table->addin) + " " + version, "index.htm") << "<ul>\n";
  for (const Function* f : Alphabetical(addin)) o << SitemapEntry(f->name, Page(*f));
  o << "</ul>\n</ul>\n</body></html>\n";
  return o.str();
}

// The index: each function by its name, and each argument name with the
// functions that take it.
std::string Index(const Addin& addin) {
  std::map<std::string, std::vector<const Function*>> keywords;
  for (const Function* f : Alphabetical(addin)) {
    keywords[f->name].push_back(f);
    for (const Parameter& p : f->parameters) {
      auto& list = keywords[std::string(p.name) + " (argument)"];
      if (std::find(list.begin(), list.end(), f) == list.end()) list.push_back(f);
    }
  }
  std::ostringstream o;
  o << "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML//EN\">\n<html><body>\n<ul>\n";
  for (const auto& [keyword, functions] : keywords) {
    o << "<li><object type=\"text/sitemap\"><param name=\"Name\" value=\"" << Html(keyword) << "\">";
    for (const Function* f : functions)
      o << "<param name=\"Name\" value=\"" << Html(f->name) << "\"><param name=\"Local\" value=\"" << Page(*f)
        << "\">";
    o << "</object>\n";
  }
  o << "</ul>\n</body></html>\n";
  return o.str();
}

// The context map ties each help index to its page: [ALIAS] names the page of
// each context, [MAP] numbers the contexts.
std::string Project(const Addin& addin, const std::string& version) {
  const std::string name = addin.table->addin;
  std::ostringstream o;
  o << "[OPTIONS]\nCompatibility=1.1 or later\nCompiled file=" << name << ".chm\nContents file=" << name
    << ".hhc\nIndex file=" << name << ".hhk\nDefault topic=index.htm\nDisplay compile progress=No\n"
    << "Language=0x409 English (United States)\nTitle=" << name << " " << version << "\n\n[FILES]\nindex.htm\n";
  for (const Function* f : addin.byIndex) o << Page(*f) << "\n";
  o << "\n[ALIAS]\n";
  for (const Function* f : addin.byIndex) o << "IDH_" << f->name << "=" << Page(*f) << "\n";
  o << "\n[MAP]\n";
  for (std::size_t i = 0; i < addin.byIndex.size(); ++i)
    o << "#define IDH_" << addin.byIndex[i]->name << " " << i + 1 << "\n";
  return o.str();
}

std::string ExampleLines(const Addin& addin) {
  std::ostringstream o;
  for (std::size_t i = 0; i < addin.byIndex.size(); ++i) {
    const Function& f = *addin.byIndex[i];
    const Result r = Run(f, f.example);
    o << addin.table->addin << "\t" << i + 1 << "\t" << f.name << "\t" << Formula(f) << "\t";
    if (const auto* text = std::get_if<std::string>(&r)) {
      o << "text\t" << *text;
    } else {
      o << "numbers\t";
      const std::vector<double> values = Numbers(r);
      for (std::size_t k = 0; k < values.size(); ++k) o << (k ? ";" : "") << Exact(values[k]) << ":" << Shown(values[k]);
    }
    o << "\n";
  }
  return o.str();
}

// The files of a folder, each rewritten only when its text changes; a page the
// folder held before and no longer gets (a function gone) is removed.
class Folder {
 public:
  explicit Folder(fs::path path) : path_(std::move(path)) { fs::create_directories(path_); }
  void Write(const std::string& name, const std::string& text) {
    sheet::WriteIfChanged((path_ / name).string(), text);
    written_.push_back(name);
  }
  void RemoveTheRest() {
    for (const auto& entry : fs::directory_iterator(path_))
      if (entry.is_regular_file() && entry.path().extension() == ".htm" &&
          std::find(written_.begin(), written_.end(), entry.path().filename().string()) == written_.end())
        fs::remove(entry.path());
  }

 private:
  fs::path path_;
  std::vector<std::string> written_;
};

// A function the pages cannot show well is a fault of its declaration: say so
// and fail the build.
void Check(const Function& f) {
  if (f.example.size() != f.parameters.size())
    throw std::runtime_error(std::string(f.name) + ": its worked example has " + std::to_string(f.example.size()) +
                             " arguments, not " + std::to_string(f.parameters.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4 || (argc == 4 && std::string(argv[3]) != "--project")) {
    std::cerr << "usage: help_pages VERSION OUT_DIR [--project]\n";
    return 2;
  }
  const std::string version = argv[1];
  const fs::path out = argv[2];
  const bool project = argc == 4;
  try {
    const std::vector<Addin> addins = {Registered(sheet::AmbrelFunctions()), Registered(sheet::CorvelFunctions())};
    std::string examples;
    for (const Addin& addin : addins) {
      Folder folder(out / addin.table->addin);
      folder.Write("index.htm", IndexPage(addin, version));
      for (std::size_t i = 0; i < addin.byIndex.size(); ++i) {
        Check(*addin.byIndex[i]);
        folder.Write(Page(*addin.byIndex[i]), FunctionPage(addin, i, version));
      }
      if (project) {
        const std::string name = addin.table->addin;
        folder.Write(name + ".hhp", Project(addin, version));
        folder.Write(name + ".hhc", Contents(addin, version));
        folder.Write(name + ".hhk", Index(addin));
        examples += ExampleLines(addin);
      }
      folder.RemoveTheRest();
    }
    fs::create_directories(out);
    sheet::WriteIfChanged((out / "index.html").string(), TopIndex(addins, version));
    if (project) sheet::WriteIfChanged((out / "examples.tsv").string(), examples);
  } catch (const std::exception& e) {
    std::cerr << "help_pages: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
