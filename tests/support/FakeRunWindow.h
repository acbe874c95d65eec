// A run's view of the main window in memory: message boxes answered from a
// script, everything shown written to a transcript in order.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "core/RunWindow.h"

namespace qs::test {

class FakeRunWindow : public RunWindow {
 public:
  void ShowStatus(const std::string& text) override { Log("status: " + text); }
  int Ask(const std::string& text, const std::string& caption, uint32_t flags) override {
    Log("ask[" + caption + "," + std::to_string(flags) + "]: " + text);
    if (answers.empty()) return kIdOk;
    int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void ShowProgress(bool shown) override { Log(shown ? "progress shown" : "progress hidden"); }
  void SetProgress(int percent) override { Log("progress " + std::to_string(percent) + "%"); }
  void ShowFailureList(const std::string& caption, const std::string& list) override {
    Log("failure list[" + caption + "]: " + list);
  }
  RunOptions FreezeForInstall() override {
    Log("frozen for install");
    return options;
  }
  void FreezeForUninstall() override { Log("frozen for uninstall"); }
  void EndProgram() override {
    Log("end");
    ended = true;
  }

  // Lines of the transcript that start with prefix.
  std::vector<std::string> Lines(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& line : transcript) {
      if (line.rfind(prefix, 0) == 0) found.push_back(line);
    }
    return found;
  }

  RunOptions options;
  std::deque<int> answers;
  std::vector<std::string> transcript;
  bool ended = false;

 private:
  void Log(const std::string& line) { transcript.push_back(line); }
};

}  // namespace qs::test
