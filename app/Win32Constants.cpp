// The portable headers spell a few Win32 values themselves, so that the
// logic and its tests need no <windows.h>. Here, on the Win32 side, the
// compiler checks every copy against the system's own definition.
#include "platform/win32/WinApi.h"

#include <shlobj.h>

#include "core/Paths.h"
#include "core/RunWindow.h"
#include "core/ShortCut.h"
#include "platform/Platform.h"
#include "ui/FolderOptions.h"

namespace qs {

static_assert(kAttrReadOnly == FILE_ATTRIBUTE_READONLY);
static_assert(kAttrDirectory == FILE_ATTRIBUTE_DIRECTORY);
static_assert(kAttrArchive == FILE_ATTRIBUTE_ARCHIVE);
static_assert(kAttrNormal == FILE_ATTRIBUTE_NORMAL);
static_assert(kInvalidAttributes == INVALID_FILE_ATTRIBUTES);

static_assert(kErrFileNotFound == ERROR_FILE_NOT_FOUND);
static_assert(kErrPathNotFound == ERROR_PATH_NOT_FOUND);
static_assert(kErrAccessDenied == ERROR_ACCESS_DENIED);
static_assert(kErrInvalidName == ERROR_INVALID_NAME);
static_assert(kErrAlreadyExists == ERROR_ALREADY_EXISTS);

static_assert(kLcmapUppercase == LCMAP_UPPERCASE);

static_assert(kCsidlDesktop == CSIDL_DESKTOP);
static_assert(kCsidlPrograms == CSIDL_PROGRAMS);
static_assert(kCsidlStartup == CSIDL_STARTUP);
static_assert(kCsidlSendTo == CSIDL_SENDTO);

static_assert(kMbOk == MB_OK);
static_assert(kMbYesNo == MB_YESNO);
static_assert(kMbIconError == MB_ICONERROR);
static_assert(kMbIconQuestion == MB_ICONQUESTION);
static_assert(kMbIconWarning == MB_ICONWARNING);
static_assert(kMbIconInformation == MB_ICONINFORMATION);
static_assert(kIdOk == IDOK);
static_assert(kIdYes == IDYES);
static_assert(kIdNo == IDNO);

static_assert(BrowseFlags(OptionBit(bifBrowseForComputer)) == BIF_BROWSEFORCOMPUTER);
static_assert(BrowseFlags(OptionBit(bifBrowseForPrinter)) == BIF_BROWSEFORPRINTER);
static_assert(BrowseFlags(OptionBit(bifDontGoBelowDomain)) == BIF_DONTGOBELOWDOMAIN);
static_assert(BrowseFlags(OptionBit(bifReturnFSAncestors)) == BIF_RETURNFSANCESTORS);
static_assert(BrowseFlags(OptionBit(bifReturnOnlyFSDirs)) == BIF_RETURNONLYFSDIRS);
static_assert(BrowseFlags(OptionBit(bifStatusText)) == BIF_STATUSTEXT);

}  // namespace qs
