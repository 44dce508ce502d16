#include "settings/AppPaths.h"

#include "platform/TextFile.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace settings {

namespace {

std::string WithSlash(std::string dir) {
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    return dir;
}

std::string ConfigHome() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg == '/')
        return WithSlash(xdg) + "zindor-whois/";
    const char* home = std::getenv("HOME");
    return WithSlash(home && *home ? home : "/tmp") + ".config/zindor-whois/";
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
    return ChangeFileExt(HomeDir + ExeName, ".ini");
}

std::string AppPaths::HomeFile(const std::string& name) const {
    return HomeDir + name;
}

std::vector<std::string> AppPaths::RdapFolders() const {
    std::vector<std::string> folders{HomeFile("rdap/")};
    if (!DataDir.empty() && DataDir != HomeDir)
        folders.push_back(DataDir + "rdap/");
    return folders;
}

std::string AppPaths::HelpFile() const {
    const std::string inHome = ChangeFileExt(HomeDir + ExeName, ".chm");
    if (platform::FileExists(inHome))
        return inHome;
    return ChangeFileExt(ExeDir + ExeName, ".chm");
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

void PrepareHome(const AppPaths& paths) {
    std::error_code ec;
    std::filesystem::create_directories(paths.HomeDir, ec);
    if (paths.HomeDir == paths.ExeDir)
        return;
    for (const char* name : {"Server.wis", "Servhit.key"}) {
        const std::string target = paths.HomeFile(name);
        const std::string shipped = paths.DataDir + name;
        if (!platform::FileExists(target) && platform::FileExists(shipped))
            std::filesystem::copy_file(shipped, target, ec);
    }
}

} // namespace settings
