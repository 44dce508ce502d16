#include "settings/AppPaths.h"

#include "platform/TextFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include <pwd.h>
#include <unistd.h>

namespace settings {

namespace {

std::string WithSlash(std::string dir) {
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    return dir;
}

// The user's own folder: $HOME when it is a full path, else the account's entry. Never a
// shared folder such as /tmp, where the next user without a home would read our Server.wis.
std::string UserHome() {
    const char* home = std::getenv("HOME");
    if (home && *home == '/')
        return home;
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && found->pw_dir[0] == '/')
        return found->pw_dir;
    return {};
}

// Relative XDG values are to be ignored: they would depend on the current folder.
std::string ConfigHome() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg == '/')
        return WithSlash(xdg) + "zindor-whois/";
    const std::string home = UserHome();
    if (home.empty())
        return {};
    return WithSlash(home) + ".config/zindor-whois/";
}

bool IsDir(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

} // namespace

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return path + ext;
    return path.substr(0, dot) + ext;
}

std::string AppPaths::SettingsFile() const {
    return HomeDir.empty() ? std::string() : ChangeFileExt(HomeDir + ExeName, ".ini");
}

std::string AppPaths::HomeFile(const std::string& name) const {
    return HomeDir.empty() ? std::string() : HomeDir + name;
}

std::string AppPaths::ReadableFile(const std::string& name) const {
    const std::string inHome = HomeFile(name);
    if (!inHome.empty() && platform::FileExists(inHome))
        return inHome;
    // A portable copy's home is its data folder: it has no other copy to fall back on.
    if (!DataDir.empty() && DataDir != HomeDir && platform::FileExists(DataDir + name))
        return DataDir + name;
    return {};
}

std::vector<std::string> AppPaths::SearchFolders() const {
    std::vector<std::string> folders;
    if (!HomeDir.empty())
        folders.push_back(HomeDir);
    if (!DataDir.empty() && DataDir != HomeDir)
        folders.push_back(DataDir);
    return folders;
}

std::vector<std::string> AppPaths::RdapFolders() const {
    std::vector<std::string> folders;
    if (!HomeDir.empty())
        folders.push_back(HomeFile("rdap/"));
    if (!DataDir.empty() && DataDir != HomeDir)
        folders.push_back(DataDir + "rdap/");
    return folders;
}

std::string AppPaths::HelpPage(const std::string& language) const {
    const std::string page = DataDir + "help/zindor-whois-" + language + ".html";
    return !DataDir.empty() && platform::FileExists(page) ? page : std::string();
}

AppPaths ResolvePaths(const std::string& exePath, const std::string& explicitHome) {
    AppPaths paths;
    const std::filesystem::path exe(exePath);
    paths.ExeDir = WithSlash(exe.parent_path().string());
    paths.ExeName = exe.filename().string();
    if (!explicitHome.empty()) {
        std::error_code ec;
        const auto abs = std::filesystem::absolute(explicitHome, ec);
        paths.HomeDir = WithSlash(ec ? explicitHome : abs.string());
    } else if (platform::FileExists(paths.ExeDir + "Server.wis") ||
               platform::FileExists(ChangeFileExt(paths.ExeDir + paths.ExeName, ".ini"))) {
        paths.HomeDir = paths.ExeDir;
    } else {
        // Never the executable's folder merely because it is writable: run by root, an
        // installed program would keep its histories in /usr/bin.
        paths.HomeDir = ConfigHome();
    }
    paths.DataDir = paths.ExeDir;
    const std::string shared =
        (exe.parent_path().parent_path() / "share" / "zindor-whois").string() + "/";
    if (!platform::FileExists(paths.ExeDir + "Server.wis") && IsDir(shared))
        paths.DataDir = shared;
    return paths;
}

HomeStatus PrepareHome(const AppPaths& paths) {
    HomeStatus status;
    if (paths.HomeDir.empty()) {
        status.Reason = "HOME is not set and the account has no home folder";
        return status;
    }
    status.Folder = paths.HomeDir;
    std::error_code ec;
    std::filesystem::create_directories(paths.HomeDir, ec);
    if (ec) {
        status.Reason = std::strerror(ec.value());
        return status;
    }
    // A folder on a read-only disk exists but keeps nothing.
    if (::access(paths.HomeDir.c_str(), W_OK) != 0) {
        status.Reason = std::strerror(errno);
        status.ReadOnly = true;
        return status;
    }
    if (paths.HomeDir != paths.ExeDir) {
        for (const char* name : {"Server.wis", "Servhit.key"}) {
            const std::string target = paths.HomeFile(name);
            const std::string shipped = paths.DataDir + name;
            if (!platform::FileExists(target) && platform::FileExists(shipped))
                std::filesystem::copy_file(shipped, target, ec);
        }
    }
    status.Usable = true;
    return status;
}

} // namespace settings
