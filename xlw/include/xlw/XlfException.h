#pragma once
#include <exception>
#include <stdexcept>
#include <string>

namespace xlw {

// Excel's own conditions (abort, stack overflow, uncalculated cell): a
// worksheet function returns no value when it meets one.
class XlfException : public std::exception {
 public:
  explicit XlfException(std::string what = "") : what_(std::move(what)) {}
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  std::string what_;
};

class XlfExceptionAbort : public XlfException {
 public:
  XlfExceptionAbort() : XlfException("abort") {}
};

class XlfExceptionStackOverflow : public XlfException {
 public:
  XlfExceptionStackOverflow() : XlfException("stack overflow") {}
};

class XlfExceptionUncalculated : public XlfException {
 public:
  XlfExceptionUncalculated() : XlfException("") {}
};

// Framework failures; their message is shown in the cell.
class XlfGeneralException : public std::runtime_error {
 public:
  explicit XlfGeneralException(const std::string& what) : std::runtime_error(what) {}
};

class XlfNeverGetHere : public std::runtime_error {
 public:
  explicit XlfNeverGetHere(const std::string& what) : std::runtime_error(what) {}
};

namespace detail {
// Writes "file:line: message" to the diagnostic stream, then throws
// XlfGeneralException with the message.
[[noreturn]] void ThrowGeneral(const char* file, int line, const std::string& message);
// The diagnostic line alone.
void Report(const char* file, int line, const std::string& message);
}  // namespace detail

}  // namespace xlw

#define XLW_THROW(message) ::xlw::detail::ThrowGeneral(__FILE__, __LINE__, (message))
#define XLW_REPORT(message) ::xlw::detail::Report(__FILE__, __LINE__, (message))
