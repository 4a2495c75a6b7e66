#pragma once
#include <string>
#include <vector>

namespace xlw {

// One argument of a registered function: its name, its help and its type code
// ("XLF_OPER", "B", ...), mapped to Excel's code at registration.
class XlfArgDesc {
 public:
  XlfArgDesc(const std::string& name, const std::string& comment, const std::string& type = "XLF_OPER");
  const std::string& GetName() const { return name_; }
  const std::string& GetComment() const { return comment_; }
  const std::string& GetType() const { return type_; }
  // The code Excel understands in this session ("Q", "U", "C%", "K%", or the code itself).
  std::string GetTypeCode() const;

 private:
  std::string name_;
  std::string comment_;
  std::string type_;
};

using XlfArgDescList = std::vector<XlfArgDesc>;

}  // namespace xlw
