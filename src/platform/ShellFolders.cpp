#include "platform/ShellFolders.h"

#include <dlfcn.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <vector>

namespace qz::platform {

namespace {

// File names on Linux are bytes, by convention UTF-8. Bytes that do not decode
// are kept as U+DC80..U+DCFF so that no name is lost or merged with another.
std::wstring FromFileSystem(const std::string& bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        std::size_t length = 0;
        char32_t cp = 0;
        char32_t minimum = 0;
        if (b0 < 0x80) {
            length = 1;
            cp = b0;
        } else if (b0 >= 0xc2 && b0 < 0xe0) {
            length = 2;
            cp = b0 & 0x1f;
            minimum = 0x80;
        } else if (b0 >= 0xe0 && b0 < 0xf0) {
            length = 3;
            cp = b0 & 0x0f;
            minimum = 0x800;
        } else if (b0 >= 0xf0 && b0 < 0xf5) {
            length = 4;
            cp = b0 & 0x07;
            minimum = 0x10000;
        }
        bool valid = length != 0 && i + length <= bytes.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto b = static_cast<unsigned char>(bytes[i + k]);
            valid = (b & 0xc0) == 0x80;
            cp = (cp << 6) | (b & 0x3f);
        }
        valid = valid && cp >= minimum && cp <= 0x10ffff && (cp < 0xd800 || cp > 0xdfff);
        if (valid) {
            out += static_cast<wchar_t>(cp);
            i += length;
        } else {
            out += static_cast<wchar_t>(0xdc00 + b0);
            ++i;
        }
    }
    return out;
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string WithoutTrailingSeparators(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

std::string HomeFolder() {
    std::string home = Environment("HOME");
    if (home.empty()) {
        std::vector<char> buffer(16384);
        passwd entry{};
        passwd* found = nullptr;
        if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
            found->pw_dir) {
            home = found->pw_dir;
        }
    }
    return WithoutTrailingSeparators(home);
}

// An XDG base directory: the variable when it holds an absolute path (the
// base directory rules ignore relative ones), else the default under $HOME.
std::string BaseFolder(const char* variable, const char* defaultUnderHome) {
    const std::string value = Environment(variable);
    if (!value.empty() && value[0] == '/') {
        return WithoutTrailingSeparators(value);
    }
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : home + "/" + defaultUnderHome;
}

std::string FirstDataDir() {
    const std::string dirs = Environment("XDG_DATA_DIRS");
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) {
            end = dirs.size();
        }
        const std::string entry = dirs.substr(start, end - start);
        if (!entry.empty() && entry[0] == '/') {
            return WithoutTrailingSeparators(entry);
        }
        start = end + 1;
    }
    return "/usr/local/share";
}

// Reads the value of one XDG_<name>_DIR line of user-dirs.dirs: a shell
// assignment whose value is "$HOME/..." or an absolute path, usually quoted.
// Returns false when the file has no usable line for the name.
bool ReadUserDir(const std::string& key, const std::string& home, std::string& folder) {
    const std::string file = BaseFolder("XDG_CONFIG_HOME", ".config") + "/user-dirs.dirs";
    std::ifstream in(file);
    bool found = false;
    std::string line;
    while (std::getline(in, line)) {
        std::size_t p = line.find_first_not_of(" \t");
        if (p == std::string::npos || line[p] == '#' || line.compare(p, key.size(), key) != 0 ||
            line.size() <= p + key.size() || line[p + key.size()] != '=') {
            continue;
        }
        p += key.size() + 1;
        std::string value;
        bool quoted = p < line.size() && line[p] == '"';
        for (std::size_t i = quoted ? p + 1 : p; i < line.size(); ++i) {
            const char c = line[i];
            if (quoted && c == '"') {
                break;
            }
            if (!quoted && (c == ' ' || c == '\t')) {
                break;
            }
            if (c == '\\' && i + 1 < line.size()) {
                value += line[++i];
            } else {
                value += c;
            }
        }
        std::string resolved;
        if (value.compare(0, 5, "$HOME") == 0 && (value.size() == 5 || value[5] == '/')) {
            resolved = home + value.substr(5);
        } else if (!value.empty() && value[0] == '/') {
            resolved = value;
        } else {
            continue;
        }
        // The last assignment wins, as when the shell sources the file.
        folder = WithoutTrailingSeparators(resolved);
        found = true;
    }
    return found;
}

// An XDG user directory such as DESKTOP or MUSIC, with the default name
// under $HOME when the user's configuration does not name it.
std::string UserFolder(const char* name, const char* defaultName) {
    const std::string home = HomeFolder();
    std::string folder;
    if (ReadUserDir(std::string("XDG_") + name + "_DIR", home, folder)) {
        return folder;
    }
    return home.empty() ? std::string() : home + "/" + defaultName;
}

}  // namespace

std::wstring GetTempFolderPath() {
    // On Windows the temporary folder is the user's own; /tmp is everyone's.
    const std::string tmp = Environment("TMPDIR");
    const std::string base = tmp.empty() ? std::string("/tmp") : WithoutTrailingSeparators(tmp);
    return FromFileSystem((base == "/" ? std::string() : base) + "/QzAutoUpdate-" + std::to_string(geteuid()));
}

std::wstring GetExecutablePath() {
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) {
            return std::wstring();
        }
        if (static_cast<std::size_t>(n) < buffer.size()) {
            return FromFileSystem(std::string(buffer.data(), static_cast<std::size_t>(n)));
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring GetExecutableFolder() {
    const std::wstring file = GetExecutablePath();
    const std::size_t slash = file.rfind(L'/');
    if (slash == std::wstring::npos) {
        return std::wstring();
    }
    return slash == 0 ? std::wstring(L"/") : file.substr(0, slash);
}

// The build tells where the data folder lies relative to the folder of the
// library and of the programs, and where the configured prefix put it.
std::wstring GetInstalledDataFolder() {
    Dl_info info{};
    std::vector<std::string> candidates;
    if (dladdr(reinterpret_cast<void*>(&GetInstalledDataFolder), &info) != 0 && info.dli_fname != nullptr) {
        char* module = realpath(info.dli_fname, nullptr);
        char* self = realpath("/proc/self/exe", nullptr);
        if (module != nullptr) {
            std::string folder(module);
            folder.erase(folder.rfind('/') + 1);
            // Linked into a program, this code sits in bindir; else in libdir.
            const bool inProgram = self != nullptr && std::string(self) == module;
            const std::string way = inProgram ? QZ_BINDIR_TO_DATADIR : QZ_LIBDIR_TO_DATADIR;
            candidates.push_back(way.starts_with('/') ? way : folder + way);
        }
        std::free(module);
        std::free(self);
    }
    candidates.emplace_back(QZ_FULL_DATADIR);
    for (const std::string& data : candidates) {
        const std::string folder = WithoutTrailingSeparators(data) + "/QzAutoUpdate";
        struct stat st {};
        if (stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            return FromFileSystem(folder);
        }
    }
    return std::wstring();
}

// CSIDL            Linux folder
// DESKTOP, DESKTOPDIRECTORY       XDG_DESKTOP_DIR       (~/Desktop)
// PERSONAL, MYDOCUMENTS           XDG_DOCUMENTS_DIR     (~/Documents)
// MYMUSIC                         XDG_MUSIC_DIR         (~/Music)
// MYVIDEO                         XDG_VIDEOS_DIR        (~/Videos)
// MYPICTURES                      XDG_PICTURES_DIR      (~/Pictures)
// TEMPLATES                       XDG_TEMPLATES_DIR     (~/Templates)
// COMMON_DOCUMENTS                XDG_PUBLICSHARE_DIR   (~/Public)
// PROFILE                         $HOME
// APPDATA                         $XDG_DATA_HOME        (~/.local/share)
// LOCAL_APPDATA                   $XDG_CONFIG_HOME      (~/.config)
// INTERNET_CACHE, COOKIES         $XDG_CACHE_HOME       (~/.cache)
// HISTORY                         $XDG_STATE_HOME       (~/.local/state)
// FONTS                           $XDG_DATA_HOME/fonts  (~/.local/share/fonts)
// COMMON_APPDATA                  first of $XDG_DATA_DIRS (/usr/local/share)
// PROGRAM_FILES, PROGRAM_FILESX86 /opt
// SYSTEM                          /usr/lib
// every other number              cannot be resolved (empty)
std::wstring GetSpecialFolderPath(int csidl) {
    std::string folder;
    switch (csidl) {
    case kCsidlDesktop:
    case kCsidlDesktopDirectory:
        folder = UserFolder("DESKTOP", "Desktop");
        break;
    case kCsidlPersonal:
    case kCsidlMyDocuments:
        folder = UserFolder("DOCUMENTS", "Documents");
        break;
    case kCsidlMyMusic:
        folder = UserFolder("MUSIC", "Music");
        break;
    case kCsidlMyVideo:
        folder = UserFolder("VIDEOS", "Videos");
        break;
    case kCsidlMyPictures:
        folder = UserFolder("PICTURES", "Pictures");
        break;
    case kCsidlTemplates:
        folder = UserFolder("TEMPLATES", "Templates");
        break;
    case kCsidlCommonDocuments:
        folder = UserFolder("PUBLICSHARE", "Public");
        break;
    case kCsidlProfile:
        folder = HomeFolder();
        break;
    case kCsidlAppData:
        folder = BaseFolder("XDG_DATA_HOME", ".local/share");
        break;
    case kCsidlLocalAppData:
        folder = BaseFolder("XDG_CONFIG_HOME", ".config");
        break;
    case kCsidlInternetCache:
    case kCsidlCookies:
        folder = BaseFolder("XDG_CACHE_HOME", ".cache");
        break;
    case kCsidlHistory:
        folder = BaseFolder("XDG_STATE_HOME", ".local/state");
        break;
    case kCsidlFonts:
        folder = BaseFolder("XDG_DATA_HOME", ".local/share");
        if (!folder.empty()) {
            folder += "/fonts";
        }
        break;
    case kCsidlCommonAppData:
        folder = FirstDataDir();
        break;
    case kCsidlProgramFiles:
    case kCsidlProgramFilesX86:
        folder = "/opt";
        break;
    case kCsidlSystem:
        folder = "/usr/lib";
        break;
    default:
        break;
    }
    return FromFileSystem(folder);
}

}  // namespace qz::platform
