#include "app/Deploy.h"

#include "app/Start.h"
#include "flow/Unattended.h"
#include "core/Texts.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/Wide.h"

namespace qs::app {
namespace {

// The /LOG= file added to, or made: never through a link or junction, never
// a file with another name (a second hard link), shared for reading only.
AppendFile OpenLogFile(const CommandLine& line) {
  if (!line.logFile) return AppendFile{};
  return win32::Win32Platform().AppendTo(*line.logFile);
}

// Ends before any run, saying why in the log when one can be had.
int EndEarly(const CommandLine& line, const std::string& why, int code) {
  AppendFile file = OpenLogFile(line);
  RunLog log(std::move(file.writer), LocalTimeNow, file.size == 0);
  log.Write("error", why);
  log.Write("exit", std::to_string(code));
  return code;
}

// After the usage and the command line have been dealt with: the same
// session as the window's, then the run.
int RunGuarded(HINSTANCE instance, const CommandLine& line) {
  ProgramSession session;
  if (session.anotherCopyRuns()) {
    // The running copy may hold the same log: then this one stays silent.
    return EndEarly(line, "another copy is running", kExitAnotherCopy);
  }
  int code = kExitBadCommandLine;  // a /LOG= file that cannot be opened, or is refused
  AppendFile file = OpenLogFile(line);
  if (!line.logFile || file.writer) {
    RunLog log(std::move(file.writer), LocalTimeNow, file.size == 0);
    log.Write("start", win32::Narrow(::GetCommandLineW()));
    SwitchedPlatform<win32::Win32Platform> platform(line);
    if (line.silent) {
      code = RunUnattended(platform, line, log);
    } else {
      RunWindows(instance, platform, &log);
      code = kExitDone;
    }
    log.Write("exit", std::to_string(code));
  }
  return code;
}

}  // namespace

int RefuseToStart(const CommandLine& line) {
  if (line.silent) return EndEarly(line, text::kSystemTooOld, kExitError);
  ::MessageBoxW(nullptr, win32::Wide(text::kSystemTooOld), win32::Wide(text::kAppTitle),
                MB_OK | MB_ICONSTOP);
  return kExitError;
}

int RunSwitched(HINSTANCE instance, const CommandLine& line) {
  if (line.usage) {
    ::MessageBoxW(nullptr, win32::Wide(text::kUsage), win32::Wide(text::kAppTitle),
                  MB_OK | MB_ICONINFORMATION);
    return kExitDone;
  }
  if (!line.error.empty()) {
    return EndEarly(line, "bad command line: " + line.error, kExitBadCommandLine);
  }
  return RunGuarded(instance, line);
}

}  // namespace qs::app
