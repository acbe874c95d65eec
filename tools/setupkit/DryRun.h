// The dry run behind setupkit check and plan: a product folder loaded into
// the in-memory Windows, then the program's own main window handlers and
// runs carry out an installation and an uninstall from its record, with the
// user's choices answered from options. Every change they make is written
// down in order.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/RunWindow.h"
#include "data/ProgramValues.h"
#include "platform/Platform.h"

namespace qs::kit {

// The Windows the dry run installs onto. The Program
// Files folder is not among them: the program derives it from the Windows
// folder.
struct Layout {
  std::string windowsFolder = "C:\\WINDOWS";
  std::string systemFolder = "C:\\WINDOWS\\SYSTEM";
  std::string tempFolder = "C:\\WINDOWS\\TEMP\\";
  std::string sourceFolder = "D:\\";  // where SETUP.EXE is started from
  std::map<int, std::string> specialFolders = {
      {0, "C:\\WINDOWS\\Desktop"},
      {2, "C:\\WINDOWS\\Start Menu\\Programs"},
      {7, "C:\\WINDOWS\\Start Menu\\Programs\\StartUp"},
      {9, "C:\\WINDOWS\\SendTo"},
  };
};

// What the user would choose in the main window.
struct Choices {
  std::string folder;  // the install folder; empty: the one the program proposes
  bool overwrite = true;
  bool desktop = true;
  bool startMenu = true;
  bool startUp = true;
  bool sendTo = true;
  bool removeShared = true;  // the answer to the uninstaller's shared-file question
  // The runs as SETUP.EXE /S makes them (with /D= for folder and /NODESKTOP
  // and the rest for the places left out): files that exist stay, files
  // flagged ,/C stay, nothing is opened. overwrite and removeShared do not
  // apply.
  bool silent = false;
};

// One change, in the order the run made it. kind is one of: folder, file,
// shortcut, not-made (a link the run means to make that gives no usable
// link), registry, uninstaller, record, registration, open (the file opened
// after setup), not-opened (the same under /S), delete, remove-folder,
// delete-key.
struct Step {
  std::string kind;
  std::string path;
  std::string detail;
};

struct DryRunResult {
  bool definitionFound = false;
  ProgramValues values;        // as the main window set them
  std::string installFolder;   // the folder the run used
  std::vector<Step> install;
  bool stopped = false;        // the install folder could not be made
  std::string runError;        // the standard error report that ended the install run
  std::string failureList;     // the install run's failure list
  std::string recordPath;
  std::string record;          // the uninstall record's text (UTF-8, whatever its form)
  std::vector<Step> uninstall;
  std::string uninstallFailureList;
};

// Runs an installation of the product in folder (SETUP.INI, SETUP.EXE and
// the product's files beside them; the files of its sub-folders are there
// too, where the program finds only the readme), and the uninstall from its
// record. definition, when given, is the file that
// stands as SETUP.INI. The plan is what the runs tell of their steps; what
// they show the user does not enter it: a between, when given, stands
// between the runs and the main window (a test puts one there that changes
// what the window shows).
using WindowBetween = std::function<std::unique_ptr<RunWindow>(RunWindow& window)>;
DryRunResult DryRun(const std::filesystem::path& folder, const Layout& layout,
                    const Choices& choices, const std::filesystem::path& definition = {},
                    const WindowBetween& between = {});

}  // namespace qs::kit
