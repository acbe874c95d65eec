#include "flow/RunLog.h"

#include <ctime>

#include "platform/Unicode.h"

namespace qs {

RunLog::RunLog(std::unique_ptr<FileWriter> file, std::function<std::string()> clock, bool empty)
    : file_(std::move(file)), clock_(std::move(clock)) {
  if (file_ && empty) file_->Write(kUtf8Bom.data(), kUtf8Bom.size());
}

RunLog::~RunLog() {
  if (file_) file_->Close();
}

void RunLog::Write(const std::string& kind, const std::string& text) {
  if (!file_) return;
  const std::string head = clock_() + " " + kind + " ";
  std::string lines;
  size_t start = 0;
  // CR, LF and CR LF all end a line; empty lines inside a text are dropped,
  // but an empty text still gives its line.
  do {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    if (end > start || lines.empty()) lines += head + text.substr(start, end - start) + "\r\n";
    start = text.find_first_not_of("\r\n", end);
  } while (start != std::string::npos);
  file_->Write(lines.data(), lines.size());
}

std::string LocalTimeNow() {
  std::time_t now = std::time(nullptr);
  char buffer[32] = {};
  if (const std::tm* local = std::localtime(&now)) {
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", local);
  }
  return buffer;
}

namespace {

// The log's words for a message box answer.
std::string AnswerName(int answer) {
  switch (answer) {
    case kIdYes: return "Yes";
    case kIdNo: return "No";
    default: return std::to_string(answer);
  }
}

}  // namespace

void LoggingRunWindow::ShowStatus(const std::string& text) {
  log_.Write("step", text);
  window_.ShowStatus(text);
}

// A question and its answer; a message with only an OK button is a message.
int LoggingRunWindow::Ask(const std::string& text, const std::string& caption, uint32_t flags) {
  const bool question = (flags & kMbYesNo) == kMbYesNo;
  log_.Write(question ? "ask" : "message", "[" + caption + "] " + text);
  int answer = window_.Ask(text, caption, flags);
  if (question) log_.Write("answer", AnswerName(answer));
  return answer;
}

void LoggingRunWindow::NoteFailures(const std::string& list) {
  log_.Write("failed", list);
  window_.NoteFailures(list);
}

RunOptions LoggingRunWindow::FreezeForInstall() {
  RunOptions options = window_.FreezeForInstall();
  auto yesNo = [](bool set) { return set ? "yes" : "no"; };
  log_.Write("install", options.installFolder);
  log_.Write("options", std::string("overwrite ") + yesNo(options.overwriteAll) + ", desktop " +
                            yesNo(options.shortCutOnDesktop) + ", start menu " +
                            yesNo(options.shortCutOnStartMenu) + ", startup " +
                            yesNo(options.shortCutOnStartUp) + ", send to " +
                            yesNo(options.shortCutOnSendTo));
  return options;
}

void LoggingRunWindow::FreezeForUninstall() {
  log_.Write("uninstall", "");
  window_.FreezeForUninstall();
}

void LoggingRunWindow::EndProgram() {
  log_.Write("end", "");
  window_.EndProgram();
}

void LoggingRunWindow::NoteError(const std::string& report) {
  log_.Write("error", report);
  window_.NoteError(report);
}

void LoggingRunWindow::NoteStep(const RunStep& step) {
  const std::string detail = StepDetail(step);
  log_.Write(step.done ? step.kind : step.kind + "-failed",
             detail.empty() ? step.subject : step.subject + "  [" + detail + "]");
  window_.NoteStep(step);
}

void LoggingRunWindow::SetProgress(int percent) {
  while (loggedTenths_ < 10 && percent >= (loggedTenths_ + 1) * 10) {
    ++loggedTenths_;
    log_.Write("progress", std::to_string(loggedTenths_ * 10) + "%");
  }
  window_.SetProgress(percent);
}

}  // namespace qs
