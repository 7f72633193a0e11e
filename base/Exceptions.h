// The system's failures: every failure is an exception carrying a message (UTF-8 in what()).
#pragma once

#include <stdexcept>
#include <string>

namespace SysUtils {

// A general failure, such as an invalid platform answer or an out-of-range argument.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

// A violated internal consistency check: list errors ("Listエラー") and the line commands'
// "Error:function ..." checks.
class EAssertionFailed : public Exception {
 public:
  explicit EAssertionFailed(const std::string& message) : Exception(message) {}
};

}  // namespace SysUtils
