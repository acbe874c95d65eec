#include "data/RegistryView.h"

#include <utility>

#include "core/CodePage.h"
#include "core/RunWindow.h"

namespace qs {
namespace {

using R = RegRoot;

// A key of the system's, in its view, with or without everything below it.
struct SystemKey {
  RegRoot root;
  const char* path;
  bool below;
};

constexpr SystemKey kSystemKeys[] = {
    {R::LocalMachine, "SOFTWARE", false},
    {R::LocalMachine, "SOFTWARE\\MICROSOFT", false},
    {R::LocalMachine, "SOFTWARE\\MICROSOFT\\WINDOWS", false},
    {R::LocalMachine, "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION", false},
    {R::LocalMachine, "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\UNINSTALL", false},
    {R::LocalMachine, "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\APP PATHS", false},
    {R::LocalMachine, "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN", false},
    {R::LocalMachine, "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUNONCE", false},
    {R::LocalMachine, "SOFTWARE\\MICROSOFT\\WINDOWS NT", true},
    {R::LocalMachine, "SOFTWARE\\POLICIES", true},
    {R::LocalMachine, "SYSTEM", true},
    {R::LocalMachine, "SAM", true},
    {R::LocalMachine, "SECURITY", true},
    {R::LocalMachine, "HARDWARE", true},
    {R::LocalMachine, "BCD00000000", true},
    {R::CurrentUser, "SOFTWARE", false},
    {R::CurrentUser, "SOFTWARE\\MICROSOFT", false},
    {R::CurrentUser, "SOFTWARE\\MICROSOFT\\WINDOWS", false},
    {R::CurrentUser, "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION", false},
    {R::CurrentUser, "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN", false},
    {R::CurrentUser, "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUNONCE", false},
    {R::CurrentUser, "SOFTWARE\\POLICIES", true},
    {R::CurrentUser, "CONTROL PANEL", true},
    {R::CurrentUser, "ENVIRONMENT", true},
    // The classes' structure: the keys themselves (a product's own CLSID or
    // shell extension below them is its own).
    {R::ClassesRoot, "CLSID", false},
    {R::ClassesRoot, "INTERFACE", false},
    {R::ClassesRoot, "TYPELIB", false},
    {R::ClassesRoot, "APPID", false},
    {R::ClassesRoot, "MIME", false},
    {R::ClassesRoot, "*", false},
    {R::ClassesRoot, "DIRECTORY", false},
    {R::ClassesRoot, "DRIVE", false},
    {R::ClassesRoot, "FOLDER", false},
    {R::ClassesRoot, "ALLFILESYSTEMOBJECTS", false},
    {R::ClassesRoot, "SYSTEMFILEASSOCIATIONS", false},
    {R::ClassesRoot, "UNKNOWN", false},
    // The file types the system owns and their program ids, whole.
    {R::ClassesRoot, ".EXE", true}, {R::ClassesRoot, ".DLL", true}, {R::ClassesRoot, ".TXT", true},
    {R::ClassesRoot, ".COM", true}, {R::ClassesRoot, ".BAT", true}, {R::ClassesRoot, ".CMD", true},
    {R::ClassesRoot, ".LNK", true}, {R::ClassesRoot, ".URL", true}, {R::ClassesRoot, ".INI", true},
    {R::ClassesRoot, ".INF", true}, {R::ClassesRoot, ".REG", true}, {R::ClassesRoot, ".SYS", true},
    {R::ClassesRoot, ".MSI", true}, {R::ClassesRoot, ".SCR", true}, {R::ClassesRoot, ".PIF", true},
    {R::ClassesRoot, ".CPL", true}, {R::ClassesRoot, ".MSC", true}, {R::ClassesRoot, ".OCX", true},
    {R::ClassesRoot, ".VBS", true}, {R::ClassesRoot, ".JS", true}, {R::ClassesRoot, ".HTA", true},
    {R::ClassesRoot, ".PS1", true}, {R::ClassesRoot, ".HTM", true}, {R::ClassesRoot, ".HTML", true},
    {R::ClassesRoot, ".XML", true}, {R::ClassesRoot, ".ZIP", true},
    {R::ClassesRoot, "EXEFILE", true}, {R::ClassesRoot, "LNKFILE", true},
    {R::ClassesRoot, "DLLFILE", true}, {R::ClassesRoot, "TXTFILE", true},
    {R::ClassesRoot, "BATFILE", true}, {R::ClassesRoot, "CMDFILE", true},
    {R::ClassesRoot, "COMFILE", true}, {R::ClassesRoot, "INIFILE", true},
    {R::ClassesRoot, "INFFILE", true}, {R::ClassesRoot, "REGFILE", true},
    {R::ClassesRoot, "SCRFILE", true}, {R::ClassesRoot, "PIFFILE", true},
    {R::ClassesRoot, "HTMLFILE", true}, {R::ClassesRoot, "MSI.PACKAGE", true},
    {R::ClassesRoot, "INTERNETSHORTCUT", true},
};

}  // namespace

// Steps are split at plain backslashes: the text is UTF-8, in which no byte
// of another character is one.
KeyView ViewOf(RegRoot root, const std::string& path) {
  std::vector<std::string> raw;
  for (size_t start = 0; start <= path.size();) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) raw.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  KeyView view{root, {}, ""};
  std::vector<std::pair<std::string, size_t>> steps;  // each with its place in raw
  for (size_t i = 0; i < raw.size(); ++i) steps.emplace_back(UpperAscii(raw[i], kUtf8), i);
  auto leads = [&](const char* first, const char* second) {
    return steps.size() >= 2 && steps[0].first == first && steps[1].first == second;
  };
  if (root == R::Users) {
    if (steps.empty()) return view;
    const std::string& hive = steps[0].first;
    const bool classes = hive.size() > 8 && hive.compare(hive.size() - 8, 8, "_CLASSES") == 0;
    view.root = classes ? R::ClassesRoot : R::CurrentUser;
    steps.erase(steps.begin());
  }
  if (view.root == R::LocalMachine && leads("SOFTWARE", "WOW6432NODE")) {
    steps.erase(steps.begin() + 1);
  }
  if ((view.root == R::LocalMachine || view.root == R::CurrentUser) && leads("SOFTWARE", "CLASSES")) {
    view.root = R::ClassesRoot;
    steps.erase(steps.begin(), steps.begin() + 2);
  }
  for (const auto& [step, at] : steps) view.steps.push_back(step);
  if (!steps.empty()) {
    for (size_t i = 0; i <= steps[0].second; ++i) {
      view.firstLevel += (i ? "\\" : "") + raw[i];
    }
  }
  return view;
}

bool IsSystemKey(const KeyView& view) {
  if (view.steps.empty()) return true;
  std::string joined;
  for (const std::string& step : view.steps) joined += (joined.empty() ? "" : "\\") + step;
  for (const SystemKey& key : kSystemKeys) {
    if (key.root != view.root) continue;
    const std::string path = key.path;
    if (joined == path || (key.below && joined.rfind(path + "\\", 0) == 0)) return true;
  }
  return false;
}

std::string RootName(RegRoot root) {
  switch (root) {
    case RegRoot::ClassesRoot: return "HKCR\\";
    case RegRoot::CurrentUser: return "HKCU\\";
    case RegRoot::LocalMachine: return "HKLM\\";
    case RegRoot::Users: return "HKU\\";
  }
  return std::string();
}

std::string DescribeValue(const RegValue& value) {
  if (value.kind == RegValue::Kind::Dword) return "REG_DWORD " + DecimalText(value.number);
  return "REG_SZ \"" + value.text + "\"";
}

}  // namespace qs
