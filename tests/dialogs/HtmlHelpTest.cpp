#include "dialogs/HtmlHelp.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Call {
    quintptr wnd;
    std::string file;
    unsigned command;
    std::string data;
};

class HtmlHelpTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    void TearDown() override { THtmHelp::FreeLibrary(); }

    std::string Path(const char* name) const { return dir.filePath(name).toStdString(); }
    std::string MakeFile(const char* name, const QByteArray& content = "x") const {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return Path(name);
    }
    // A stand-in viewer that records the arguments it was started with.
    std::string MakeViewer(const QString& folder, const char* name) const {
        QDir().mkpath(folder);
        const QString path = folder + "/" + name;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args.tmp\"\nmv \"$0.args.tmp\" "
                   "\"$0.args\"\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path.toStdString();
    }
    void Record() {
        THtmHelp::SetEntryPoint([this](quintptr wnd, const std::string& file, unsigned command,
                                       const std::string& data) {
            calls.push_back({wnd, file, command, data});
        });
    }

    QTemporaryDir dir;
    std::vector<Call> calls;
};

TEST_F(HtmlHelpTest, WithoutAViewerHelpIsNeverEnabledAndShowsNothing) {
    THtmHelp::LoadLibrary(dir.path().toStdString());
    EXPECT_FALSE(THtmHelp::HelpLoaded());
    EXPECT_EQ(THtmHelp::ViewerProgram(), "");
    THtmHelp help;
    EXPECT_FALSE(help.Enabled());
    help.SetFileName(MakeFile("zindor-whois.chm"));
    EXPECT_FALSE(help.Enabled());
    // Nothing to call; it must simply return.
    help.DisplayTopic(0, "");
    EXPECT_TRUE(calls.empty());
}

TEST_F(HtmlHelpTest, WithAViewerButNoHelpFileHelpIsDisabled) {
    MakeViewer(dir.path() + "/bin", "xchm");
    THtmHelp::LoadLibrary((dir.path() + "/bin").toStdString());
    ASSERT_TRUE(THtmHelp::HelpLoaded());
    THtmHelp help;
    help.SetFileName(Path("missing.chm"));
    EXPECT_FALSE(help.Enabled());
    // A folder is not a help file.
    help.SetFileName(dir.path().toStdString());
    EXPECT_FALSE(help.Enabled());
    help.SetFileName(MakeFile("zindor-whois.chm"));
    EXPECT_TRUE(help.Enabled());
}

TEST_F(HtmlHelpTest, EnabledIsDecidedWhenTheFileNameIsWritten) {
    MakeViewer(dir.path() + "/bin", "kchmviewer");
    THtmHelp::LoadLibrary((dir.path() + "/bin").toStdString());
    THtmHelp help;
    const std::string file = MakeFile("help.chm");
    help.SetFileName(file);
    ASSERT_TRUE(help.Enabled());
    QFile::remove(QString::fromStdString(file));
    EXPECT_TRUE(help.Enabled());
    help.SetFileName(file);
    EXPECT_FALSE(help.Enabled());
}

TEST_F(HtmlHelpTest, TheFileArgumentJoinsTheWindowNameAfterAMark) {
    Record();
    THtmHelp help;
    help.SetFileName("/opt/zw/zindor-whois.chm");
    help.DisplayTopic(0, "");
    help.SetWindowName("main");
    help.DisplayTopic(7, "intro.htm");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].file, "/opt/zw/zindor-whois.chm>");
    EXPECT_EQ(calls[0].wnd, 0u);
    EXPECT_EQ(calls[0].command, THtmHelp::HH_DISPLAY_TOPIC);
    EXPECT_EQ(calls[0].data, "");
    EXPECT_EQ(calls[1].file, "/opt/zw/zindor-whois.chm>main");
    EXPECT_EQ(calls[1].wnd, 7u);
    EXPECT_EQ(calls[1].data, "intro.htm");
}

TEST_F(HtmlHelpTest, AnEmptyTopicFallsBackToTheIndexFile) {
    Record();
    THtmHelp help;
    help.SetIndexFile("index.htm");
    help.DisplayTopic(0, "");
    help.DisplayTopic(0, "other.htm");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].data, "index.htm");
    EXPECT_EQ(calls[1].data, "other.htm");
}

TEST_F(HtmlHelpTest, DisplayTopicDoesNotLookAtEnabled) {
    Record();
    THtmHelp help;
    help.SetEnabled(false);
    help.DisplayTopic(0, "");
    EXPECT_EQ(calls.size(), 1u);
}

TEST_F(HtmlHelpTest, TheViewerIsStartedOnTheHelpFile) {
    const std::string viewer = MakeViewer(dir.path() + "/bin", "xchm");
    THtmHelp::LoadLibrary((dir.path() + "/empty:" + dir.path() + "/bin").toStdString());
    ASSERT_EQ(THtmHelp::ViewerProgram(), viewer);
    THtmHelp help;
    const std::string file = MakeFile("zindor-whois.chm");
    help.SetFileName(file);
    help.SetWindowName("main");
    help.DisplayTopic(0, "");
    QFile args(QString::fromStdString(viewer) + ".args");
    QDeadlineTimer deadline(10000);
    while (!args.exists() && !deadline.hasExpired())
        QTest::qWait(20);
    ASSERT_TRUE(args.open(QIODevice::ReadOnly));
    EXPECT_EQ(args.readAll().toStdString(), file + "\n");
}

TEST_F(HtmlHelpTest, FreeingTheLibraryDisablesLaterFiles) {
    MakeViewer(dir.path(), "xchm");
    THtmHelp::LoadLibrary(dir.path().toStdString());
    ASSERT_TRUE(THtmHelp::HelpLoaded());
    THtmHelp::FreeLibrary();
    EXPECT_FALSE(THtmHelp::HelpLoaded());
    THtmHelp help;
    help.SetFileName(MakeFile("a.chm"));
    EXPECT_FALSE(help.Enabled());
}

TEST(HelpViewerSearch, TakesTheFirstCandidateThatIsAnExecutableFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString a = dir.path() + "/a", b = dir.path() + "/b", c = dir.path() + "/c";
    for (const QString& folder : {a, b, c})
        QDir().mkpath(folder);
    // Not executable, and a folder of the right name: both are passed over.
    QFile plain(a + "/xchm");
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    QDir().mkpath(b + "/xchm");
    const std::string search = (a + ":" + b + ":" + c).toStdString();
    EXPECT_EQ(helpviewer::FindViewer(search), "");

    QFile later(c + "/kchmviewer");
    ASSERT_TRUE(later.open(QIODevice::WriteOnly));
    later.close();
    later.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_EQ(helpviewer::FindViewer(search), (c + "/kchmviewer").toStdString());

    QFile preferred(c + "/xchm");
    ASSERT_TRUE(preferred.open(QIODevice::WriteOnly));
    preferred.close();
    preferred.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_EQ(helpviewer::FindViewer(search), (c + "/xchm").toStdString());
    EXPECT_EQ(helpviewer::FindViewer(""), "");
}

TEST(HelpViewerSearch, TheViewerGetsTheFileWithoutTheWindowName) {
    EXPECT_EQ(helpviewer::FileOfArgument("/a/b.chm>"), "/a/b.chm");
    EXPECT_EQ(helpviewer::FileOfArgument("/a/b.chm>main"), "/a/b.chm");
    EXPECT_EQ(helpviewer::FileOfArgument("/a/b.chm"), "/a/b.chm");
}

} // namespace
