#include "flow/Unattended.h"

#include "flow/ControlIds.h"
#include "flow/MainLayout.h"
#include "flow/StartUp.h"
#include "core/Paths.h"
#include "core/SetupError.h"
#include "core/Texts.h"
#include "install/InstallRun.h"
#include "uninstall/UninstallRun.h"

namespace qs {
namespace {
constexpr uint32_t kIconMask = 0xF0;
}  // namespace

int HeadlessView::MessageBox(const std::string& text, const std::string& caption,
                             uint32_t flags) {
  log_.Write("message", "[" + caption + "] " + text);
  return (flags & kMbYesNo) == kMbYesNo ? kIdNo : kIdOk;
}

int QuietRunWindow::Ask(const std::string&, const std::string& caption, uint32_t flags) {
  if ((flags & kMbYesNo) == kMbYesNo) {
    return caption == text::kCreateFolderCaption ? kIdYes : kIdNo;
  }
  // The run stops after an error box (the install folder could not be
  // made); a warning (the file after setup did not open) is a failed step.
  const uint32_t icon = flags & kIconMask;
  if (icon == kMbIconError) stopped_ = true;
  if (icon == kMbIconWarning) failed_ = true;
  return kIdOk;
}

int QuietRunWindow::ExitCode() const {
  if (stopped_ || !ended_) return kExitError;
  return failed_ ? kExitFailures : kExitDone;
}

namespace {

RunOptions OptionsOf(const CommandLine& line, HeadlessView& view) {
  RunOptions options;
  options.installFolder = line.folder ? *line.folder : view.Text(ids::kTxtFolder);
  options.overwriteAll = line.overwrite;
  options.shortCutOnDesktop = !line.noDesktop;
  options.shortCutOnStartMenu = !line.noStartMenu;
  options.shortCutOnStartUp = !line.noStartUp;
  options.shortCutOnSendTo = !line.noSendTo;
  options.openAfterSetup = line.open;
  options.makeEveryLevel = true;
  return options;
}

// True when /D= names the Windows folder or the system folder, however it
// is spelt: an install there would be removed as the product's own.
bool NamesSystemFolder(Platform& platform, const std::string& folder,
                       const ProgramValues& values) {
  auto resolved = [&](const std::string& path) {
    std::string full = MapUpperCase(platform, platform.FullPath(path), kLcmapUppercase);
    while (full.size() > 3 && full.back() == '\\') full.pop_back();
    return full;
  };
  const std::string chosen = resolved(folder);
  for (const std::string& system : {values.windowsFolder, values.systemFolder}) {
    if (!system.empty() && resolved(system) == chosen) return true;
  }
  return false;
}

}  // namespace

int RunUnattended(Platform& platform, const CommandLine& line, RunLog& log,
                  RunWatcher* watcher) {
  HeadlessView view(log);
  InstallPlan plan;
  StartUp startUp(platform, view, plan);
  startUp.Activate();
  if (view.Visible(ids::kBtnContinue)) startUp.Continue();  // past the readme
  const ProgramValues& values = startUp.values();
  const bool uninstall = startUp.mode() == Mode::Uninstall;
  // Each early end is the window's end without a question: the record's
  // temporary copy goes.
  if (!uninstall && line.folder && NamesSystemFolder(platform, *line.folder, values)) {
    log.Write("error", "bad command line: /D= names the Windows folder");
    return kExitBadCommandLine;
  }
  const std::string& definition = uninstall ? line.argument : values.infoFile;
  if (!startUp.unpackError().empty()) {
    log.Write("error", startUp.unpackError());
    return kExitError;
  }
  if (!FileExists(platform, definition)) {
    log.Write("error", std::string(text::kInfoFileMissing) + " " + definition);
    startUp.DropRecordCopy();
    return kExitNoDefinition;
  }
  if (!view.Enabled(uninstall ? ids::kBtnUnSetup : ids::kBtnSetup)) {
    log.Write("error", values.messageText);
    startUp.DropRecordCopy();
    return kExitError;
  }
  QuietRunWindow quiet(OptionsOf(line, view));
  RunWatcher unwatched;
  WatchedRunWindow watched(quiet, watcher ? *watcher : unwatched);
  LoggingRunWindow window(watched, log);
  const CodePage cp = kUtf8;
  try {
    if (uninstall) {
      UninstallRun(platform, window, values, cp).Run();
    } else {
      InstallRun(platform, window, plan, values, cp).Run();
    }
  } catch (const SetupError& error) {
    window.NoteError(ErrorReportText(error.what()));
    startUp.DropRecordCopy();
  }
  return quiet.ExitCode();
}

}  // namespace qs
