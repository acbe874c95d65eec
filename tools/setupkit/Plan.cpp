#include "tools/setupkit/Plan.h"

#include "tools/setupkit/Check.h"
#include "tools/setupkit/Text.h"

namespace qs::kit {
namespace {

std::string Line(const Step& step) {
  std::string kind = step.kind;
  kind.resize(std::max<size_t>(kind.size() + 1, 14), ' ');
  std::string line = "  " + kind + step.path;
  if (!step.detail.empty()) line += "  [" + step.detail + "]";
  return line + "\n";
}

std::string Indented(const std::string& text, const char* indent) {
  std::string out;
  for (const std::string& line : NonEmptyLines(text)) out += indent + line + "\n";
  return out;
}

}  // namespace

const char kLayoutHelp[] =
    "The Windows it installs onto (paths as Windows writes them):\n"
    "  --folder PATH      the install folder (default: the one SETUP.EXE proposes);\n"
    "                     its parent folder is taken to exist (with --silent,\n"
    "                     only on a drive other than the layout's: /D= makes\n"
    "                     every missing level)\n"
    "  --windows PATH     the Windows folder (default C:\\WINDOWS); Program Files\n"
    "                     is beside it, as SETUP.EXE works it out\n"
    "  --system PATH      the system folder (default C:\\WINDOWS\\SYSTEM)\n"
    "  --temp PATH        the temporary folder (default C:\\WINDOWS\\TEMP\\)\n"
    "  --desktop PATH, --programs PATH, --startup PATH, --sendto PATH\n"
    "                     the special folders shortcuts go to\n"
    "The user's choices in the main window:\n"
    "  --no-desktop, --no-startmenu, --no-startup, --no-sendto\n"
    "                     leave that shortcut box unchecked\n"
    "  --no-overwrite     leave 'overwrite automatically' unchecked (answers No)\n"
    "  --keep-shared      answer No when the uninstaller asks about a shared file\n"
    "  --silent           run as SETUP.EXE /S does (--folder as /D=, --no-desktop as\n"
    "                     /NODESKTOP and so on): files that exist stay, files\n"
    "                     flagged ,/C stay, nothing is opened\n";

bool TakeLayoutOptions(std::vector<std::string>& args, Layout& layout, Choices& choices,
                       std::string& error) {
  std::vector<std::string> rest;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string* target = arg == "--folder"     ? &choices.folder
                          : arg == "--windows"  ? &layout.windowsFolder
                          : arg == "--system"   ? &layout.systemFolder
                          : arg == "--temp"     ? &layout.tempFolder
                          : arg == "--desktop"  ? &layout.specialFolders[0]
                          : arg == "--programs" ? &layout.specialFolders[2]
                          : arg == "--startup"  ? &layout.specialFolders[7]
                          : arg == "--sendto"   ? &layout.specialFolders[9]
                                                : nullptr;
    if (target) {
      if (i + 1 == args.size()) {
        error = arg + " needs a path";
        return false;
      }
      // Paths are given in UTF-8, the program's own text.
      *target = args[++i];
    } else if (arg == "--no-desktop") {
      choices.desktop = false;
    } else if (arg == "--no-startmenu") {
      choices.startMenu = false;
    } else if (arg == "--no-startup") {
      choices.startUp = false;
    } else if (arg == "--no-sendto") {
      choices.sendTo = false;
    } else if (arg == "--no-overwrite") {
      choices.overwrite = false;
    } else if (arg == "--keep-shared") {
      choices.removeShared = false;
    } else if (arg == "--silent") {
      choices.silent = true;
    } else {
      rest.push_back(arg);
    }
  }
  args = rest;
  return true;
}

std::string FormatPlan(const DryRunResult& result) {
  std::string out;
  if (!result.definitionFound) return "no SETUP.INI: the program would only show its start-up error\n";
  out += "install folder: " + result.installFolder + "\n";
  out += "install:\n";
  for (const Step& step : result.install) {
    out += Line(step);
    if (step.kind == "record") out += Indented(result.record, "      ");
  }
  if (result.stopped) out += "the run stops: the install folder cannot be made\n";
  if (!result.runError.empty()) {
    out += "the run ends with the error report: " + result.runError + "\n";
  }
  if (!result.failureList.empty()) {
    out += "failure list:\n" + Indented(result.failureList, "  ");
  }
  if (result.record.empty()) return out;
  out += "uninstall from " + result.recordPath + ":\n";
  for (const Step& step : result.uninstall) out += Line(step);
  if (!result.uninstallFailureList.empty()) {
    out += "uninstall failure list:\n" + Indented(result.uninstallFailureList, "  ");
  }
  return out;
}

namespace {

std::string JsonSteps(const std::vector<Step>& steps) {
  std::string out = "[";
  for (size_t i = 0; i < steps.size(); ++i) {
    out += (i ? ",\n    " : "\n    ") + std::string("{\"kind\": ") + JsonString(steps[i].kind) +
           ", \"path\": " + JsonString(steps[i].path) + ", \"detail\": " +
           JsonString(steps[i].detail) + "}";
  }
  return out + (steps.empty() ? "]" : "\n  ]");
}

// A failure list, one string per line.
std::string JsonLines(const std::string& text) {
  std::string out = "[";
  for (const std::string& line : NonEmptyLines(text)) out += (out.size() > 1 ? ", " : "") + JsonString(line);
  return out + "]";
}

}  // namespace

std::string FormatPlanJson(const DryRunResult& result) {
  std::string out = "{\n  \"definitionFound\": " + std::string(result.definitionFound ? "true" : "false");
  out += ",\n  \"installFolder\": " + JsonString(result.installFolder);
  out += ",\n  \"install\": " + JsonSteps(result.install);
  out += ",\n  \"stopped\": " + std::string(result.stopped ? "true" : "false");
  out += ",\n  \"runError\": " + JsonString(result.runError);
  out += ",\n  \"failureList\": " + JsonLines(result.failureList);
  out += ",\n  \"recordPath\": " + JsonString(result.record.empty() ? "" : result.recordPath);
  out += ",\n  \"record\": " + JsonString(result.record);
  out += ",\n  \"uninstall\": " + JsonSteps(result.uninstall);
  out += ",\n  \"uninstallFailureList\": " + JsonLines(result.uninstallFailureList);
  return out + "\n}\n";
}

int PlanExitCode(const DryRunResult& result) {
  if (!result.definitionFound) return kKitUnreadable;
  return !result.stopped && result.runError.empty() ? kKitClean : kKitFindings;
}

}  // namespace qs::kit
