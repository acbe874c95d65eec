// The failed steps of one run: one line per step, a tag, the path concerned,
// CR and LF, in the order the steps failed. Both runs collect into it and
// offer it to the user at the end the same way.
#pragma once

#include <string>

#include "core/RunWindow.h"

namespace qs {

class FailureLog {
 public:
  void Add(const char* tag, const std::string& path);
  void Clear();

  int count() const { return count_; }
  const std::string& text() const { return text_; }

  // With failures logged: notes the list with the window, shows the status
  // "some steps failed", asks question (Yes/No, warning icon) and, on Yes,
  // shows the list under caption until the user closes it. Nothing at all
  // without failures.
  void Offer(RunWindow& window, const char* question, const char* caption) const;

 private:
  std::string text_;
  int count_ = 0;
};

}  // namespace qs
