// setupkit check: the mistakes in a product folder that the program itself
// passes over in silence, found by reading the definition file as the
// program does and by a dry run of the installation.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "tools/setupkit/DryRun.h"

namespace qs::kit {

enum class Severity { Warning, Error };

struct Finding {
  std::string file;  // as given on the command line, or joined to it
  int line = 0;      // 1-based; 0 when the finding is about the whole file
  Severity severity = Severity::Warning;
  std::string text;  // Shift-JIS: it quotes the file's values
};

struct CheckReport {
  std::vector<Finding> findings;  // in file and line order
  int Errors() const;
  int Warnings() const;
  // 0 clean, 1 warnings only, 2 errors.
  int ExitCode() const;
};

// target is a product folder or the SETUP.INI in one.
CheckReport CheckProduct(const std::filesystem::path& target, const Layout& layout,
                         const Choices& choices);

// FILE:LINE: error|warning: text, one line per finding, for the console.
std::string FormatText(const CheckReport& report);
// The same as a JSON document (UTF-8).
std::string FormatJson(const CheckReport& report);

}  // namespace qs::kit
