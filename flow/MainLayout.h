// The main window's controls: kind, parent, caption, place and state at
// creation, in the order the window creates them. One table serves the real
// window, the test double of the window and the end-to-end checks.
#pragma once

#include <vector>

namespace qs {

enum class ControlKind { GroupBox, Edit, Button, CheckBox, Label, Memo, Progress };
enum class FontKind { Window, Folder, Status, Readme };

struct ControlSpec {
  int id;
  int parent;  // 0: the window itself
  ControlKind kind;
  const char* text;
  int x, y, width, height;
  bool enabled;
  bool visible;
  bool checked;
  FontKind font;
};

// Client area of the main window.
inline constexpr int kMainClientWidth = 489;
inline constexpr int kMainClientHeight = 313;

const std::vector<ControlSpec>& MainControls();

// Keyboard tab order: the window's direct children, each followed by its
// own children in creation order.
std::vector<int> MainTabOrder();

}  // namespace qs
