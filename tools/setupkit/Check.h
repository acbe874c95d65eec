// setupkit check: the mistakes in a product folder that the program itself
// passes over in silence, found by reading the definition file with the
// program's own reader (data/Definition.h: its table of keys says what is
// read, up to which number) and by a dry run of the installation.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "tools/setupkit/DryRun.h"

namespace qs::kit {

enum class Severity { Warning, Error };

struct Finding {
  std::string file;  // as given on the command line, or joined to it
  int line = 1;      // 1-based; a finding about the whole file is on line 1
  Severity severity = Severity::Warning;
  std::string text;  // UTF-8: it quotes the file's values
  int column = 0;    // 1-based, in characters; 0 when the finding is about the line
};

// The exit codes of check, plan and pack.
enum KitExit : int {
  kKitClean = 0,       // nothing found; plan: the run completes; pack: built
  kKitFindings = 1,    // findings; plan: the run stops or ends in an error report
  kKitBadLine = 2,     // the command line cannot be used
  kKitUnreadable = 3,  // no product to read (no folder, no SETUP.INI); pack: not built
};

struct CheckReport {
  std::vector<Finding> findings;  // in line order
  // Why there is nothing to check; empty when the product was read.
  std::string unreadable;
  int Errors() const;
  int Warnings() const;
  int ExitCode() const;
};

// target is a product folder or the SETUP.INI in one.
CheckReport CheckProduct(const std::filesystem::path& target, const Layout& layout,
                         const Choices& choices);

// FILE:LINE[:COLUMN]: error|warning: text, one line per finding, for the
// console.
std::string FormatText(const CheckReport& report);
// The same as a JSON document (UTF-8).
std::string FormatJson(const CheckReport& report);
// A JSON string literal of UTF-8 text.
std::string JsonString(const std::string& utf8);

}  // namespace qs::kit
