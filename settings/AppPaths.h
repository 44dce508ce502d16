#pragma once

#include <string>
#include <vector>

namespace settings {

// Where the program keeps its files. A portable copy keeps them next to its executable; an
// installed program reads its shipped data from share/zindor-whois/ under its prefix and
// keeps the user's files in the user's configuration folder.
// No Qt: the window and the command-line front end share these rules.
struct AppPaths {
    std::string ExeDir;       // the executable's folder, with a trailing '/'
    std::string ExeName;      // the executable's file name without folder
    std::string HomeDir;      // the folder of the settings, histories and directory, trailing '/'
    std::string DataDir = {}; // the folder of the shipped data files, trailing '/'

    // The settings file: the executable's name with ".ini", in the home folder. Empty, as
    // every home file's name, when there is no home folder at all: nothing is kept then.
    std::string SettingsFile() const;
    // A file of the home folder.
    std::string HomeFile(const std::string& name) const;
    // A file the program only reads (Server.wis, Servhit.key): the home folder's copy, else
    // the shipped one, else empty when neither exists.
    std::string ReadableFile(const std::string& name) const;
    // The folders ReadableFile looks in, in its order.
    std::vector<std::string> SearchFolders() const;
    // The folders of the RDAP bootstrap files: the home folder's rdap/ (the user's updates;
    // left out when there is no home folder), then the shipped one.
    std::vector<std::string> RdapFolders() const;
    // The help page in `language` ("ja", "en"), shipped with the data; empty when there is
    // none, so that the window offers no help it cannot show.
    std::string HelpPage(const std::string& language) const;
};

// Chooses the home folder: `explicitHome` when not empty, else the executable's folder when
// it already holds the program's files (Server.wis or the settings file: a portable copy or
// a build tree), else $XDG_CONFIG_HOME/zindor-whois/ when that is a full path, else
// ~/.config/zindor-whois/ with ~ from $HOME or, when HOME is unset, empty or relative, from
// the account's entry. Without any of them the home folder is empty.
// The data folder is the executable's folder when it holds Server.wis, else
// ../share/zindor-whois/ beside it when that exists (an installed program).
AppPaths ResolvePaths(const std::string& exePath, const std::string& explicitHome);

// Whether the home folder can keep the user's files, and why not.
struct HomeStatus {
    bool Usable = false;
    std::string Folder; // the home folder, empty when there is none
    std::string Reason; // why it cannot be used (the system's words)
    bool ReadOnly = false; // the folder exists (or was made) but cannot be written
};

// Creates the home folder when needed and copies the shipped Server.wis and Servhit.key
// from the data folder into it when the home folder lacks them. A home that cannot be made
// or written is reported, not fatal: the shipped files are read instead (ReadableFile).
HomeStatus PrepareHome(const AppPaths& paths);

// The file name with its extension (the part after the last dot of the name) replaced.
std::string ChangeFileExt(const std::string& path, const std::string& ext);

} // namespace settings
