// A real operation in flight while the window is stopped or closed (private network only).
#include "tests/mainview/FormFixture.h"

#include "mainview/BusyAnimation.h"

#include "settings/IniParam.h"
#include "tests/support/BlackHole.h"
#include "tests/support/NetSandbox.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>

#include <atomic>
#include <memory>

namespace {

namespace sb = testsupport::sandbox;

void Pump(int milliseconds) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < milliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

template <class F> bool PumpUntil(F done, int milliseconds) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < milliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

class BusyShutdownTest : public FormFixture {
protected:
    void SetUp() override {
        if (!testsupport::NetSandboxAvailable())
            GTEST_SKIP() << testsupport::NetSandboxReason();
        FormFixture::SetUp();
        hole_ = std::make_unique<testsupport::BlackHole>(sb::kBlackHoleAddr, 25);
        ASSERT_TRUE(hole_->Ready()) << hole_->Error();
    }
    void TearDown() override {
        FormFixture::TearDown();
        hole_.reset();
    }
    // Starts an SMTP exchange with a host that never accepts: it runs until stopped.
    void StartHangingExchange(TMainForm& f) {
        f.PingTrace->Smtp(sb::kBlackHole, "EXPN someone");
        ASSERT_TRUE(PumpUntil([&] { return f.StopAction->isEnabled(); }, 5000));
    }
    std::unique_ptr<testsupport::BlackHole> hole_;
};

} // namespace

TEST_F(BusyShutdownTest, OperationMakesWindowBusyAndStopMakesItIdle) {
    TMainForm& f = Start();
    StartHangingExchange(f);
    EXPECT_FALSE(f.WhoisAction->isEnabled());
    EXPECT_FALSE(f.CloseAction->isEnabled());
    EXPECT_FALSE(f.Animate1->isHidden());
    f.StopAction->trigger();
    EXPECT_TRUE(f.WhoisAction->isEnabled());
    EXPECT_FALSE(f.StopAction->isEnabled());
    EXPECT_TRUE(f.Animate1->isHidden());
    EXPECT_TRUE(f.PingTrace->FIdle);
}

TEST_F(BusyShutdownTest, ClosingWhileBusyStopsTheOperationAndNoLateResultArrives) {
    TMainForm& f = Start();
    auto arrived = std::make_shared<std::atomic<bool>>(false);
    StartHangingExchange(f);
    f.PingTrace->OnSmtpResult = [arrived](TObject*, int32_t, const std::string&,
                                          const std::string&) { *arrived = true; };
    EXPECT_FALSE(f.PingTrace->FIdle);
    f.close();
    // Closing stopped the operation before the window let go of its controller.
    EXPECT_TRUE(f.PingTrace->FIdle);
    EXPECT_TRUE(f.WhoisAction->isEnabled());
    form_.reset();
    InitParam.Save();
    Pump(500);
    EXPECT_FALSE(*arrived);
    // The files were written as after any close.
    EXPECT_TRUE(Exists("Hosts.lst"));
    EXPECT_TRUE(Exists("zindor-whois.ini"));
}
