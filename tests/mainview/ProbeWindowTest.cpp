// Ping, trace and lookup with PING from the window, through a real chain of network
// namespaces (tests/support/HopNetwork): the rows and texts the user sees.
#include "tests/mainview/FormFixture.h"

#include "mainview/DialogHooks.h"

#include "controls/SpinBtns.h"
#include "tests/support/FakeServer.h"
#include "tests/support/HopNetwork.h"
#include "tests/support/NetSandbox.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTimer>
#include <QTreeWidget>

#include <cstdlib>
#include <memory>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

namespace sb = testsupport::sandbox;
using testsupport::FakeServer;
using testsupport::HopNetwork;
using testsupport::HopNetworkOptions;

template <class F> bool PumpUntil(F done, int milliseconds) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < milliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

void Pump(int milliseconds) {
    PumpUntil([] { return false; }, milliseconds);
}

QStringList Row(const QTreeWidget* view, int index) {
    QStringList out;
    const QTreeWidgetItem* row = view->topLevelItem(index);
    for (int c = 0; row && c < 4; ++c) // the rows' own columns, not the owner's
        out << row->text(c);
    return out;
}

class ProbeWindowTest : public FormFixture {
protected:
    void TearDown() override {
        mainview::SetSaveFileHook({});
        FormFixture::TearDown();
        net_.reset();
    }
    bool Build(const HopNetworkOptions& options) {
        if (!testsupport::NetSandboxAvailable()) {
            skip_ = testsupport::NetSandboxReason();
            return false;
        }
        net_ = std::make_unique<HopNetwork>(options);
        skip_ = net_->Error();
        // Without raw sockets (ZW_DROP_NET_RAW), as an administrator would allow it; or, as
        // on Debian, with datagram sockets off too, through the probe helper.
        if (const char* drop = std::getenv("ZW_DROP_NET_RAW"); net_->Ok() && drop) {
            const int raw = ::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
            EXPECT_LT(raw, 0) << "raw sockets are still allowed";
            if (raw >= 0)
                ::close(raw);
            net_->RunIn(0, std::string("sysctl -qw net.ipv4.ping_group_range='") +
                               (std::string(drop) == "helper" ? "1 0" : "0 2147483647") + "'");
        }
        return net_->Ok();
    }
    // Shown, as a user has it: a hidden window would pop its WHOIS answers up modally.
    TMainForm& StartShown() {
        TMainForm& f = Start();
        f.show();
        return f;
    }
    static bool Idle(const TMainForm& f) {
        return f.PingAction->isEnabled() && !f.StopAction->isEnabled() && !f.Timer1->isActive();
    }
    std::unique_ptr<HopNetwork> net_;
    std::string skip_;
};

#define BUILD_OR_SKIP(options)                                                                     \
    if (!Build(options))                                                                           \
    GTEST_SKIP() << skip_

// Over IPv4 and over IPv6: the rows, the hop names, and the WHOIS of the target's address.
class ProbeWindowFamily : public ProbeWindowTest, public ::testing::WithParamInterface<int> {};

TEST_P(ProbeWindowFamily, TraceRowsNameTheHopsAndAskWhoisOfTheTarget) {
    const int family = GetParam();
    HopNetworkOptions options;
    options.silentRouters = {1};
    BUILD_OR_SKIP(options);
    FakeServer whois(sb::kWhoisAAddr, 43, FakeServer::Answer("NetRange: 198.18.0.0\n"));
    TMainForm& f = StartShown();
    f.TimeOut->SetValue(1);
    f.ResolveCheck->setChecked(true);
    f.WithTrace->setChecked(true);
    f.WhoisServer->setEditText(sb::kWhoisA);
    f.HostIP->setEditText(QString::fromStdString(HopNetwork::TargetName(family)));
    f.TraceAction->trigger();
    ASSERT_TRUE(PumpUntil([&] { return Idle(f) && f.HostView->topLevelItemCount() == 3; }, 20000));
    EXPECT_EQ(Row(f.HostView, 0), (QStringList{"1", "...", "- NoResponse -", "(Timeout)"}));
    const QStringList hop2 = Row(f.HostView, 1), hop3 = Row(f.HostView, 2);
    const std::string target = net_->TargetAddress(family);
    EXPECT_EQ(hop2.mid(2),
              (QStringList{QString::fromStdString(HopNetwork::RouterAddress(2, family)),
                           QString::fromStdString(HopNetwork::RouterName(2, family))}));
    EXPECT_EQ(hop3.mid(2), (QStringList{QString::fromStdString(target),
                                        QString::fromStdString(HopNetwork::TargetName(family))}));
    for (const QStringList& row : {hop2, hop3}) {
        bool number = false;
        EXPECT_GE(row[1].toInt(&number), 0);
        EXPECT_TRUE(number) << row[1].toStdString();
    }
    // The address column shows the whole address.
    EXPECT_GT(f.HostView->columnWidth(2), f.HostView->fontMetrics().horizontalAdvance(hop3[2]));
    EXPECT_TRUE(PumpUntil([&] { return f.Memo1->toPlainText().contains("NetRange"); }, 5000));
    EXPECT_EQ(whois.AllReceived(), target + "\r\n");
    // A picture of the window for a person to look at (run under a real X server).
    if (const char* shot = std::getenv("ZW_PROBE_SCREENSHOT"))
        f.grab().save(QString::fromLocal8Bit(shot).replace(
            QStringLiteral(".png"), family == AF_INET6 ? QStringLiteral("-ipv6.png") : ".png"));

    // The saved list: one line per row, the silent hop in the form the user knows.
    const QString saved = QString::fromStdString(paths_.HomeDir + "trace.txt");
    mainview::SetSaveFileHook([&](const mainview::SaveDialogSpec&) { return saved; });
    f.SaveList->trigger();
    const std::string text = ReadFile("trace.txt");
    EXPECT_EQ(text.rfind("#1,...,\"- NoResponse -\",(Timeout)\r\n#2,", 0), 0u) << text;
    EXPECT_NE(text.find("," + target + "," + HopNetwork::TargetName(family) + "\r\n"),
              std::string::npos)
        << text;
}

INSTANTIATE_TEST_SUITE_P(Family, ProbeWindowFamily, ::testing::Values(AF_INET, AF_INET6),
                         [](const auto& info) { return info.param == AF_INET6 ? "IPv6" : "IPv4"; });

TEST_F(ProbeWindowTest, PingSeriesWithoutIntervalSendsEchoesBackToBack) {
    BUILD_OR_SKIP(HopNetworkOptions{});
    TMainForm& f = StartShown();
    f.PingCount->SetValue(4);
    f.Interval->SetValue(0);
    f.TimeOut->SetValue(2);
    f.HostIP->setEditText(QString::fromStdString(net_->TargetAddress()));
    f.PingAction->trigger();
    ASSERT_TRUE(PumpUntil([&] { return Idle(f) && f.HostView->topLevelItemCount() == 4; }, 10000));
    for (int i = 0; i < 4; ++i) {
        const QStringList row = Row(f.HostView, i);
        EXPECT_EQ(row[0], QString::number(i + 1));
        EXPECT_NE(row[1], "?");
        EXPECT_EQ(row.mid(2), (QStringList{"198.18.2.2", "target.hop.test"}));
    }
    Pump(200);
    EXPECT_EQ(f.HostView->topLevelItemCount(), 4);
}

TEST_F(ProbeWindowTest, StopWhileTheSeriesWaitsSendsNoFurtherEcho) {
    BUILD_OR_SKIP(HopNetworkOptions{});
    TMainForm& f = StartShown();
    f.PingCount->SetValue(5);
    f.Interval->SetValue(3000);
    f.HostIP->setEditText(QString::fromStdString(net_->TargetAddress()));
    f.PingAction->trigger();
    ASSERT_TRUE(PumpUntil([&] { return f.HostView->topLevelItemCount() == 1; }, 5000));
    EXPECT_TRUE(f.Timer1->isActive());
    f.StopAction->trigger();
    EXPECT_TRUE(Idle(f));
    Pump(300);
    EXPECT_EQ(f.HostView->topLevelItemCount(), 1);
}

TEST_F(ProbeWindowTest, LookupWithPingMarksHostsAndWhoisTakesTheBareName) {
    HopNetworkOptions options;
    options.targetIgnoresEchoes = true;
    BUILD_OR_SKIP(options);
    FakeServer whois(sb::kWhoisAAddr, 43, FakeServer::Answer("No match\n"));
    TMainForm& f = StartShown();
    f.PingCheck->setChecked(true);
    f.TimeOut->SetValue(1);
    f.WhoisServer->setEditText(sb::kWhoisA);
    f.HostIP->setEditText(QString::fromStdString(HopNetwork::RouterName(1)));
    f.DNSAction->trigger();
    ASSERT_TRUE(PumpUntil([&] { return Idle(f) && f.HostView->topLevelItemCount() == 1; }, 5000));
    f.HostIP->setEditText(QString::fromStdString(HopNetwork::TargetName()));
    f.DNSAction->trigger();
    ASSERT_TRUE(PumpUntil([&] { return Idle(f) && f.HostView->topLevelItemCount() == 2; }, 5000));
    const QStringList alive = Row(f.HostView, 0);
    EXPECT_EQ(alive[0], "0");
    EXPECT_NE(alive[1], "?");
    EXPECT_EQ(alive.mid(2), (QStringList{"198.18.0.2", "r1.hop.test (alive)"}));
    EXPECT_EQ(Row(f.HostView, 1),
              (QStringList{"1", "?", "198.18.2.2", "target.hop.test (no response)"}));

    f.HostView->setCurrentItem(f.HostView->topLevelItem(1));
    f.PopupMenu2Popup();
    f.WhoisName1Click();
    ASSERT_TRUE(PumpUntil([&] { return f.Memo1->toPlainText().contains("No match"); }, 5000));
    // The first query is the bare name (the chain then goes on with the parent domain).
    EXPECT_EQ(whois.AllReceived().rfind("target.hop.test\r\n", 0), 0u) << whois.AllReceived();
}

} // namespace
