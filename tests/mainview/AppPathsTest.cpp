// Where the program keeps its files.
#include "mainview/AppPaths.h"

#include "platform/TextFile.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>

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

TEST(AppPathsTest, HelpFileIsLookedForInHomeThenBesideExecutable) {
    QTemporaryDir exeDir, home;
    const AppPaths p =
        ResolvePaths(exeDir.path().toStdString() + "/zindor-whois", home.path().toStdString());
    EXPECT_EQ(p.HelpFile(), p.ExeDir + "zindor-whois.chm");
    platform::WriteFileBytes(p.HomeDir + "zindor-whois.chm", "x");
    EXPECT_EQ(p.HelpFile(), p.HomeDir + "zindor-whois.chm");
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
