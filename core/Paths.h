// Path and profile-file routines shared by every part of the program.
//
// They keep no state, never throw and report failure only through their
// results: a default, false, or their input unchanged. Path scans step over
// double-byte characters of the given code page, so a folder named 表 (95 5C)
// never counts as ending in a backslash.
#pragma once

#include <cstdint>
#include <string>

#include "core/CodePage.h"
#include "platform/Platform.h"

namespace qs {

inline constexpr uint32_t kLcmapUppercase = 0x200;
// The buffer every profile value is read through: 254 characters and the NUL.
inline constexpr uint32_t kProfileBuffer = 255;

// The value of key in section of file: at most 254 characters, or the
// default when the file, the section or the key is missing.
std::string ReadIniString(Platform& platform, const std::string& section, const std::string& key,
                          const std::string& defaultValue, const std::string& file);

// Writes the value (an empty value keeps the key); true on success.
bool WriteIniString(Platform& platform, const std::string& section, const std::string& key,
                    const std::string& value, const std::string& file);

// The end of a path a backslash is added to or removed from.
enum class PathEnd { Leading, Trailing };
// Ensures one backslash at the given end.
std::string AddBackslash(const std::string& path, PathEnd end, CodePage cp);
// Removes at most one backslash from the given end.
std::string DelBackslash(const std::string& path, PathEnd end, CodePage cp);
// The same with the end spelt as the routines always took it: only side's
// first character counts; "T" is the leading end, "B" the trailing end,
// anything else leaves the path unchanged.
std::string AddBackslash(const std::string& path, const std::string& side, CodePage cp);
std::string DelBackslash(const std::string& path, const std::string& side, CodePage cp);

// base with any trailing backslash removed, then part with a leading
// backslash ensured.
std::string JoinPath(const std::string& base, const std::string& part, CodePage cp);

// The text after the last backslash or drive colon.
std::string FileNamePart(const std::string& path, CodePage cp);
// The text up to and including the last backslash or drive colon.
std::string FolderPart(const std::string& path, CodePage cp);
// The path up to its last backslash or drive colon; that backslash is dropped
// unless the character before it is a colon or another backslash
// (C:\WINDOWS gives C:\, C:\OS\WIN gives C:\OS).
std::string ParentFolder(const std::string& path, CodePage cp);

// The text mapped by the system locale (flags of LCMapStringA; upper case
// unless told otherwise), or the text unchanged when the mapping fails. The
// one upper-case mapping of the program's paths and list entries.
std::string MapUpperCase(Platform& platform, const std::string& text,
                         uint32_t flags = kLcmapUppercase);
// Both paths resolved as the system resolves them (slashes, "." and ".."),
// mapped to upper case and compared exactly.
bool SamePath(Platform& platform, const std::string& a, const std::string& b);

// The number of non-empty parts of a registry key path between backslashes
// (SOFTWARE\Acme\ has two).
int KeyComponentCount(const std::string& path, CodePage cp);

// True when path, given without a trailing backslash, is a drive ("C:" or
// "C:\") or a share with no folder below it ("\\server", "\\server\share"):
// nothing a product made, nothing to make.
bool IsRootPath(const std::string& path);

// True when path names an existing folder (with or without trailing backslash).
bool FolderExists(Platform& platform, const std::string& path);

}  // namespace qs
