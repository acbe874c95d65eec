#include "core/FailureLog.h"

#include "core/Texts.h"

namespace qs {

void FailureLog::Add(const char* tag, const std::string& path) {
  text_ += tag + path + "\r\n";
  ++count_;
}

void FailureLog::Clear() {
  text_.clear();
  count_ = 0;
}

void FailureLog::Offer(RunWindow& window, const char* question, const char* caption) const {
  if (count_ == 0) return;
  window.NoteFailures(text_);
  window.ShowStatus(text::kSomeStepsFailed);
  if (window.Ask(question, text::kWarningCaption, kMbYesNo | kMbIconWarning) == kIdYes) {
    window.ShowFailureList(caption, text_);
  }
}

}  // namespace qs
