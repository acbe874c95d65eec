// The error that ends a run with the application's standard error report.
//
// Raised only where a step's failure is not part of the run's own failure
// list (a registry key or value that cannot be written, a folder that cannot
// be created or made current, a shell object that cannot be made). It is
// caught in exactly one place, the window procedure's dispatch.
#pragma once

#include <stdexcept>
#include <string>

namespace qs {

class SetupError : public std::runtime_error {
 public:
  explicit SetupError(const std::string& message) : std::runtime_error(message) {}
};

// The text of the standard error report: the message, with "." appended when
// its last byte sorts after ".".
inline std::string ErrorReportText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
  return message;
}

}  // namespace qs
