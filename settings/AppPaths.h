#pragma once

#include <string>

namespace settings {

// Where the program keeps its files. The Windows program kept them next to its executable;
// here that folder is used when it is writable, otherwise the user's configuration folder.
// No Qt: the window and the command-line front end share these rules.
struct AppPaths {
    std::string ExeDir;  // the executable's folder, with a trailing '/'
    std::string ExeName; // the executable's file name without folder
    std::string HomeDir; // the folder of the settings, histories and directory, trailing '/'

    // The settings file: the executable's name with ".ini", in the home folder.
    std::string SettingsFile() const;
    // A file of the home folder.
    std::string HomeFile(const std::string& name) const;
    // The help file: the executable's name with ".chm", in the home folder when it is
    // there, else beside the executable.
    std::string HelpFile() const;
};

// Chooses the home folder: `explicitHome` when not empty, else the executable's folder when
// it is writable, else $XDG_CONFIG_HOME/zindor-whois/ (default ~/.config/zindor-whois/).
AppPaths ResolvePaths(const std::string& exePath, const std::string& explicitHome);

// Creates the home folder when needed and copies the shipped Server.wis and Servhit.key
// from the executable's folder into it when the home folder lacks them. Failures leave
// the files missing, which start-up tolerates.
void PrepareHome(const AppPaths& paths);

// The file name with its extension (the part after the last dot of the name) replaced.
std::string ChangeFileExt(const std::string& path, const std::string& ext);

} // namespace settings
