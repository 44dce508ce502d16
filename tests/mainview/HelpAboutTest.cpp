// The help and about commands of the window.
#include "tests/mainview/FormFixture.h"

#include "dialogs/AboutBox.h"
#include "dialogs/HtmlHelp.h"

#include <QAction>
#include <QDialog>

namespace {

struct HelpCall {
    std::string file;
    unsigned command = 99;
    std::string data;
};

class HelpAboutTest : public FormFixture {
protected:
    void TearDown() override {
        THtmHelp::SetEntryPoint({});
        TAboutDialog::SetModalHook({});
        FormFixture::TearDown();
    }
};

} // namespace

TEST_F(HelpAboutTest, HelpIsOfferedWithViewerAndFileAndShowsDefaultTopic) {
    std::vector<HelpCall> calls;
    THtmHelp::SetEntryPoint(
        [&](quintptr, const std::string& file, unsigned command, const std::string& data) {
            calls.push_back({file, command, data});
        });
    // A viewer but no help file: no help command.
    EXPECT_FALSE(Start().HelpAction->isEnabled());
    form_.reset();

    WriteFile("zindor-whois.chm", "ITSF");
    TMainForm& f = Start();
    ASSERT_TRUE(f.HelpAction->isEnabled());
    f.HelpAction->trigger();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].file, paths_.HomeDir + "zindor-whois.chm>");
    EXPECT_EQ(calls[0].command, THtmHelp::HH_DISPLAY_TOPIC);
    EXPECT_EQ(calls[0].data, "");
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
