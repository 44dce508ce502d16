// The help and about commands of the window.
#include "tests/mainview/FormFixture.h"

#include "dialogs/AboutBox.h"
#include "mainview/Language.h"
#include "platform/qt/ShellOpen.h"

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QTranslator>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

namespace {

class HelpAboutTest : public FormFixture {
protected:
    void TearDown() override {
        platform::SetShellOpenHook({});
        TAboutDialog::SetModalHook({});
        FormFixture::TearDown();
    }
};

} // namespace

// The shipped page of the window's language goes to the desktop's browser (F1 too); without
// the page the command is off and nothing is opened.
TEST_F(HelpAboutTest, HelpOpensTheShippedPageOfTheWindowsLanguageInTheBrowser) {
    std::vector<std::string> opened;
    platform::SetShellOpenHook([&](const std::string& target) { opened.push_back(target); });
    paths_.DataDir = paths_.HomeDir;
    const std::string url = "file://" + paths_.HomeDir + "help/zindor-whois-";
    const std::tuple<bool, const char*, bool, std::string> rows[] = {
        // English window, shipped pages, enabled, page opened
        {false, "", false, ""},
        {false, "en", false, ""},
        {false, "ja", true, url + "ja.html"},
        {true, "ja", false, ""},
        {true, "en", true, url + "en.html"}};
    for (const auto& [english, page, enabled, target] : rows) {
        SCOPED_TRACE(std::string(page) + (english ? " in English" : ""));
        std::filesystem::remove_all(paths_.HomeDir + "help");
        std::filesystem::create_directory(paths_.HomeDir + "help");
        if (*page)
            WriteFile(std::string("help/zindor-whois-") + page + ".html", "<html></html>");
        QTranslator translator;
        if (english) {
            ASSERT_TRUE(mainview::InstallTranslation(mainview::Language::English, translator));
        }
        opened.clear();
        TMainForm& f = Start();
        EXPECT_EQ(f.HelpAction->isEnabled(), enabled);
        EXPECT_EQ(f.HelpAction->shortcut(), QKeySequence(Qt::Key_F1));
        f.HelpAction->trigger();
        EXPECT_EQ(opened, enabled ? std::vector<std::string>{target} : std::vector<std::string>{});
        form_.reset();
    }
}

TEST_F(HelpAboutTest, AboutCommandShowsTheAboutBoxAlsoWhileBusy) {
    int shown = 0;
    QString caption;
    TAboutDialog::SetModalHook([&](QDialog& box) {
        ++shown;
        caption = box.windowTitle();
        return 0;
    });
    TMainForm& f = Start();
    f.AboutAction->trigger();
    // The box is captioned with the application's title, not Qt's application name.
    EXPECT_EQ(caption, QStringLiteral("Zindor Whois の情報"));
    f.DisableButtons(nullptr, opPing);
    EXPECT_TRUE(f.AboutAction->isEnabled());
    f.AboutAction->trigger();
    EXPECT_EQ(shown, 2);
}

// The about box's comment is the window's own text, in the window's language.
TEST_F(HelpAboutTest, AboutCommentFollowsTheWindowsLanguage) {
    QString comment;
    TAboutDialog::SetModalHook([&](QDialog& box) {
        comment = box.findChild<QLabel*>(QStringLiteral("Comments"))->text();
        return 0;
    });
    TMainForm& f = Start();
    f.AboutAction->trigger();
    EXPECT_EQ(comment, QStringLiteral("WHOIS・ping・経路追跡・DNS 検索を\n一つのウィンドウで"));
    QTranslator translator;
    ASSERT_TRUE(mainview::InstallTranslation(mainview::Language::English, translator));
    f.AboutAction->trigger();
    EXPECT_EQ(comment, QStringLiteral("WHOIS, ping, trace and DNS lookups\nin one window"));
}
