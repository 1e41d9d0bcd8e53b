// The shell's special folders on Linux: the temporary folder, the running
// executable, and the Windows CSIDL numbers resolved to the XDG user and base
// directories. Everything is looked up at call time, so changes to the
// environment take effect at once.
#pragma once

#include <string>

namespace qz::platform {

/// CSIDL numbers of the Windows shell that name folders callers ask for.
/// Only those with a Linux counterpart resolve (table in ShellFolders.cpp).
enum Csidl : int {
    kCsidlDesktop = 0x00,
    kCsidlPrograms = 0x02,
    kCsidlPersonal = 0x05,
    kCsidlFavorites = 0x06,
    kCsidlMyDocuments = 0x0c,
    kCsidlMyMusic = 0x0d,
    kCsidlMyVideo = 0x0e,
    kCsidlDesktopDirectory = 0x10,
    kCsidlFonts = 0x14,
    kCsidlTemplates = 0x15,
    kCsidlAppData = 0x1a,
    kCsidlLocalAppData = 0x1c,
    kCsidlInternetCache = 0x20,
    kCsidlCookies = 0x21,
    kCsidlHistory = 0x22,
    kCsidlCommonAppData = 0x23,
    kCsidlWindows = 0x24,
    kCsidlSystem = 0x25,
    kCsidlProgramFiles = 0x26,
    kCsidlMyPictures = 0x27,
    kCsidlProfile = 0x28,
    kCsidlProgramFilesX86 = 0x2a,
    kCsidlCommonDocuments = 0x2e,
};

/// The user's own folder for temporary files, "QzAutoUpdate-<uid>" in
/// $TMPDIR when set, else in "/tmp"; without a trailing separator. It need
/// not exist: PrivateTempFolder (StagedFile.h) makes and checks it.
std::wstring GetTempFolderPath();

/// The full path of the running executable (the target of /proc/self/exe);
/// empty when it cannot be read.
std::wstring GetExecutablePath();

/// The folder that holds the running executable, without a trailing
/// separator; empty when the executable cannot be found.
std::wstring GetExecutableFolder();

/// The product's installed data folder (`<datadir>/QzAutoUpdate`), found
/// from where the calling code was installed, so an installed tree may be
/// moved; without a trailing separator. Empty when no such folder exists.
std::wstring GetInstalledDataFolder();

/// The folder a CSIDL number names on this machine, without a trailing
/// separator (unless it is the root). Empty when the number has no meaning on
/// Linux ("cannot be resolved"). The folder need not exist.
std::wstring GetSpecialFolderPath(int csidl);

}  // namespace qz::platform
