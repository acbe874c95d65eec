// The setup definition file, SETUP.INI: its sections and keys, and the
// marker rules that turn its values into paths, registry keys and values.
//
// The file is only ever read. Numbered keys are read by index up to their
// section's limit; an empty or missing key is skipped without ending a list.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/CodePage.h"
#include "core/RunWindow.h"
#include "core/ShortCut.h"
#include "platform/Platform.h"

namespace qs {

inline constexpr const char* kProductName = "Quillo! Setup for Windows32";

// Fixed limits of the numbered keys.
inline constexpr int kMaxFolders = 20;
inline constexpr int kMaxFiles = 99;
inline constexpr int kMaxShortCuts = 20;
inline constexpr int kMaxRegistry = 20;
inline constexpr int kMaxDeleteRegistry = 20;
inline constexpr int kMaxMessages = 5;

// Section and key names.
namespace ini {
inline constexpr const char* kTitle = "Title";
inline constexpr const char* kReadme = "Readme";
inline constexpr const char* kDefaultFolder = "DefaultFolder";
inline constexpr const char* kShortCut = "ShortCut";
inline constexpr const char* kTopMessage = "TopMessage";
inline constexpr const char* kMakeFolder = "MakeFolder";
inline constexpr const char* kCopyFile = "CopyFile";
inline constexpr const char* kRegistry = "Registry";
inline constexpr const char* kDeleteRegistry = "DeleteRegistry";
inline constexpr const char* kExecuteFile = "ExecuteFile";
}  // namespace ini

// The folders that the folder markers stand for.
struct MarkerFolders {
  std::string installFolder;       // (App)
  std::string programFilesFolder;  // (Prg)
  std::string windowsFolder;       // (Win); (Boo) is its parent
  std::string systemFolder;        // (Sys)
};

// The shortcut places that a definition file mentions.
struct ShortCutPlaces {
  bool desktop = false;
  bool startMenu = false;
  bool startUp = false;
  bool sendTo = false;
};

// The markers of the definition file, all compared exactly, letter case
// included. A folder marker is the first five characters of a folder-marker
// path, a place marker of a [ShortCut] Name, a type marker of a [Registry]
// Value; a root marker is the first seven of a registry key; a file flag is
// the three characters from the first comma of a [CopyFile] value.
namespace markers {
inline constexpr const char* kApp = "(App)";
inline constexpr const char* kPrg = "(Prg)";
inline constexpr const char* kWin = "(Win)";
inline constexpr const char* kSys = "(Sys)";
inline constexpr const char* kBoo = "(Boo)";
inline constexpr const char* kDesktop = "(Dsk)";
inline constexpr const char* kStartMenu = "(Sta)";
inline constexpr const char* kStartUp = "(Sup)";
inline constexpr const char* kSendTo = "(Sen)";
inline constexpr const char* kStr = "(Str)";
inline constexpr const char* kInt = "(Int)";
inline constexpr const char* kForce = ",/F";    // deleted, system libraries too
inline constexpr const char* kConfirm = ",/C";  // deleted when the user says yes
inline constexpr const char* kLeave = ",/L";    // left in place
}  // namespace markers

inline constexpr const char* kFolderMarkers[] = {markers::kApp, markers::kPrg, markers::kWin,
                                                 markers::kSys, markers::kBoo};
// [DefaultFolder] Folder knows no install folder yet: no (App).
inline constexpr const char* kDefaultFolderMarkers[] = {markers::kPrg, markers::kWin, markers::kSys,
                                                        markers::kBoo};
inline constexpr const char* kTypeMarkers[] = {markers::kStr, markers::kInt};
inline constexpr const char* kFileFlags[] = {markers::kForce, markers::kConfirm, markers::kLeave};

// The places a shortcut can go: the special folder, whether the definition
// mentions the place, and the option that lets a run make links there.
struct PlaceMarker {
  const char* marker;
  int csidl;
  bool ShortCutPlaces::*mentioned;
  bool RunOptions::*chosen;
};
inline constexpr PlaceMarker kPlaceMarkers[] = {
    {markers::kDesktop, kCsidlDesktop, &ShortCutPlaces::desktop, &RunOptions::shortCutOnDesktop},
    {markers::kStartMenu, kCsidlPrograms, &ShortCutPlaces::startMenu,
     &RunOptions::shortCutOnStartMenu},
    {markers::kStartUp, kCsidlStartup, &ShortCutPlaces::startUp, &RunOptions::shortCutOnStartUp},
    {markers::kSendTo, kCsidlSendTo, &ShortCutPlaces::sendTo, &RunOptions::shortCutOnSendTo},
};

// The registry roots. What a value without one of these four means differs
// by who reads it: writing ([Registry] Key, ParseRegistryKey) cuts seven
// characters off whenever they look like a marker; removing ([DeleteRegistry]
// of the record, ParseRemovalKey) takes any other value whole, so that a
// misspelt marker names a key that is not there rather than one never named.
struct RootMarker {
  const char* marker;
  RegRoot root;
};
inline constexpr RootMarker kRootMarkers[] = {
    {"(Cuser)", RegRoot::CurrentUser},
    {"(Class)", RegRoot::ClassesRoot},
    {"(Local)", RegRoot::LocalMachine},
    {"(Users)", RegRoot::Users},
};
// The root that the first seven characters of value name, if they are one
// of the four markers.
std::optional<RegRoot> RootOfMarker(const std::string& value);
// The marker of a root.
const char* MarkerOfRoot(RegRoot root);

// The special folder a place marker stands for; the programs folder for
// anything else.
int CsidlOfPlace(const std::string& marker);

// A folder-marker path: the first five characters select a base folder, the
// rest from the sixth on is joined to it with exactly one backslash. Any
// other five characters are the base themselves.
std::string ResolveMarkerPath(const std::string& value, const MarkerFolders& folders, CodePage cp);

// [DefaultFolder] Folder: the base followed directly by the remainder, then a
// trailing backslash ensured. (App) means nothing here.
std::string ResolveDefaultFolder(const std::string& value, const MarkerFolders& folders,
                                 CodePage cp);

// A [CopyFile] value: the path before the first comma, and the flag, the
// (up to) three characters starting at that comma.
struct CopyFileValue {
  std::string path;
  std::string flag;
};
CopyFileValue SplitCopyFileValue(const std::string& value);

// A [ShortCut] Name: a name without a place marker (its first character is
// not "(" and its fifth is not ")") is a start-menu name, "(Sta)" in front.
std::string ShortCutNameWithPlace(const std::string& name);

// True when text contains marker anywhere, letter case included.
bool ContainsMarker(const std::string& text, const char* marker);

// A registry key value split into root and key path.
struct RegistryKeyRef {
  RegRoot root = RegRoot::CurrentUser;
  std::string path;
};
// A [Registry] Key: without a "(" first or a ")" seventh, the whole value
// under HKEY_CURRENT_USER; otherwise the first seven characters select the
// root (HKEY_CURRENT_USER for any other seven) and the rest is the path.
RegistryKeyRef ParseRegistryKey(const std::string& value);

// A [Registry] Value: "(Str)" text, "(Int)" number, or the whole value as text.
RegValue ParseRegistryValue(const std::string& value);

// "(Int)" data: decimal digits after optional blanks and a sign, or "$" and
// hexadecimal digits; anything that is not a 32-bit integer gives 0.
int32_t ParseIntValue(const std::string& text);

// Reads every non-empty key prefix1..prefixN of a section, in order.
std::vector<std::string> ReadNumberedKeys(Platform& platform, const std::string& file,
                                          const std::string& section, const std::string& prefix,
                                          int count, const std::string& defaultValue = "");

// The titles: [Title] Setup (default the product name) and UnSetup (default
// the Setup value).
struct Titles {
  std::string setup;
  std::string unSetup;
};
Titles ReadTitles(Platform& platform, const std::string& file);

// [TopMessage] Message1..5, each followed by a carriage return; when all
// five are empty, the standard opening message.
std::string ReadTopMessage(Platform& platform, const std::string& file);

// [Title] UnSetupKey: the product's name in the system's list of installed
// programs; the uninstall title when missing.
std::string ReadUnSetupKey(Platform& platform, const std::string& file,
                           const std::string& unSetupTitle);

// [ExecuteFile] File: the folder-marker path of the file opened after a
// completed installation; empty when none.
std::string ReadExecuteFile(Platform& platform, const std::string& file);

// Which place markers occur anywhere in [ShortCut] Name1..20.
ShortCutPlaces ReadShortCutPlaces(Platform& platform, const std::string& file);

}  // namespace qs
