#include "uninstall/RemovalLimits.h"

#include "core/Paths.h"
#include "core/ShortCut.h"

namespace qs {
namespace {

// The folder that holds key: up to its last backslash, which a drive root
// keeps ("C:\").
std::string Parent(const std::string& key) {
  size_t sep = key.rfind('\\');
  if (sep == std::string::npos) return std::string();
  return key.substr(0, sep == 2 && key[1] == ':' ? 3 : sep);
}

bool Below(const std::string& key, const std::string& tree) {
  return !tree.empty() && key.size() > tree.size() + 1 && key.rfind(tree + "\\", 0) == 0;
}

bool Within(const std::string& key, const std::string& tree) {
  return !tree.empty() && (key == tree || Below(key, tree));
}

}  // namespace

RemovalLimits::RemovalLimits(Platform& platform, const ProgramValues& values, bool trusted)
    : platform_(platform), trusted_(trusted) {
  windows_ = Key(values.windowsFolder);
  system_ = Key(values.systemFolder);
  programFiles_ = Key(values.programFilesFolder);
  boot_ = Parent(windows_);
  for (int csidl : {kCsidlDesktop, kCsidlPrograms, kCsidlStartup, kCsidlSendTo}) {
    std::string place = Key(platform.SpecialFolder(csidl));
    if (place.empty()) {
      placesKnown_ = false;
    } else {
      places_.push_back(place);
    }
  }
  if (!values.recordFile.empty()) {
    std::string install = Parent(Key(values.recordFile));
    if (!IsRootPath(install) && !Within(windows_, install) && !Within(system_, install)) {
      install_ = install;
    }
  }
}

// A mapping that fails gives nothing: a path in another letter case would
// not be known for what it is.
std::string RemovalLimits::Key(const std::string& path) {
  const std::string full = path.empty() ? path : platform_.FullPath(path);
  std::string key = full.empty() ? full : platform_.MapString(full, kLcmapUppercase).value_or("");
  while (key.size() > 3 && key.back() == '\\') key.pop_back();
  return key;
}

bool RemovalLimits::File(const std::string& path) {
  const std::string key = Key(path);
  if (Within(key, install_)) return true;
  if (!trusted_) return false;
  const std::string folder = Parent(key);
  return Below(key, programFiles_) || (!folder.empty() && (folder == windows_ ||
                                                           folder == system_ || folder == boot_));
}

bool RemovalLimits::Folder(const std::string& path) {
  const std::string key = Key(path);
  return Within(key, install_) || (trusted_ && Below(key, programFiles_));
}

bool RemovalLimits::Link(const std::string& path) {
  const std::string key = Key(path);
  if (key.size() < 4 || key.compare(key.size() - 4, 4, ".LNK") != 0) return false;
  for (const std::string& place : places_) {
    if (Below(key, place)) return true;
  }
  return false;
}

bool RemovalLimits::Level(const std::string& path) {
  const std::string key = Key(path);
  if (key.empty() || IsRootPath(key) || !Below(install_, key) || Place(path)) return false;
  for (const std::string* kept : {&windows_, &system_, &programFiles_, &boot_}) {
    if (Within(*kept, key)) return false;
  }
  return true;
}

bool RemovalLimits::Place(const std::string& folder) {
  const std::string key = Key(folder);
  if (key.empty()) return true;
  for (const std::string& place : places_) {
    if (key == place) return true;
  }
  return false;
}

}  // namespace qs
