// The error that ends a run with the application's standard error report.
//
// Raised only where a step's failure is not part of the run's own failure
// list (a registry key or value that cannot be written, a folder that cannot
// be created or made current, a shell object that cannot be made). Each
// front end has one final catch: the window procedure's dispatch
// (app/Application.cpp), the windowless run (flow/Unattended.cpp) and
// setupkit's dry run. MainForm only notes it to the run window on its way
// there.
#pragma once

#include <charconv>
#include <cstdint>
#include <exception>
#include <string>
#include <utility>

#include "core/Texts.h"

namespace qs {

// Holds its own string: std::runtime_error would bring the library's second
// string implementation into the program.
class SetupError : public std::exception {
 public:
  explicit SetupError(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
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

// value in decimal, or in lower-case hexadecimal with at least digits digits.
inline std::string DecimalText(int32_t value) {
  char buffer[16];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}
inline std::string HexText(uint32_t value, size_t digits) {
  char buffer[16];
  std::string text(buffer, std::to_chars(buffer, buffer + sizeof buffer, value, 16).ptr);
  return text.size() < digits ? std::string(digits - text.size(), '0') + text : text;
}

// The message of a folder that cannot be created or made current, by the
// system's error code. The table is the runtime library's table of I/O
// errors, kept whole: 4, 100, 101 and 106 do not come from folder calls.
inline std::string IoErrorText(uint32_t code) {
  switch (code) {
    case 2: return text::kIoFileNotFound;
    case 3: return text::kIoInvalidName;
    case 4: return text::kIoTooManyFiles;
    case 5: return text::kIoAccessDenied;
    case 100: return text::kIoReadPastEnd;
    case 101: return text::kIoDiskFull;
    case 106: return text::kIoNotNumeric;
    default: return WithValue(text::kIoOther, DecimalText(static_cast<int32_t>(code)));
  }
}

}  // namespace qs
