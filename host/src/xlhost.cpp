// xlhost: the substitute Excel on the command line. Loads the add-ins as
// Excel does and evaluates worksheet formulas with their functions.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "HostPlatform.h"
#include "host/SubstituteExcel.h"
#include "host/Workbook.h"

using namespace host;
using namespace xlw::sdk;

namespace {

const char* kUsage =
    "usage: xlhost [options] [FORMULA ...]\n"
    "  FORMULA            a worksheet formula of the add-ins' functions, such as =F(1,{2;3},\"x\",TRUE);\n"
    "                     '-' reads one formula per line from standard input\n"
    "  --addin PATH       load this add-in (repeatable; default: both add-ins beside xlhost)\n"
    "  --excel-version N  the Excel version to play, 8 to 99 (default 16; 11 or lower: the Excel 97 layout)\n"
    "  --sheet FILE.csv   values that formulas may reference as A1 or A1:C20\n"
    "  --wizard           the function wizard is open\n"
    "  --find-replace     Excel's find and replace dialog is open\n"
    "  --list             list every registered function\n"
    "  --json             one JSON object per line\n"
    "  --calls            every call-back the add-ins make, as JSON lines on standard error\n"
    "  --env NAME         print an environment variable as the add-ins left it\n"
    "  --addin-names      print each add-in's name as Excel's add-in manager shows it\n"
    "  --version          the version of xlhost and of the add-ins built with it\n"
    "  --help             this text\n";

#if defined(_WIN32)
const char* kAddinSuffix = ".xll";
const char* kSeparator = "\\";
#else
const char* kAddinSuffix = ".so";
const char* kSeparator = "/";
#endif

std::string FunctionName(int function) {
  switch (function & ~xlIntl) {
    case xlFree: return "xlFree";
    case xlCoerce: return "xlCoerce";
    case xlSheetId: return "xlSheetId";
    case xlGetName: return "xlGetName";
    case xlfSetName: return "xlfSetName";
    case xlfRegister: return "xlfRegister";
    case xlfUnregister: return "xlfUnregister";
    case xlfGetWorkspace: return "xlfGetWorkspace";
    case xlcMessage: return "xlcMessage";
    default: return std::to_string(function);
  }
}

std::string JsonValue(const Value& v) {
  if (v.kind == Value::Kind::Array) {
    std::string out = "[";
    for (int r = 0; r < v.rows; ++r) {
      out += r ? ", [" : "[";
      for (int c = 0; c < v.columns; ++c)
        out += (c ? ", " : "") + JsonValue(v.cells[static_cast<std::size_t>(r * v.columns + c)]);
      out += "]";
    }
    return out + "]";
  }
  if (v.kind == Value::Kind::Ref || v.kind == Value::Kind::SRef) {
    std::string out = "{\"ref\": [";
    for (std::size_t i = 0; i < v.areas.size(); ++i) {
      const Area& a = v.areas[i];
      out += (i ? ", [" : "[") + std::to_string(a.rowFirst) + ", " + std::to_string(a.rowLast) + ", " +
             std::to_string(a.columnFirst) + ", " + std::to_string(a.columnLast) + "]";
    }
    return out + "]}";
  }
  // A call-back record shows what the add-in passed, not what a cell would show.
  if (v.kind == Value::Kind::Number && !std::isfinite(v.number)) return "{\"num\": \"" + ShortestNumber(v.number) + "\"}";
  return JsonCell(v);
}

void PrintCall(const CallRecord& c) {
  std::string line = "{\"function\": " + std::to_string(c.function) + ", \"name\": " +
                     JsonString(FunctionName(c.function)) + ", \"layout\": \"" +
                     (c.excel12 ? "xloper12" : "xloper") + "\", \"args\": [";
  for (std::size_t i = 0; i < c.args.size(); ++i) line += (i ? ", " : "") + JsonValue(c.args[i]);
  line += "], \"result\": " + std::to_string(c.result) + "}\n";
  std::fputs(line.c_str(), stderr);
}

std::string Visible(std::string s) {
  while (!s.empty() && s.back() == '\0') s.pop_back();  // the registered type text ends in a NUL
  return s;
}

void List(const Workbook& book, bool json) {
  for (const RegisteredFunction& f : book.Functions()) {
    std::vector<std::string> names;
    std::string rest = f.argumentText;
    for (std::size_t cut; !rest.empty();) {
      cut = rest.find(", ");
      names.push_back(rest.substr(0, cut));
      rest = cut == std::string::npos ? "" : rest.substr(cut + 2);
    }
    if (json) {
      std::string line = "{\"function\": " + JsonString(f.name) + ", \"procedure\": " + JsonString(f.procedure) +
                         ", \"type\": " + JsonString(Visible(f.typeText)) + ", \"category\": " +
                         JsonString(f.category) + ", \"help\": " + JsonString(f.help) + ", \"helpTopic\": " +
                         JsonString(f.helpTopic) + ", \"arguments\": [";
      for (std::size_t i = 0; i < f.argumentHelps.size(); ++i)
        line += std::string(i ? ", " : "") + "{\"name\": " + JsonString(i < names.size() ? names[i] : "") +
                ", \"help\": " + JsonString(f.argumentHelps[i]) + "}";
      std::cout << line << "]}\n";
      continue;
    }
    std::cout << f.name << "(" << f.argumentText << ")\n"
              << "  procedure: " << f.procedure << "\n"
              << "  type:      " << Visible(f.typeText) << "\n"
              << "  category:  " << f.category << "\n"
              << "  help:      \"" << f.help << "\"\n";
    for (std::size_t i = 0; i < f.argumentHelps.size(); ++i)
      std::cout << "  " << (i < names.size() ? names[i] : "?") << ": \"" << f.argumentHelps[i] << "\"\n";
  }
}

// As Excel's add-in manager shows each add-in: the long name it gives, or
// its file name when it gives none.
void AddinNames(Workbook& book, bool json) {
  for (const Workbook::AddinInfo& a : book.AddinManagerInfo()) {
    const bool named = !a.name.null && a.name.value.kind == Value::Kind::Text;
    const std::string file = a.path.substr(a.path.find_last_of("/\\") + 1);
    const std::string shown = named ? a.name.value.Utf8() : file;
    std::string line;
    if (json) {
      line = "{\"addin\": ";
      AppendJsonString(line, a.path);
      line += ", \"exported\": ";
      line += a.exported ? "true" : "false";
      line += ", \"answer\": ";
      if (a.exported) AppendJson(line, a.name);
      else line += "null";
      line += ", \"shown\": ";
      AppendJsonString(line, shown);
      line += "}\n";
    } else {
      line = shown + "\t" + a.path + "\n";
    }
    std::cout << line;
  }
}

// xlhost's own messages go through C's stderr, never std::cerr: an add-in
// sends std::cerr to its debugger channel, and with the one C++ runtime of a
// Linux process that is xlhost's std::cerr too.
void Say(const std::string& text) {
  std::fputs(text.c_str(), stderr);
  std::fflush(stderr);
}

int Fail(const std::string& message) {
  Say("xlhost: " + message + "\n");
  return 2;
}

void Write(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

// "16" -> 16; false for anything but a whole number in the range.
bool ParseVersion(const std::string& text, int& version) {
  const char* end = text.data() + text.size();
  long long v = 0;
  const auto parsed = std::from_chars(text.data(), end, v);
  if (parsed.ec != std::errc() || parsed.ptr != end || v < kFirstExcelVersion || v > kLastExcelVersion) return false;
  version = static_cast<int>(v);
  return true;
}

int Run(int argc, char** argv);

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::bad_alloc&) {
    return Fail("out of memory");
  }
}

namespace {

int Run(int argc, char** argv) {
  os::KeepFreedMemory();
  std::vector<std::string> addins, formulas;
  int version = 16;
  std::string sheetPath;
  bool wizard = false, findReplace = false, list = false, json = false, calls = false,
       names = false;
  std::vector<std::string> env;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto next = [&]() -> std::string {
      if (i + 1 >= argc) {
        Say("xlhost: " + a + " needs a value\n" + kUsage);
        std::exit(2);
      }
      return argv[++i];
    };
    if (a == "--addin") addins.push_back(next());
    else if (a == "--excel-version") {
      const std::string v = next();
      if (!ParseVersion(v, version))
        return Fail("--excel-version takes an Excel version, a whole number from " + std::to_string(kFirstExcelVersion) +
                    " (Excel 97) to " + std::to_string(kLastExcelVersion) + ", not '" + Excerpt(v) + "'");
    } else if (a == "--sheet") sheetPath = next();
    else if (a == "--wizard") wizard = true;
    else if (a == "--find-replace") findReplace = true;
    else if (a == "--env") env.push_back(next());
    else if (a == "--list") list = true;
    else if (a == "--json") json = true;
    else if (a == "--calls") calls = true;
    else if (a == "--addin-names") names = true;
    else if (a == "--help" || a == "-h") {
      Write(kUsage);
      return 0;
    } else if (a == "--version") {
      Write(std::string("xlhost ") + AMBREL_VERSION + "\n");
      return 0;
    } else if (a == "-") {
      for (std::string line; std::getline(std::cin, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") != std::string::npos) formulas.push_back(line);
      }
    } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
      Say("xlhost: unknown option " + Excerpt(a) + "\n" + kUsage);
      return 2;
    } else {
      formulas.push_back(a);
    }
  }
  if (addins.empty()) {
    const std::string dir = os::ExecutableDirectory();
    addins = {dir + kSeparator + "Ambrel" + kAddinSuffix, dir + kSeparator + "Corvel" + kAddinSuffix};
  }

  SubstituteExcel& excel = SubstituteExcel::Get();
  excel.Reset();
  if (calls) excel.SetCallObserver(PrintCall);
  Workbook book(version);
  if (!sheetPath.empty()) {
    Sheet sheet;
    std::string error;
    if (!sheet.Load(sheetPath, error)) return Fail(error);
    book.SetSheet(std::move(sheet));
  }
  for (const std::string& path : addins) {
    std::string error;
    if (!book.LoadAddin(path, error)) return Fail(error);
  }
  if (wizard) excel.OpenWindow("bosa_sdm_XL", "Function Arguments");
  if (findReplace) excel.OpenWindow("bosa_sdm_XL", "Find and Replace");
  if (list) List(book, json);
  for (const std::string& name : env) std::cout << os::Environment(name) << "\n";
  if (names) AddinNames(book, json);
  std::cout.flush();

  // Output is gathered and written in large pieces: a long job prints
  // thousands of lines.
  std::string out;
  for (const std::string& formula : formulas) {
    Result r;
    try {
      r = book.Evaluate(formula);
    } catch (const std::bad_alloc&) {
      Write(out);
      return Fail(Excerpt(formula) + ": out of memory");
    } catch (const std::exception& e) {
      Write(out);
      return Fail(Excerpt(formula) + ": " + e.what());
    }
    if (json) {
      out += "{\"formula\": ";
      AppendJsonString(out, formula);
      out += ", \"result\": ";
      AppendJson(out, r);
      out += "}\n";
    } else {
      AppendPlain(out, r);
    }
    if (out.size() > (1 << 16)) {
      Write(out);
      out.clear();
    }
  }
  Write(out);
  std::fflush(stdout);
  book.CloseAll();
  return 0;
}

}  // namespace
