#include "core/RunWindow.h"

#include <iterator>

#include "core/SetupError.h"
#include "platform/Platform.h"

namespace qs {

RunStep FolderStep(std::string path, uint32_t error, std::string what) {
  const bool done = error == 0 || error == kErrAlreadyExists;
  RunStep step{"folder", std::move(path), done, std::move(what)};
  if (error == kErrAlreadyExists) {
    step.detail += step.detail.empty() ? "exists already" : "; exists already";
  } else if (error != 0) {
    step.failure = "fails: " + IoErrorText(error);
  }
  return step;
}

// Division only: the remainder of a 64-bit division would bring in a
// runtime routine of its own.
std::string DecimalText(uint64_t value) {
  char digits[20];
  size_t count = 0;
  do {
    const uint64_t rest = value / 10;
    digits[count++] = static_cast<char>('0' + (value - rest * 10));
    value = rest;
  } while (value != 0);
  return std::string(std::make_reverse_iterator(digits + count),
                     std::make_reverse_iterator(digits));
}

bool Tell(RunWatcher& watcher, const RunStep& step) {
  watcher.NoteStep(step);
  return step.done;
}

bool Tell(RunWatcher& watcher, const char* kind, const std::string& subject, bool done,
          const std::string& detail) {
  return Tell(watcher, RunStep{kind, subject, done, detail});
}

std::string StepDetail(const RunStep& step) {
  std::string outcome;
  if (!step.done) outcome = step.failure.empty() ? "fails" : step.failure;
  if (step.detail.empty()) return outcome;
  return outcome.empty() ? step.detail : step.detail + "; " + outcome;
}

}  // namespace qs
