#include "calc/Generator.h"

#include <cctype>
#include <cstdio>
#include <set>
#include <sstream>
#include <stdexcept>

namespace calc::generate {
namespace {


// The names Calc stores in documents (the service's name and the method's,
// upper-cased: AMBREL.CALC.AMBREL.PREDCP): never change them.
constexpr const char* kModule = "ambrel.calc";



const char* KindName(sheet::Kind kind) {
  switch (kind) {
    case sheet::Kind::Number: return "Number";
    case sheet::Kind::Column: return "Column";
    case sheet::Kind::Flag: return "Flag";
    case sheet::Kind::OptionalFlag: return "OptionalFlag";
    case sheet::Kind::Text: return "Text";
  }
  return "?";
}

// UNO IDL takes letters and digits, a letter first (no underscores).
bool IsIdentifier(const std::string& s) {
  if (s.empty() || !std::isalpha(static_cast<unsigned char>(s[0]))) return false;
  for (char c : s)
    if (!std::isalnum(static_cast<unsigned char>(c))) return false;
  return true;
}

std::string LettersAndDigits(const std::string& s) {
  std::string out;
  for (char c : s)
    if (std::isalnum(static_cast<unsigned char>(c))) out += c;
  return out;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Words that UNO IDL or C++ reserve: an argument so named gets a neutral name
// in the IDL (its display name in Calc stays the table's).
bool Reserved(const std::string& s) {
  static const std::set<std::string> words = {
      "any", "attribute", "boolean", "bound", "byte", "char", "const", "constants", "constrained", "double",
      "enum", "exception", "false", "float", "get", "hyper", "in", "inout", "interface", "long",
      "maybeambiguous", "maybedefault", "maybevoid", "module", "needs", "observes", "oneway", "optional", "out",
      "property", "published", "raises", "readonly", "removable", "sequence", "service", "set", "short",
      "singleton", "string", "struct", "transient", "true", "type", "typedef", "unsigned", "void",
      "alignas", "alignof", "and", "asm", "auto", "bitand", "bitor", "bool", "break", "case", "catch", "class",
      "compl", "constexpr", "continue", "decltype", "default", "delete", "do", "dynamic_cast", "else",
      "explicit", "export", "extern", "for", "friend", "goto", "if", "inline", "int", "mutable", "namespace",
      "new", "noexcept", "not", "nullptr", "operator", "or", "private", "protected", "public", "register",
      "return", "signed", "sizeof", "static", "switch", "template", "this", "throw", "try", "typeid",
      "typename", "union", "using", "virtual", "volatile", "while", "xor"};
  return words.count(Lower(s)) > 0;
}

// Methods every add-in object already has; a function may not take their name.
bool TakenByUno(const std::string& s) {
  static const std::set<std::string> names = {"acquire", "release", "queryInterface", "queryAdapter",
                                               "getTypes", "getImplementationId", "getServiceName",
                                               "getImplementationName", "supportsService",
                                               "getSupportedServiceNames"};
  return names.count(s) > 0;
}


std::string Xml(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Json(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
      out += buffer;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}




std::string Localized(const char* property, const std::string& text, const char* indent) {
  return std::string(indent) + "<prop oor:name=\"" + property + "\"><value xml:lang=\"en-US\">" + Xml(text) +
         "</value></prop>\n";
}

}  // namespace

std::string AddIn::Service() const { return std::string(kModule) + "." + table.addin; }
std::string AddIn::Implementation() const { return Service() + "AddIn"; }
std::string AddIn::Interface() const { return std::string("X") + table.addin; }

// The IDL names of a function's parameters; Calc matches the Function
// Wizard's entries to them by these names.
std::vector<std::string> ParameterNames(const sheet::Function& f) {
  std::vector<std::string> names;
  std::set<std::string> seen;
  for (std::size_t i = 0; i < f.parameters.size(); ++i) {
    std::string name = LettersAndDigits(f.parameters[i].name);  // peak_time: peaktime
    if (!IsIdentifier(name) || Reserved(name) || seen.count(Lower(name))) name = "arg" + std::to_string(i + 1);
    while (seen.count(Lower(name))) name += "x";
    seen.insert(Lower(name));
    names.push_back(name);
  }
  return names;
}

// Every function must be callable by its name in Calc, whose function names
// are one namespace and upper-cased.
void Check(const std::vector<AddIn>& addins) {
  std::set<std::string> seen;
  for (const AddIn& a : addins)
    for (const sheet::Function& f : a.table.functions) {
      const std::string name = f.name;
      if (!IsIdentifier(name)) throw std::runtime_error(name + " is no name Calc can call");
      if (TakenByUno(name)) throw std::runtime_error(name + " is a method every UNO object has");
      if (!seen.insert(Lower(name)).second) throw std::runtime_error(name + " appears twice (Calc ignores case)");
    }
}

std::string Idl(const std::vector<AddIn>& addins) {
  std::ostringstream o;
  o << "// Generated by calc_generate from the function tables: do not edit.\n"
    << "module ambrel { module calc {\n";
  for (const AddIn& a : addins) {
    o << "\ninterface " << a.Interface() << " : com::sun::star::uno::XInterface {\n";
    for (const sheet::Function& f : a.table.functions) {
      const auto names = ParameterNames(f);
      o << "  any " << f.name << "(";
      for (std::size_t i = 0; i < names.size(); ++i) o << (i ? ", " : "") << "[in] any " << names[i];
      o << ");\n";
    }
    o << "};\n\nservice " << a.table.addin << " : " << a.Interface() << ";\n";
  }
  o << "\n}; };\n";
  return o.str();
}

std::string Cpp(const std::vector<AddIn>& addins) {
  std::ostringstream o;
  o << "// Generated by calc_generate from the function tables: do not edit.\n"
    << "#include \"calc/AddIn.h\"\n\n";
  for (const AddIn& a : addins) o << "#include <ambrel/calc/" << a.Interface() << ".hpp>\n";
  o << "\nnamespace calc {\nnamespace {\n\nusing css::uno::Any;\n";
  for (const AddIn& a : addins) {
    const std::string table = std::string("sheet::") + a.table.addin + "Functions()";
    o << "\nclass " << a.table.addin << " final : public AddIn<ambrel::calc::" << a.Interface() << "> {\n"
      << " public:\n"
      << "  " << a.table.addin << "() : AddIn(" << table << ", \"" << a.Service() << "\", \""
      << a.Implementation() << "\") {}\n";
    for (const sheet::Function& f : a.table.functions) {
      const std::size_t n = f.parameters.size();
      o << "  Any SAL_CALL " << f.name << "(";
      for (std::size_t i = 0; i < n; ++i) o << (i ? ", " : "") << "const Any& a" << i;
      o << ") override {\n";
      if (n) {
        o << "    const Any* args[] = {";
        for (std::size_t i = 0; i < n; ++i) o << (i ? ", " : "") << "&a" << i;
        o << "};\n    return Run(\"" << f.name << "\", args, " << n << ");\n";
      } else {
        o << "    return Run(\"" << f.name << "\", nullptr, 0);\n";
      }
      o << "  }\n";
    }
    o << "};\n";
  }
  o << "\n}  // namespace\n\nconst std::vector<Service>& Services() {\n"
    << "  static const std::vector<Service> services = {\n";
  for (const AddIn& a : addins)
    o << "      {\"" << a.Implementation() << "\", \"" << a.Service() << "\",\n"
      << "       [](const css::uno::Reference<css::uno::XComponentContext>&) -> css::uno::Reference<css::uno::XInterface> {\n"
      << "         return static_cast<cppu::OWeakObject*>(new " << a.table.addin << ");\n       }},\n";
  o << "  };\n  return services;\n}\n\n}  // namespace calc\n";
  return o.str();
}

std::string Xcu(const std::vector<AddIn>& addins) {
  std::ostringstream o;
  o << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    << "<!-- Generated by calc_generate from the function tables: do not edit. -->\n"
    << "<oor:component-data xmlns:oor=\"http://openoffice.org/2001/registry\" "
       "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" oor:name=\"CalcAddIns\" oor:package=\"org.openoffice.Office\">\n"
    << " <node oor:name=\"AddInInfo\">\n";
  for (const AddIn& a : addins) {
    o << "  <node oor:name=\"" << a.Service() << "\" oor:op=\"replace\">\n"
      << "   <node oor:name=\"AddInFunctions\">\n";
    for (const sheet::Function& f : a.table.functions) {
      o << "    <node oor:name=\"" << f.name << "\" oor:op=\"replace\">\n"
        << Localized("DisplayName", f.name, "     ") << Localized("Description", f.help, "     ")
        // The name Excel files call it by: Calc saves and reads an .xls's calls under it (its .xlsx import does not look for it).
        << Localized("CompatibilityName", f.name, "     ")
        << "     <prop oor:name=\"Category\"><value>Add-In</value></prop>\n"
        << "     <node oor:name=\"Parameters\">\n";
      const auto names = ParameterNames(f);
      for (std::size_t i = 0; i < names.size(); ++i)
        o << "      <node oor:name=\"" << names[i] << "\" oor:op=\"replace\">\n"
          << Localized("DisplayName", f.parameters[i].name, "       ")
          << Localized("Description", f.parameters[i].help, "       ") << "      </node>\n";
      o << "     </node>\n    </node>\n";
    }
    o << "   </node>\n  </node>\n";
  }
  o << " </node>\n</oor:component-data>\n";
  return o.str();
}

std::string Components(const std::vector<AddIn>& addins, const std::string& library) {
  std::ostringstream o;
  o << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    << "<components xmlns=\"http://openoffice.org/2010/uno-components\">\n"
    << "  <component loader=\"com.sun.star.loader.SharedLibrary\" uri=\"" << Xml(library) << "\">\n";
  for (const AddIn& a : addins)
    o << "    <implementation name=\"" << a.Implementation() << "\">\n"
      << "      <service name=\"" << a.Service() << "\"/>\n"
      << "      <service name=\"com.sun.star.sheet.AddIn\"/>\n"
      << "    </implementation>\n";
  o << "  </component>\n</components>\n";
  return o.str();
}

std::string Functions(const std::vector<AddIn>& addins) {
  std::ostringstream o;
  o << "[\n";
  bool first = true;
  for (const AddIn& a : addins)
    for (const sheet::Function& f : a.table.functions) {
      o << (first ? "" : ",\n") << "  {\"addin\": " << Json(a.table.addin) << ", \"service\": " << Json(a.Service())
        << ", \"name\": " << Json(f.name) << ", \"help\": " << Json(f.help) << ", \"parameters\": [";
      first = false;
      const auto names = ParameterNames(f);
      for (std::size_t i = 0; i < f.parameters.size(); ++i)
        o << (i ? ", " : "") << "{\"name\": " << Json(f.parameters[i].name) << ", \"idl\": " << Json(names[i])
          << ", \"help\": " << Json(f.parameters[i].help) << ", \"kind\": " << Json(KindName(f.parameters[i].kind))
          << "}";
      o << "]}";
    }
  o << "\n]\n";
  return o.str();
}

}  // namespace calc::generate
