// A main window with no window behind it: each control's text and states
// held in memory, starting as the layout table gives them; nothing is drawn
// and nothing waits. The windowless mode and setupkit's dry run build on it,
// each answering the questions in its own way.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "flow/MainLayout.h"
#include "flow/MainView.h"

namespace qs {

class MemoryView : public MainView {
 public:
  MemoryView() {
    for (const ControlSpec& spec : MainControls()) {
      controls_.push_back({spec.id, {spec.text, spec.visible, spec.enabled, spec.checked}});
    }
  }

  void SetText(int id, const std::string& text) override { At(id).text = text; }
  std::string Text(int id) override { return At(id).text; }
  void SetVisible(int id, bool visible) override { At(id).visible = visible; }
  bool Visible(int id) override { return At(id).visible; }
  void SetEnabled(int id, bool enabled) override { At(id).enabled = enabled; }
  bool Enabled(int id) override { return At(id).enabled; }
  bool Checked(int id) override { return At(id).checked; }
  void SetProgress(int) override {}
  void SetCaption(const std::string&) override {}
  void DisableCloseCommand() override {}
  void FocusWindow() override {}
  void SetModalResult(int) override {}
  void SetBackTitle(const std::string&) override {}
  bool BackEnabled() override { return backEnabled_; }
  void EnableBack() override { backEnabled_ = true; }
  bool ProcessMessages() override { return true; }
  std::optional<std::string> BrowseForFolder() override { return std::nullopt; }

  void SetChecked(int id, bool checked) { At(id).checked = checked; }

 private:
  struct State {
    std::string text;
    bool visible = false;
    bool enabled = false;
    bool checked = false;
  };
  // A control the table does not hold starts empty, hidden and disabled.
  State& At(int id) {
    for (auto& [known, state] : controls_) {
      if (known == id) return state;
    }
    return controls_.emplace_back(id, State{}).second;
  }

  std::vector<std::pair<int, State>> controls_;  // in the control table's order
  bool backEnabled_ = false;
};

}  // namespace qs
