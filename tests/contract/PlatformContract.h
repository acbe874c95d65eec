// The platform contract: the same tests run against the in-memory fake
// (natively) and against Win32 (cross-built, under Wine). They are how we
// know the fake behaves like Windows.
#pragma once

#include <memory>
#include <string>

#include "platform/Platform.h"

namespace qs::contract {

// A platform and an empty scratch folder in it (path without trailing
// backslash) that the tests may fill.
class World {
 public:
  virtual ~World() = default;
  virtual Platform& platform() = 0;
  virtual std::string root() = 0;
  // A symbolic link (a folder link when folder is set) at path, pointing at
  // target; false where this system cannot make one.
  virtual bool MakeLink(const std::string& path, const std::string& target, bool folder) = 0;
  // A second name (a hard link) for the file existing.
  virtual bool MakeHardLink(const std::string& path, const std::string& existing) = 0;
  // A registry link at HKEY_CURRENT_USER\path pointing at
  // HKEY_CURRENT_USER\target; false where this system cannot make one.
  virtual bool MakeRegistryLink(const std::string& path, const std::string& target) = 0;
};

// Defined once per build: the fake world natively, the real one on Windows.
std::unique_ptr<World> MakeWorld();

}  // namespace qs::contract
