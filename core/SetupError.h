// The error that ends a run with the application's standard error report.
//
// Raised only where a step's failure is not part of the run's own failure
// list (a registry key or value that cannot be written, a folder that cannot
// be created or made current, a shell object that cannot be made). It is
// caught in exactly one place, the window procedure's dispatch.
#pragma once

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "core/Texts.h"

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

// pattern with its "%s" replaced by value.
inline std::string WithValue(const char* pattern, const std::string& value) {
  std::string text = pattern;
  size_t at = text.find("%s");
  return at == std::string::npos ? text : text.replace(at, 2, value);
}

// The message of a folder that cannot be created or made current, by the
// system's error code.
inline std::string IoErrorText(uint32_t code) {
  switch (code) {
    case 2: return text::kIoFileNotFound;
    case 3: return text::kIoInvalidName;
    case 4: return text::kIoTooManyFiles;
    case 5: return text::kIoAccessDenied;
    case 100: return text::kIoReadPastEnd;
    case 101: return text::kIoDiskFull;
    case 106: return text::kIoNotNumeric;
    default: {
      char buffer[64];
      std::snprintf(buffer, sizeof buffer, text::kIoOther, static_cast<int>(code));
      return buffer;
    }
  }
}

}  // namespace qs
