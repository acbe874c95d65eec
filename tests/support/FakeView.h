// A main window in memory: the controls' states start as the layout table
// says; message boxes are answered from a script and written to a transcript.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "flow/MainLayout.h"
#include "flow/MainView.h"

namespace qs::test {

class FakeView : public MainView {
 public:
  struct State {
    std::string text;
    bool visible = true;
    bool enabled = true;
    bool checked = false;
  };
  struct Box {
    std::string text;
    std::string caption;
    uint32_t flags;
  };

  FakeView() {
    for (const ControlSpec& spec : MainControls()) {
      controls[spec.id] = {spec.text, spec.visible, spec.enabled, spec.checked};
    }
  }

  void SetText(int id, const std::string& text) override { At(id).text = text; }
  std::string Text(int id) override { return At(id).text; }
  void SetVisible(int id, bool visible) override { At(id).visible = visible; }
  bool Visible(int id) override { return At(id).visible; }
  void SetEnabled(int id, bool enabled) override {
    At(id).enabled = enabled;
    if (!enabled) disabledOrder.push_back(id);
  }
  bool Enabled(int id) override { return At(id).enabled; }
  bool Checked(int id) override { return At(id).checked; }
  void SetProgress(int percent) override { progress = percent; }
  void SetCaption(const std::string& text) override { caption = text; }
  void DisableCloseCommand() override { closeCommandDisabled = true; }
  void FocusWindow() override { ++focused; }
  void SetModalResult(int result) override { modalResult = result; }
  void SetBackTitle(const std::string& title) override { backTitle = title; }
  bool BackEnabled() override { return backEnabled; }
  void EnableBack() override { backEnabled = true; }
  bool ProcessMessages() override {
    ++pumps;
    return onPump ? onPump() : true;
  }
  int MessageBox(const std::string& text, const std::string& caption,
                 uint32_t flags) override {
    boxes.push_back({text, caption, flags});
    if (answers.empty()) return 1;
    int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::optional<std::string> BrowseForFolder() override { return browseResult; }

  State& At(int id) { return controls.at(id); }

  std::map<int, State> controls;
  std::vector<int> disabledOrder;
  // Until the program sets them, the window keeps the caption and the
  // backdrop the title they were made with, which this stands for.
  static constexpr const char* kNeverSet = "(never set)";
  std::string caption = kNeverSet;
  std::string backTitle = kNeverSet;
  bool backEnabled = false;
  bool closeCommandDisabled = false;
  int modalResult = 0;
  int focused = 0;
  int progress = 0;
  int pumps = 0;
  std::function<bool()> onPump;
  std::deque<int> answers;
  std::vector<Box> boxes;
  std::optional<std::string> browseResult;
};

}  // namespace qs::test
