#include "core/ShortCut.h"

#include "core/Paths.h"
#include "core/SetupError.h"
#include "core/Texts.h"

namespace qs {
namespace {

[[noreturn]] void RaiseLinkError(Platform& platform, const ShellLinkResult& result) {
  if (result.noInterface) throw SetupError(text::kInterfaceNotSupported);
  std::string message = platform.SystemErrorText(result.error);
  if (message.empty()) {
    message = WithValue(text::kOleError, HexText(static_cast<uint32_t>(result.error), 8));
  }
  throw SetupError(message);
}

}  // namespace

std::string MakeShortCut(Platform& platform, RunWatcher& watcher, const std::string& target,
                         const std::string& linkName, int csidl, CodePage cp) {
  ShellLinkResult made = platform.CreateShellLink();
  if (!made.link) RaiseLinkError(platform, made);
  std::string folder = platform.SpecialFolder(csidl);
  if (folder.empty()) return std::string();
  made.link->SetPath(target);
  made.link->SetWorkingDirectory(FolderPart(target, cp));
  std::string linkPath = JoinPath(folder, linkName, cp) + ".lnk";
  // Only the last level of the link's folder is made. The folder ends at the
  // last backslash: a colon in a link's name is no drive.
  std::string linkFolder = linkPath.substr(0, cp.FindLastOf(linkPath, "\\") + 1);
  if (!FolderExists(platform, linkFolder)) {
    uint32_t error = platform.MakeFolder(linkFolder);
    watcher.NoteStep(FolderStep(linkFolder, error, "for a shortcut"));
    if (error != 0) throw SetupError(IoErrorText(error));
  }
  made.link->Save(linkPath);
  return linkPath;
}

}  // namespace qs
