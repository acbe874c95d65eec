// The program's own working folder inside the system's temporary folder.
//
// The uninstall record's copy and the expansion's scratch files keep their
// fixed names, but inside a folder made fresh for this run under a random
// name (and, elevated, writable only by administrators), so no other
// program can plant, swap or link those names. The folder and the files the
// program puts there go when the owner ends, however it ends.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/CodePage.h"
#include "platform/Platform.h"

namespace qs {

class WorkFolder {
 public:
  // Makes the folder inside parent; fileNames are the names the program
  // may leave in it, removed with it.
  WorkFolder(Platform& platform, const std::string& parent, std::vector<std::string> fileNames,
             CodePage cp);
  ~WorkFolder() { Remove(); }
  WorkFolder(const WorkFolder&) = delete;
  WorkFolder& operator=(const WorkFolder&) = delete;

  bool made() const { return !path_.empty(); }
  // The folder with its trailing backslash; empty when it could not be made.
  std::string path() const { return made() ? path_ + "\\" : std::string(); }
  // A tree made inside the folder (paths relative to it, folders before
  // what they hold), removed with it: its files, made writable first, then
  // its folders from the deepest up.
  void AddTree(std::vector<std::string> files, std::vector<std::string> folders);
  // Leaves the folder if it is the current one, deletes the named files and
  // the tree it holds, lets go of the folder and removes it. A file of
  // another name keeps it there.
  void Remove();

 private:
  Platform& platform_;
  std::string parent_;
  std::string path_;
  std::unique_ptr<Hold> hold_;
  std::vector<std::string> fileNames_;
  std::vector<std::string> heldFiles_;
  std::vector<std::string> heldFolders_;
  CodePage cp_;
};

}  // namespace qs
