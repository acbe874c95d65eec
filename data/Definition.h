// The setup definition file, SETUP.INI: every section and key the program
// reads (the table below), the one reader of the file, and the marker rules
// that turn its values into paths, registry keys and values.
//
// The file is only ever read, by the profile rules of platform/ProfileText.h:
// Shift-JIS, or UTF-8 after its byte-order mark; section and key names
// compared without regard to ASCII letter case; the first section of a name
// and the first key of a name in it are the ones read; at most 254
// characters of a value. Numbered keys are read by number from 1 up to their
// limit; an empty or missing one is skipped without ending the list.
//
//   [Title]          Setup         the window's and the backdrop's title
//                                  (default: the program's name)
//                    UnSetup       the title in uninstall mode, kept in the
//                                  record (default: Setup)
//                    UnSetupKey    the product's name in the list of installed
//                                  programs (default, also when empty: UnSetup)
//                    Version       the registration's DisplayVersion (none
//                                  when empty)
//                    Publisher     the registration's Publisher (none when
//                                  empty)
//   [Readme]         File          a text file shown before the options, a
//                                  path relative to the program's folder
//                    Title         the caption of the readme's frame
//   [DefaultFolder]  Folder        the install folder proposed (default (Prg)\)
//   [TopMessage]     Message1..5   the lines of the opening message
//   [MakeFolder]     Folder1..20   folders to make (folder-marker paths)
//   [CopyFile]       File1..99     files to install: a folder-marker path, then
//                                  from its first comma a flag
//   [ShortCut]       Make1..20     link targets (folder-marker paths); an empty
//                                  one drops the entry
//                    Name1..20     place marker and link name (default
//                                  "Default")
//   [Registry]       Key1..20      root marker and key path; an empty one drops
//                                  the entry
//                    Name1..20     the value's name; an empty one drops the entry
//                    Value1..20    type marker and data
//   [DeleteRegistry] Key1..20      keys the uninstaller removes, root marker and
//                                  key path; nothing is done to them at install
//   [ExecuteFile]    File          opened after a completed installation (a
//                                  folder-marker path)
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/CodePage.h"
#include "core/RunWindow.h"
#include "core/ShortCut.h"
#include "platform/Platform.h"
#include "platform/ProfileText.h"

namespace qs {

inline constexpr const char* kProductName = "Quillo! Setup for Windows32";

// What a key's value is, and so which rule of this file reads it.
enum class ValueKind : uint8_t {
  Text,           // shown or stored as it is
  Name,           // a registry value's name, or the registration's key name
  RelativePath,   // a path relative to the program's folder
  DefaultFolder,  // ResolveDefaultFolder
  MarkerPath,     // ResolveMarkerPath
  CopyFile,       // SplitCopyFileValue, then a folder-marker path
  ShortCutName,   // ShortCutNameWithPlace
  RegistryKey,    // ParseRegistryKey
  RegistryValue,  // ParseRegistryValue
  RemovalKey,     // ParseRemovalKey (the uninstaller reads it from the record)
};

// One key of the table: a plain key, or the numbered keys name1..name<limit>.
struct DefinitionKey {
  const char* section;
  const char* name;  // the key, or the prefix before the number
  uint8_t limit;     // 0: a plain key
  ValueKind kind;
};

namespace keys {
inline constexpr DefinitionKey kSetup{"Title", "Setup", 0, ValueKind::Text};
inline constexpr DefinitionKey kUnSetup{"Title", "UnSetup", 0, ValueKind::Text};
inline constexpr DefinitionKey kUnSetupKey{"Title", "UnSetupKey", 0, ValueKind::Name};
inline constexpr DefinitionKey kVersion{"Title", "Version", 0, ValueKind::Text};
inline constexpr DefinitionKey kPublisher{"Title", "Publisher", 0, ValueKind::Text};
inline constexpr DefinitionKey kReadmeFile{"Readme", "File", 0, ValueKind::RelativePath};
inline constexpr DefinitionKey kReadmeTitle{"Readme", "Title", 0, ValueKind::Text};
inline constexpr DefinitionKey kDefaultFolder{"DefaultFolder", "Folder", 0,
                                              ValueKind::DefaultFolder};
inline constexpr DefinitionKey kMessage{"TopMessage", "Message", 5, ValueKind::Text};
inline constexpr DefinitionKey kMakeFolder{"MakeFolder", "Folder", 20, ValueKind::MarkerPath};
inline constexpr DefinitionKey kCopyFile{"CopyFile", "File", 99, ValueKind::CopyFile};
inline constexpr DefinitionKey kShortCutMake{"ShortCut", "Make", 20, ValueKind::MarkerPath};
inline constexpr DefinitionKey kShortCutName{"ShortCut", "Name", 20, ValueKind::ShortCutName};
inline constexpr DefinitionKey kRegistryKey{"Registry", "Key", 20, ValueKind::RegistryKey};
inline constexpr DefinitionKey kRegistryName{"Registry", "Name", 20, ValueKind::Name};
inline constexpr DefinitionKey kRegistryValue{"Registry", "Value", 20, ValueKind::RegistryValue};
inline constexpr DefinitionKey kDeleteRegistry{"DeleteRegistry", "Key", 20, ValueKind::RemovalKey};
inline constexpr DefinitionKey kExecuteFile{"ExecuteFile", "File", 0, ValueKind::MarkerPath};
}  // namespace keys

// Every key the program reads, sections in the order of the file's layout
// above.
inline constexpr const DefinitionKey* kDefinitionKeys[] = {
    &keys::kSetup,         &keys::kUnSetup,       &keys::kUnSetupKey,     &keys::kVersion,
    &keys::kPublisher,     &keys::kReadmeFile,    &keys::kReadmeTitle,    &keys::kDefaultFolder,
    &keys::kMessage,       &keys::kMakeFolder,    &keys::kCopyFile,       &keys::kShortCutMake,
    &keys::kShortCutName,  &keys::kRegistryKey,   &keys::kRegistryName,   &keys::kRegistryValue,
    &keys::kDeleteRegistry, &keys::kExecuteFile,
};

// The key of the table a key name of a section stands for, with its number
// (0 for a plain key), compared as the program compares names; null when the
// program never reads such a key. A numbered key beyond its limit is found,
// with its number: the caller tells it from a read one. A number is digits
// without a leading zero (File01 is never read).
const DefinitionKey* FindDefinitionKey(const std::string& section, const std::string& name,
                                       int* number);

// The key's name as the file spells it: name, or name and number.
std::string KeyName(const DefinitionKey& key, int number);

// One key of the file as the program reads it.
struct DefinitionEntry {
  int number = 0;     // 0 for a plain key
  std::string value;  // as the program sees it (quotes removed, at most 254 characters)
  int line = 0;       // the key's line in the file, from 1
};

// The definition file, read once through the platform by the profile rules.
// A file that is missing or cannot be read reads as empty: every key at its
// default.
class DefinitionFile {
 public:
  DefinitionFile(Platform& platform, const std::string& file);

  // False when the file is there but could not be read.
  bool readable() const { return readable_; }

  // The value the program reads: fallback when the key is missing (an
  // empty value is a value).
  std::string Get(const DefinitionKey& key, const std::string& fallback = "") const {
    return Get(key, 0, fallback);
  }
  std::string Get(const DefinitionKey& key, int number, const std::string& fallback = "") const;
  // The key as it stands in the file; nullopt when it is missing.
  std::optional<DefinitionEntry> Find(const DefinitionKey& key, int number = 0) const;
  // The numbered keys 1..limit that have a non-empty value, in number order.
  std::vector<DefinitionEntry> List(const DefinitionKey& key) const;
  // The parsed file, every line with its number.
  const ProfileText& text() const { return text_; }

 private:
  DefinitionFile(Platform& platform, const std::string& file, std::optional<std::string> bytes);

  ProfileText text_;
  bool readable_;
};

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

// Reads every non-empty key prefix1..prefixN of a section of a profile file,
// in order.
std::vector<std::string> ReadNumberedKeys(Platform& platform, const std::string& file,
                                          const std::string& section, const std::string& prefix,
                                          int count, const std::string& defaultValue = "");

// The titles: [Title] Setup (default the product name) and UnSetup (default
// the Setup value).
struct Titles {
  std::string setup;
  std::string unSetup;
};
Titles ReadTitles(const DefinitionFile& definition);

// [TopMessage] Message1..5, each followed by a carriage return; when all
// five are empty, the standard opening message.
std::string ReadTopMessage(const DefinitionFile& definition);

// [Title] UnSetupKey: the product's name in the system's list of installed
// programs; the uninstall title when missing or empty.
std::string ReadUnSetupKey(const DefinitionFile& definition, const std::string& unSetupTitle);

// Which place markers occur anywhere in [ShortCut] Name1..20.
ShortCutPlaces ReadShortCutPlaces(const DefinitionFile& definition);

}  // namespace qs
