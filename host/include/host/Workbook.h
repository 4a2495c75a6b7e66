#pragma once
// What xlhost plays of Excel beyond the call-backs: loading add-ins as Excel
// does, knowing what they registered, evaluating formulas with their
// functions and calling those functions with Excel's argument conventions.
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/Formula.h"
#include "host/Value.h"

namespace host {

struct RegisteredFunction {
  std::string addin;      // path of the add-in
  std::string procedure;  // exported name
  std::string typeText;   // as registered, NUL included
  std::string name;       // worksheet name
  std::string argumentText;
  std::string category;
  std::string help;
  std::string helpTopic;
  std::vector<std::string> argumentHelps;
  double id = 0;
  void* address = nullptr;
};

// Values from a CSV file, addressed as A1.
class Sheet {
 public:
  // Reads FILE.csv; false with a message if it cannot be read.
  bool Load(const std::string& path, std::string& error);
  Value Cell(int row, int column) const;  // Nil where the sheet is empty

 private:
  std::vector<std::vector<Value>> rows_;
};

class UnknownFunction : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Result {
  Value value;
  bool null = false;  // the function returned no value
};

class Workbook {
 public:
  explicit Workbook(int excelVersion);
  ~Workbook();  // closes the add-ins still open

  // Loads the library and opens it (xlAutoOpen); false with a message otherwise.
  bool LoadAddin(const std::string& path, std::string& error);
  void CloseAll();
  void SetSheet(const Sheet& sheet) { sheet_ = sheet; }

  // Throws FormulaError or UnknownFunction.
  Result Evaluate(const std::string& formula);
  Result Evaluate(const Expr& expression);

  // Calls a registered function with argument values, as Excel would: a value
  // for a number argument ("B") is converted first (and may be the result).
  Result CallWith(const RegisteredFunction& f, const std::vector<Value>& args);

  const std::vector<RegisteredFunction>& Functions() const { return functions_; }
  bool Excel12() const { return excel12_; }

 private:
  struct Addin {
    std::string path;
    void* library = nullptr;
    bool open = false;
  };
  const RegisteredFunction* Find(const std::string& name) const;
  Result Call(const RegisteredFunction& f, const std::vector<Expr>& args);
  Value Index(const std::vector<Expr>& args);
  Value ValueOf(const Expr& e);      // references resolved to values
  Value ResolveArea(const Area& a);  // a cell or an array of cells

  bool excel12_;
  std::vector<Addin> addins_;
  std::vector<RegisteredFunction> functions_;
  Sheet sheet_;
};

// Plain and JSON renderings of a result.
std::string PlainText(const Result& r);
std::string JsonResult(const Result& r);
std::string JsonString(const std::string& s);
std::string JsonCell(const Value& v);
std::string ShortestNumber(double v);

}  // namespace host
