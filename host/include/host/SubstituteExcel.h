#pragma once
// The substitute Excel: plays XLCALL32.DLL (Excel4, Excel4v) and the Excel
// process (MdCallBack12) for add-ins loaded on a machine without Excel, and
// records what they ask of it.
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "host/Value.h"

namespace host {

struct CallRecord {
  int function = 0;  // as sent, flags included
  bool excel12 = false;
  std::vector<Value> args;
  int result = 0;  // return code
};

struct Registration {
  std::vector<Value> args;  // as passed to xlfRegister
  double id = 0;
};

class SubstituteExcel {
 public:
  static SubstituteExcel& Get();

  // Back to a fresh Excel 16: no records, no failures, no windows.
  void Reset();

  // Configuration.
  enum class VersionForm { Number, Text, Missing };
  void SetVersion(int major, VersionForm form = VersionForm::Number);
  void SetAddinName(const std::string& path) { addinName_ = path; }
  // Calls of this function (flags ignored) return code until cleared.
  void FailWith(int function, int code) { failures_[function & ~xlw::sdk::xlIntl] = code; }
  void ClearFailures() { failures_.clear(); }
  // Cells that references read (row, column from 0); absent cells are empty.
  void SetCellReader(std::function<Value(int row, int column)> reader) { cellReader_ = std::move(reader); }
  // A top-level window on the calling thread.
  void OpenWindow(const std::string& className, const std::string& title);
  void CloseWindows();
  // Every call-back, as it happens.
  void SetCallObserver(std::function<void(const CallRecord&)> observer) { observer_ = std::move(observer); }

  // Records.
  const std::vector<Registration>& Registrations() const { return registrations_; }
  const std::vector<double>& Unregistered() const { return unregistered_; }
  const std::vector<std::string>& DeletedNames() const { return deletedNames_; }
  // Status bar history: a text shown, or nullopt for a clear.
  const std::vector<std::optional<std::string>>& StatusBar() const { return statusBar_; }
  const std::vector<CallRecord>& Calls() const { return calls_; }  // the last few thousand
  int Frees() const { return frees_; }                 // xlFree calls that freed memory
  int ForeignFrees() const { return foreignFrees_; }   // xlFree of memory this Excel does not own
  std::size_t LiveAllocations() const { return live_.size(); }
  int VersionMajor() const { return version_; }

  // The call-backs' work.
  int Dispatch(int function, int count, xlw::sdk::xloper** args, xlw::sdk::xloper* result);
  int Dispatch(int function, int count, xlw::sdk::xloper12** args, xlw::sdk::xloper12* result);
  void EnumWindows(std::uint32_t thread, int (*visit)(void*, const char*, const char*), void* context);

 private:
  SubstituteExcel();
  template <class Cell>
  int DispatchIn(int function, int count, Cell** args, Cell* result);
  int Answer(int function, const std::vector<Value>& args, Value& answer);
  int Coerce(const Value& source, int kind, Value& answer);
  // The cells of a one-area reference; false when there are more than xlhost builds.
  bool Resolve(const Value& reference, Value& out);
  template <class Cell>
  void Free(Cell* cell);

  std::recursive_mutex mutex_;
  int version_ = 16;
  VersionForm versionForm_ = VersionForm::Text;
  std::string addinName_;
  std::map<int, int> failures_;
  std::function<Value(int, int)> cellReader_;
  struct Window {
    std::uint32_t thread;
    std::string className, title;
    void* handle;  // the real window on Windows
  };
  std::vector<Window> windows_;
  std::function<void(const CallRecord&)> observer_;

  std::vector<Registration> registrations_;
  double nextId_ = 1;
  std::vector<double> unregistered_;
  std::vector<std::string> deletedNames_;
  std::vector<std::optional<std::string>> statusBar_;
  std::vector<CallRecord> calls_;
  int frees_ = 0;
  int foreignFrees_ = 0;
  std::set<void*> live_;
  friend class HostAllocator;
};

}  // namespace host
