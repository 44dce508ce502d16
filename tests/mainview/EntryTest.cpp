// The program itself, started as a user would: its files after one run.
#include "platform/TextFile.h"

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Runs the program on `home` until it closes itself after taking its picture.
int RunProgram(const QString& home, const QStringList& extra = {}) {
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(ZW_EXECUTABLE),
                  QStringList{"--home", home, "--screenshot", home + "/shot.png"} + extra);
    if (!program.waitForFinished(60000)) {
        program.kill();
        program.waitForFinished();
        return -1;
    }
    return program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -2;
}

std::vector<std::string> Lines(const QString& file) {
    std::vector<std::string> lines;
    platform::ReadTextLines(file.toStdString(), lines);
    return lines;
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

} // namespace

TEST(EntryTest, OneRunWritesSettingsAndHistoriesAndKeepsHandWrittenLines) {
    QTemporaryDir home;
    platform::WriteFileBytes(home.filePath("zindor-whois.ini").toStdString(),
                             "SMTPEXPN=1\r\nLASTUSER=abc\r\nLASTHOST=host.example\r\n");
    platform::WriteFileBytes(home.filePath("Whois.lst").toStdString(),
                             "whois.b.example\r\nwhois.a.example\r\n");
    ASSERT_EQ(RunProgram(home.path()), 0);
    EXPECT_TRUE(QFileInfo::exists(home.filePath("shot.png")));
    const auto ini = Lines(home.filePath("zindor-whois.ini"));
    ASSERT_GE(ini.size(), 3u);
    EXPECT_EQ(ini[0], "SMTPEXPN=1");
    EXPECT_EQ(ini[1], "LASTUSER=abc");
    EXPECT_EQ(ini[2], "LASTHOST=host.example");
    EXPECT_TRUE(Has(ini, "SHOWPANEL=1"));
    EXPECT_TRUE(Has(ini, "INTERVAL=1000"));
    EXPECT_EQ(Lines(home.filePath("Whois.lst")),
              (std::vector<std::string>{"whois.b.example", "whois.a.example"}));
    EXPECT_FALSE(Lines(home.filePath("Hosts.lst")).empty());
}

TEST(EntryTest, MinimisedStartEndsCleanly) {
    QTemporaryDir home;
    ASSERT_EQ(RunProgram(home.path(), {"-iconic"}), 0);
    EXPECT_TRUE(Has(Lines(home.filePath("zindor-whois.ini")), "PINGCOUNT=5"));
}

TEST(EntryTest, MaximisedStartIsStoredAsMaximised) {
    QTemporaryDir home;
    platform::WriteFileBytes(home.filePath("zindor-whois.ini").toStdString(),
                             "WINDOWINFO=0,10,20,610,420\r\n");
    ASSERT_EQ(RunProgram(home.path(), {"--maximized"}), 0);
    // A window maximised at exit keeps the bounds it was started with.
    EXPECT_TRUE(Has(Lines(home.filePath("zindor-whois.ini")), "WINDOWINFO=2,10,20,610,420"));
}
