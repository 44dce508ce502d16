// The window after operations that end badly: a step whose worker gets no thread shows its
// error in the text area and the window comes back to idle; a WHOIS chain after an SMTP
// query ends in the idle state too.
#include "tests/mainview/FormFixture.h"

#include "platform/Thread.h"
#include "tests/support/NetSandbox.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPlainTextEdit>

namespace {

bool PumpUntil(const std::function<bool()>& done, int ms = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

class FailedStep : public FormFixture {
protected:
    void TearDown() override {
        platform::Thread::InjectStartFailure(false);
        FormFixture::TearDown();
    }
    static bool Idle(const TMainForm& f) {
        return f.WhoisAction->isEnabled() && !f.StopAction->isEnabled();
    }
};

} // namespace

TEST_F(FailedStep, WorkersWithoutThreadsEndSmtpThenWhoisInTheIdleWindow) {
    TMainForm& form = Start();
    form.show(); // a hidden window would show the answer in its modal popup
    form.SweepCheck->setChecked(false);
    form.AutoChange->setChecked(false);
    platform::Thread::InjectStartFailure(true);

    form.HostIP->setEditText(QStringLiteral("postmaster@smtp.a.test"));
    form.SmtpActionExecute();
    ASSERT_TRUE(PumpUntil([&] { return Idle(form); }));
    EXPECT_EQ(form.Memo1->toPlainText().trimmed(), "Error WSAENOBUFS");

    // After the SMTP query the controller is at rest, so the chain's end frees the window.
    form.Memo1->clear();
    form.HostIP->setEditText(QStringLiteral("example.a.test"));
    form.WhoisServer->setEditText(QStringLiteral("whois.a.test"));
    form.WhoisClick();
    EXPECT_FALSE(Idle(form)) << "busy while the chain runs";
    ASSERT_TRUE(PumpUntil([&] { return Idle(form); })) << "the window stays busy";
    EXPECT_TRUE(form.Memo1->toPlainText().contains("Error WSAENOBUFS"))
        << form.Memo1->toPlainText().toStdString();
    EXPECT_TRUE(form.PingTrace->FIdle);
}
