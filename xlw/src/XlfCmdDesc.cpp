#include "xlw/XlfCmdDesc.h"

#include "xlw/CellMatrix.h"
#include "xlw/XlfException.h"
#include "xlw/XlfExcel.h"

namespace xlw {

using namespace sdk;

namespace {
constexpr double kWorksheetMenuBar = 10;
}

XlfCmdDesc::XlfCmdDesc(const std::string& name, const std::string& alias, const std::string& comment,
                       const std::string& menu, const std::string& menuText)
    : XlfAbstractCmdDesc(name, alias, comment), menu_(menu), menuText_(menuText) {}

int XlfCmdDesc::RegisterWithExcel(const std::string& dllName, const std::string& suggestedHelpId) {
  const XlfExcel& excel = XlfExcel::Instance();
  XlfOper dll(dllName), proc(GetName()), type(std::string("A")), alias(GetAlias()), args(std::string("")),
      macroType(2.0), result;
  XlfOper category(std::string("")), shortcut(std::string("")), topic(suggestedHelpId), help(GetComment());
  LPXLFOPER cells[] = {dll.GetLPXLFOPER(), proc.GetLPXLFOPER(), type.GetLPXLFOPER(), alias.GetLPXLFOPER(),
                       args.GetLPXLFOPER(), macroType.GetLPXLFOPER(), category.GetLPXLFOPER(),
                       shortcut.GetLPXLFOPER(), topic.GetLPXLFOPER(), help.GetLPXLFOPER()};
  const int code = excel.Call(xlfRegister, result.GetLPXLFOPER(), 10, cells);
  registrationId_ = (code == 0 && result.Kind() == xltypeNum) ? result.Number() : -1.0;
  return code;
}

int XlfCmdDesc::UnregisterFromExcel(const std::string&) {
  if (registrationId_ == -1.0) return 0;
  XlfOper id(registrationId_), result;
  return XlfExcel::Instance().Call(xlfUnregister, result.GetLPXLFOPER(), id);
}

void XlfCmdDesc::WriteDoc(std::ostream& out) const {
  out << "<para>" << GetAlias() << ": " << GetComment() << "</para>\n";
}

void XlfCmdDesc::AddToMenuBar() {
  const XlfExcel& excel = XlfExcel::Instance();
  XlfOper bar(kWorksheetMenuBar), menu(menu_), position(1.0), found;
  const int code = excel.Call(xlfGetBar, found.GetLPXLFOPER(), bar, menu, position);
  if (code != 0 || found.Kind() == xltypeErr) {
    CellMatrix table(2, 5);
    table(0, 0) = menu_;
    table(1, 0) = menuText_;
    table(1, 1) = GetAlias();
    table(1, 2) = std::string("");
    table(1, 3) = GetComment();
    table(1, 4) = std::string("");
    XlfOper description(table), result;
    if (excel.Call(xlfAddMenu, result.GetLPXLFOPER(), bar, description) != 0)
      XLW_REPORT("Add Menu " + menu_ + " failed");
    return;
  }
  CellMatrix row(1, 4);
  row(0, 0) = menuText_;
  row(0, 1) = GetAlias();
  row(0, 2) = std::string("");
  row(0, 3) = GetComment();
  XlfOper description(row), result;
  if (excel.Call(xlfAddCommand, result.GetLPXLFOPER(), bar, menu, description) != 0)
    XLW_REPORT("Add command " + GetAlias() + " to " + menu_ + " failed");
}

void XlfCmdDesc::RemoveFromMenuBar() {
  const XlfExcel& excel = XlfExcel::Instance();
  XlfOper bar(kWorksheetMenuBar), menu(menu_), item(menuText_), found, result;
  if (excel.Call(xlfGetBar, found.GetLPXLFOPER(), bar, menu, item) != 0 || found.Kind() == xltypeErr) return;
  if (excel.Call(xlfDeleteCommand, result.GetLPXLFOPER(), bar, menu, item) != 0)
    XLW_REPORT("Delete Command " + GetAlias() + " from " + menu_ + " failed");
  XlfOper first(1.0), left;
  if (excel.Call(xlfGetBar, left.GetLPXLFOPER(), bar, menu, first) != 0 || left.Kind() == xltypeErr) {
    XlfOper deleted;
    if (excel.Call(xlfDeleteMenu, deleted.GetLPXLFOPER(), bar, menu) != 0)
      XLW_REPORT("Delete Menu " + menu_ + " failed");
  }
}

}  // namespace xlw
