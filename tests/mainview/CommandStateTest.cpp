// Busy and idle command states, the status bar, the layout commands and error handling.
#include "tests/mainview/FormFixture.h"

#include "mainview/BusyAnimation.h"
#include "mainview/MessageHooks.h"
#include "mainview/StatusPanels.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLayout>
#include <QSystemTrayIcon>
#include <QTime>
#include <QToolButton>

#include <stdexcept>

namespace {

// The commands an operation disables; the EXPN command is hidden (so never enabled) in
// these tests and is checked where a settings file shows it.
std::vector<QAction*> Commands(TMainForm& f) {
    return {f.CloseAction, f.FontSetAction, f.WSAInfo,     f.SetWhoisList, f.HideAction,
            f.PingAction,  f.TraceAction,   f.WhoisAction, f.DNSAction};
}

std::vector<QAction*> Untouched(TMainForm& f) {
    return {f.AboutAction,   f.HelpAction,  f.OpenWeb,   f.ClipWhois, f.AlignAction,
            f.VisibleAction, f.ClockAction, f.SaveWhois, f.SaveList};
}

} // namespace

using CommandStateTest = FormFixture;

TEST_F(CommandStateTest, StartsIdle) {
    TMainForm& f = Start();
    for (QAction* a : Commands(f))
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_FALSE(f.StopAction->isEnabled());
    EXPECT_FALSE(f.OpenWeb->isEnabled());
    EXPECT_TRUE(f.Animate1->isHidden());
    EXPECT_FALSE(f.Animate1->Active());
}

TEST_F(CommandStateTest, ControllerStartAndDoneSwitchBusyAndIdle) {
    TMainForm& f = Start();
    std::vector<bool> before;
    for (QAction* a : Untouched(f))
        before.push_back(a->isEnabled());
    f.StatusBar1->SetPanelText(0, QStringLiteral("x"));
    f.StatusBar1->SetPanelText(1, QStringLiteral("y"));
    f.StatusBar1->SetPanelText(2, QStringLiteral("12:00:00"));

    f.PingTrace->OnStart(f.PingTrace.get(), opWhois);
    for (QAction* a : Commands(f))
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_TRUE(f.StopAction->isEnabled());
    EXPECT_TRUE(f.StopBtn->isEnabled());
    EXPECT_FALSE(f.Animate1->isHidden());
    EXPECT_TRUE(f.Animate1->Active());
    EXPECT_TRUE(f.StatusBar1->PanelText(0).isEmpty());
    EXPECT_TRUE(f.StatusBar1->PanelText(1).isEmpty());
    EXPECT_EQ(f.StatusBar1->PanelText(2), QStringLiteral("12:00:00"));
    // Disabling an action disables its buttons and menu items too.
    EXPECT_FALSE(f.PingBtn->isEnabled());
    EXPECT_FALSE(f.findChild<QAction*>(QStringLiteral("WhoisMenu"))->isEnabled());

    f.StatusBar1->SetPanelText(1, QStringLiteral("whois -h a b"));
    f.PingTrace->OnDone(f.PingTrace.get());
    for (QAction* a : Commands(f))
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_FALSE(f.StopAction->isEnabled());
    EXPECT_TRUE(f.Animate1->isHidden());
    EXPECT_FALSE(f.Animate1->Active());
    EXPECT_TRUE(f.StatusBar1->PanelText(1).isEmpty());
    EXPECT_TRUE(f.findChild<QAction*>(QStringLiteral("WhoisMenu"))->isEnabled());

    std::vector<bool> after;
    for (QAction* a : Untouched(f))
        after.push_back(a->isEnabled());
    EXPECT_EQ(before, after);
}

TEST_F(CommandStateTest, EnablingDoesNotShowTheHiddenSmtpCommand) {
    TMainForm& f = Start();
    f.DisableButtons(nullptr, opPing);
    f.EnableButtons();
    EXPECT_FALSE(f.SmtpAction->isVisible());
}

TEST_F(CommandStateTest, LookupAndWhoisStartWriteTheirPanels) {
    TMainForm& f = Start();
    f.PingTrace->OnLookupStart(nullptr, opLookup, "www.example.jp");
    EXPECT_EQ(f.StatusBar1->PanelText(0), QStringLiteral("Resolve...www.example.jp"));
    f.PingTrace->OnWhoisStart(nullptr, "whois.example", "example.jp");
    EXPECT_EQ(f.StatusBar1->PanelText(1), QStringLiteral("whois -h whois.example example.jp"));
}

TEST_F(CommandStateTest, StatusPanelOneTakesTheRest) {
    TMainForm& f = Start();
    f.resize(700, 500);
    f.StatusBar1->resize(700, 22);
    f.StatusBar1Resize();
    EXPECT_EQ(f.StatusBar1->PanelWidth(0), 155);
    // The clock's panel: 50 pixels, or what the desktop font needs for the time.
    const int clock = f.StatusBar1->PanelWidth(2);
    EXPECT_GE(clock, 50);
    EXPECT_EQ(f.StatusBar1->PanelWidth(1), 700 - 155 - clock - 22);
    // A resize of the bar recomputes it by itself.
    f.show();
    f.StatusBar1->resize(400, 30);
    EXPECT_EQ(f.StatusBar1->width(), 400);
    EXPECT_EQ(f.StatusBar1->PanelWidth(1), 400 - 155 - clock - f.StatusBar1->height());
}

TEST_F(CommandStateTest, PanelAlignAndVisibilityCommands) {
    TMainForm& f = Start();
    QLayout* row = f.centralWidget()->layout();
    f.AlignAction->trigger();
    EXPECT_TRUE(f.AlignAction->isChecked());
    EXPECT_TRUE(f.PanelAlign->isChecked());
    EXPECT_GT(row->indexOf(f.OptPanel), 0);
    f.VisibleAction->trigger();
    EXPECT_TRUE(f.OptPanel->isHidden());
    f.VisibleAction->trigger();
    EXPECT_FALSE(f.OptPanel->isHidden());
    EXPECT_GT(row->indexOf(f.OptPanel), 0); // it kept its side
    f.PanelAlign->trigger();                // the popup item does what its action does
    EXPECT_FALSE(f.AlignAction->isChecked());
    EXPECT_EQ(row->indexOf(f.OptPanel), 0);
}

TEST_F(CommandStateTest, ClockShowsTimeAndClearsWhenSwitchedOff) {
    TMainForm& f = Start();
    f.ClockAction->trigger();
    EXPECT_TRUE(f.Clock->isActive());
    EXPECT_EQ(f.Clock->interval(), 1000);
    f.ClockTimer();
    const QString shown = f.StatusBar1->PanelText(2);
    EXPECT_TRUE(QTime::fromString(shown, QStringLiteral("HH:mm:ss")).isValid())
        << shown.toStdString();
    f.ClockAction->trigger();
    EXPECT_FALSE(f.Clock->isActive());
    EXPECT_TRUE(f.StatusBar1->PanelText(2).isEmpty());
}

TEST_F(CommandStateTest, CodeConversionMenuIsOneRadioGroup) {
    TMainForm& f = Start();
    f.JIS2->trigger();
    EXPECT_EQ(f.CodeConvTag(), 2);
    EXPECT_TRUE(f.JIS2->isChecked());
    EXPECT_FALSE(f.N4->isChecked());
    f.EUC1->trigger();
    EXPECT_EQ(f.CodeConvTag(), 3);
    EXPECT_FALSE(f.JIS2->isChecked());
    Shutdown();
    bool found = false;
    for (const std::string& line : SettingsLines())
        found = found || line == "CODEINDES=3";
    EXPECT_TRUE(found);
}

TEST_F(CommandStateTest, CloseActionClosesAndSavesHistories) {
    TMainForm& f = Start();
    f.WhoisServer->setEditText(QStringLiteral("whois.example"));
    f.UpdateHistory(f.WhoisServer, false, true);
    f.CloseAction->trigger();
    EXPECT_EQ(ReadFile("Whois.lst"), "whois.example\r\n");
}

TEST_F(CommandStateTest, ErrorInControllerEventIsShownAndWindowStaysUsable) {
    TMainForm& f = Start();
    // An event handler that fails: the error reaches the message box, not the worker.
    f.PingTrace->OnDone = mainview::Guarded([](TObject*) { throw std::runtime_error("boom"); });
    f.PingTrace->OnDone(nullptr);
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_EQ(messages_.front(), QStringLiteral("boom"));
    f.DisableButtons(nullptr, opLookup);
    f.EnableButtons();
    EXPECT_TRUE(f.WhoisAction->isEnabled());
}

TEST_F(CommandStateTest, ErrorEscapingAnEventHandlerIsShownByTheApplication) {
    struct Failing : QObject {
        bool event(QEvent* e) override {
            if (e->type() == QEvent::User)
                throw std::runtime_error("handler failed");
            return QObject::event(e);
        }
    } failing;
    QEvent event(QEvent::User);
    QApplication::sendEvent(&failing, &event);
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_EQ(messages_.front(), QStringLiteral("handler failed"));
}

TEST_F(CommandStateTest, HidingWithoutNotificationAreaOnlyMinimises) {
    // The offscreen platform has no notification area: hiding would lose the window.
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    TMainForm& f = Start();
    f.show();
    f.HideAction->trigger();
    EXPECT_FALSE(f.isHidden());
    EXPECT_TRUE(f.windowState() & Qt::WindowMinimized);
}
