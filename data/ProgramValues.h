// The program-wide values that the main window works out and the runs use.
#pragma once

#include <memory>
#include <string>

#include "platform/Platform.h"

namespace qs {

struct ProgramValues {
  std::string sourceFolder;        // the program's folder, with trailing backslash
  std::string tempFolder;          // the system temporary folder, or sourceFolder
  std::string infoFile;            // SETUP.INI beside the program, or the record copy
  std::string recordFile;          // uninstalling: the record named on the command line
  std::string setupTitle;
  std::string unSetupTitle;
  std::string windowsFolder;       // empty when the system could not tell
  std::string systemFolder;        // empty when the system could not tell
  std::string programFilesFolder;  // parent of windowsFolder + "\Program Files"
  std::string messageText;         // the opening message shown in the main window
  // Installing: SETUP.EXE beside the program, held since start-up so that
  // the uninstaller copied is the file that was there then; null when it
  // could not be held (or no start-up held it).
  std::shared_ptr<HeldFile> setupProgram;
};

}  // namespace qs
