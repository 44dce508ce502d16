// Where the program keeps its files.
#include "mainview/AppPaths.h"

#include "platform/TextFile.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>

#include <pwd.h>
#include <unistd.h>

using mainview::AppPaths;
using mainview::ChangeFileExt;
using mainview::PrepareHome;
using mainview::ResolvePaths;

TEST(AppPathsTest, ChangeFileExtReplacesOnlyTheNamesExtension) {
    EXPECT_EQ(ChangeFileExt("/usr/bin/zindor-whois", ".ini"), "/usr/bin/zindor-whois.ini");
    EXPECT_EQ(ChangeFileExt("/opt/zw/Whois.exe", ".ini"), "/opt/zw/Whois.ini");
    // A dot in a folder name is not the file's extension.
    EXPECT_EQ(ChangeFileExt("/opt/zw.d/whois", ".chm"), "/opt/zw.d/whois.chm");
}

TEST(AppPathsTest, ExplicitHomeWins) {
    QTemporaryDir dir;
    const AppPaths p = ResolvePaths("/usr/bin/zindor-whois", dir.path().toStdString());
    EXPECT_EQ(p.HomeDir, dir.path().toStdString() + "/");
    EXPECT_EQ(p.ExeDir, "/usr/bin/");
    EXPECT_EQ(p.SettingsFile(), p.HomeDir + "zindor-whois.ini");
    EXPECT_EQ(p.HomeFile("Whois.lst"), p.HomeDir + "Whois.lst");
}

TEST(AppPathsTest, ExecutableFolderIsHomeOnlyWhenItHoldsTheProgramsFiles) {
    // A file beside the (writable) executable, whether ../share/zindor-whois/ exists, and
    // whether the executable's folder is then the home, or share/ the data folder.
    const std::tuple<std::string, bool, bool, bool> rows[] = {
        {"", false, false, false},
        {"", true, false, true},
        {"Server.wis", true, true, false},
        {"zindor-whois.ini", false, true, false},
        {"Whois.lst", false, false, false}};
    for (const auto& [beside, share, exeIsHome, shareIsData] : rows) {
        QTemporaryDir prefix, xdg;
        const std::string bin = prefix.path().toStdString() + "/bin/";
        const std::string data = prefix.path().toStdString() + "/share/zindor-whois/";
        QDir().mkpath(QString::fromStdString(bin));
        QDir().mkpath(QString::fromStdString(share ? data : bin));
        platform::WriteFileBytes(bin + (beside.empty() ? "zindor-whois" : beside), "x");
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", xdg.path().toUtf8());
        const AppPaths p = ResolvePaths(bin + "zindor-whois", "");
        qputenv("XDG_CONFIG_HOME", saved);
        EXPECT_EQ(p.HomeDir, exeIsHome ? bin : xdg.path().toStdString() + "/zindor-whois/")
            << beside;
        EXPECT_EQ(p.DataDir, shareIsData ? data : bin) << beside;
    }
}

// XDG_CONFIG_HOME and HOME count only as full paths; else the account's entry, never /tmp.
TEST(AppPathsTest, ConfigFolderComesFromTheEnvironmentOrTheAccount) {
    const std::string account = std::string(getpwuid(getuid())->pw_dir) + "/.config/zindor-whois/";
    const char* const unset = nullptr;
    const std::tuple<const char*, const char*, std::string> rows[] = {
        {"/xdg/", "/h", "/xdg/zindor-whois/"},
        {"cfg", "/h", "/h/.config/zindor-whois/"},
        {unset, unset, account},
        {unset, "", account},
        {unset, "h", account}};
    const QByteArray savedXdg = qgetenv("XDG_CONFIG_HOME"), savedHome = qgetenv("HOME");
    for (const auto& [xdg, home, expected] : rows) {
        xdg ? qputenv("XDG_CONFIG_HOME", xdg) : qunsetenv("XDG_CONFIG_HOME");
        home ? qputenv("HOME", home) : qunsetenv("HOME");
        EXPECT_EQ(ResolvePaths("/nonexistent-zw-folder/bin/zindor-whois", "").HomeDir, expected);
    }
    qputenv("XDG_CONFIG_HOME", savedXdg);
    qputenv("HOME", savedHome);
}

// Server.wis and Servhit.key: the home's copy, else the shipped one, else none. A home that
// cannot be made, or none at all, is reported and keeps nothing, not even in the current folder.
TEST(AppPathsTest, HomeThatCannotBeMadeReadsTheShippedFiles) {
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString() + "/", data = root + "data/",
                      made = root + "home/";
    QDir().mkpath(QString::fromStdString(data));
    platform::WriteFileBytes(data + "Server.wis", "shipped\r\n");
    platform::WriteFileBytes(root + "plain", "");
    platform::WriteFileBytes(root + "Servhit.key", "portable\r\n");
    // Home folder, data folder, whether the home is usable, where each file is read.
    const std::tuple<std::string, std::string, bool, std::string, std::string> rows[] = {
        {made, data, true, made + "Server.wis", ""},
        {root + "plain/home/", data, false, data + "Server.wis", ""},
        {"", data, false, data + "Server.wis", ""},
        {root, root, true, "", root + "Servhit.key"},
        {made, "", true, "", ""}};
    for (const auto& [home, shipped, usable, server, keys] : rows) {
        const AppPaths p{root + "bin/", "zindor-whois", home, shipped};
        const settings::HomeStatus status = PrepareHome(p);
        EXPECT_EQ(status.Usable, usable);
        EXPECT_EQ(p.ReadableFile("Server.wis"), server);
        EXPECT_EQ(p.ReadableFile("Servhit.key"), keys);
        EXPECT_EQ(p.SettingsFile().empty(), home.empty());
        EXPECT_EQ(p.RdapFolders().front(), (home.empty() ? shipped : home) + "rdap/");
        QDir(QString::fromStdString(made)).removeRecursively();
    }
}

TEST(AppPathsTest, UnwritableExecutableFolderUsesConfigFolder) {
    QTemporaryDir dir;
    const std::string xdg = dir.path().toStdString();
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
    // A folder that does not exist cannot be written to, whoever runs the test.
    const AppPaths p = ResolvePaths("/nonexistent-zw-folder/bin/zindor-whois", "");
    if (old)
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(p.HomeDir, xdg + "/zindor-whois/");
}

// The help page is the shipped one of the language asked for, never another's, and none
// where nothing was shipped.
TEST(AppPathsTest, HelpPageIsTheShippedPageOfTheLanguage) {
    QTemporaryDir dir;
    const std::string data = dir.path().toStdString() + "/share/";
    QDir().mkpath(QString::fromStdString(data + "help"));
    platform::WriteFileBytes(data + "help/zindor-whois-ja.html", "x");
    const std::tuple<std::string, std::string, std::string> rows[] = {
        {data, "ja", data + "help/zindor-whois-ja.html"}, {data, "en", ""}, {"", "ja", ""}};
    for (const auto& [shipped, language, page] : rows) {
        const AppPaths p{data, "zindor-whois", data, shipped};
        EXPECT_EQ(p.HelpPage(language), page) << shipped << language;
    }
}

TEST(AppPathsTest, PrepareHomeCopiesShippedFilesWithoutOverwriting) {
    QTemporaryDir exeDir, parent;
    const std::string home = parent.path().toStdString() + "/sub/zw";
    const AppPaths p = ResolvePaths(exeDir.path().toStdString() + "/zindor-whois", home);
    platform::WriteFileBytes(p.ExeDir + "Server.wis", "shipped-server\r\n");
    platform::WriteFileBytes(p.ExeDir + "Servhit.key", "shipped-key\r\n");
    PrepareHome(p); // creates the folder and copies both
    std::string bytes;
    ASSERT_TRUE(platform::ReadFileBytes(p.HomeDir + "Server.wis", bytes));
    EXPECT_EQ(bytes, "shipped-server\r\n");

    platform::WriteFileBytes(p.HomeDir + "Servhit.key", "user-key\r\n");
    platform::WriteFileBytes(p.ExeDir + "Servhit.key", "newer-shipped\r\n");
    PrepareHome(p);
    ASSERT_TRUE(platform::ReadFileBytes(p.HomeDir + "Servhit.key", bytes));
    EXPECT_EQ(bytes, "user-key\r\n");
}
