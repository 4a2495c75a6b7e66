#pragma once
// What xlhost plays of Excel beyond the call-backs: loading add-ins as Excel
// does, knowing what they registered, evaluating formulas with their
// functions and calling those functions with Excel's argument conventions.
#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/Formula.h"
#include "host/Output.h"
#include "host/Sheet.h"
#include "host/Value.h"

namespace host {

// The Excel versions xlhost plays: Excel 97 was 8, Excel 2016 and later say
// 16; the add-ins read the version as a 16-bit integer.
constexpr int kFirstExcelVersion = 8;
constexpr int kLastExcelVersion = 99;

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

class UnknownFunction : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A formula that Excel itself could not evaluate as given: a reference too
// large to build, an array the cell layout cannot describe.
class Refused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "A1", "XFD1048576": a cell's name from its row and column (from 0).
std::string CellName(int row, int column);

class Workbook {
 public:
  explicit Workbook(int excelVersion);
  ~Workbook();  // closes the add-ins still open

  // Loads the library and opens it (xlAutoOpen); false with a message otherwise.
  bool LoadAddin(const std::string& path, std::string& error);
  void CloseAll();
  void SetSheet(Sheet sheet) { sheet_ = std::move(sheet); }

  // Throws FormulaError, UnknownFunction or Refused.
  Result Evaluate(const std::string& formula);
  Result Evaluate(const Expr& expression);

  // Calls a registered function with argument values, as Excel would: a value
  // for a number argument ("B") is converted first (and may be the result).
  // Throws Refused for an array the cell layout cannot describe.
  Result CallWith(const RegisteredFunction& f, const std::vector<Value>& args);

  const std::vector<RegisteredFunction>& Functions() const { return functions_; }
  bool Excel12() const { return excel12_; }

  // What Excel's add-in manager shows for each add-in loaded: the name its
  // xlAddInManagerInfo (xlAddInManagerInfo12) gives for action 1, or the
  // error or nothing it gives instead.
  struct AddinInfo {
    std::string path;
    Result name;
    bool exported = false;  // the add-in exports the entry point
  };
  std::vector<AddinInfo> AddinManagerInfo();

 private:
  struct Addin {
    std::string path;
    void* library = nullptr;
    bool open = false;
  };
  const RegisteredFunction* Find(const std::string& name) const;
  Result Call(const RegisteredFunction& f, const std::vector<Expr>& args);
  // args[i], or the sheet's cells of areas[i] where that is given.
  Result CallArguments(const RegisteredFunction& f, const std::vector<Value>& args,
                       const std::vector<const Area*>& areas);
  void CheckArea(const Area& a) const;  // throws Refused beyond kMaxReferenceCells
  template <class Cell>
  Cell* AreaCell(const Area& a, Allocator& memory) const;
  Value Index(const std::vector<Expr>& args);
  Value ValueOf(const Expr& e);      // references resolved to values
  Value ResolveArea(const Area& a);  // a cell or an array of cells

  bool excel12_;
  std::vector<Addin> addins_;
  std::vector<RegisteredFunction> functions_;
  Sheet sheet_;
};

}  // namespace host
