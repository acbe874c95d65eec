// The main window as its handlers see it: controls addressed by identifier,
// the backdrop, modal questions and the message pump. TfrmMain implements it
// with real windows; unit tests with a recorded fake.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qs {

class MainView {
 public:
  virtual ~MainView() = default;
  virtual void SetText(int id, const std::string& text) = 0;
  virtual std::string Text(int id) = 0;
  virtual void SetVisible(int id, bool visible) = 0;
  virtual bool Visible(int id) = 0;
  virtual void SetEnabled(int id, bool enabled) = 0;
  virtual bool Enabled(int id) = 0;
  virtual bool Checked(int id) = 0;
  virtual void SetProgress(int percent) = 0;

  virtual void SetCaption(const std::string& caption) = 0;
  virtual void DisableCloseCommand() = 0;
  virtual void FocusWindow() = 0;
  virtual void SetModalResult(int result) = 0;

  virtual void SetBackTitle(const std::string& title) = 0;
  virtual bool BackEnabled() = 0;
  virtual void EnableBack() = 0;

  // Handles every pending window message; false once the program is being
  // shut down, so that no wait goes on for ever.
  virtual bool ProcessMessages() = 0;
  virtual int MessageBox(const std::string& text, const std::string& caption,
                         uint32_t flags) = 0;
  // The folder dialog: the confirmed folder, or nothing when cancelled.
  virtual std::optional<std::string> BrowseForFolder() = 0;
};

}  // namespace qs
