// How the window shows lookups, ping series and traces, driven by the controller's events.
#include "tests/mainview/FormFixture.h"

#include "mainview/StatusPanels.h"

#include "controls/SpinBtns.h"

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QTreeWidget>

#include <arpa/inet.h>

namespace {

uint32_t Addr(const char* dotted) {
    return inet_addr(dotted);
}

TagHostEnt Host(const char* name, std::vector<const char*> addrs,
                std::vector<std::string> aliases = {}) {
    TagHostEnt h;
    h.Found = true;
    h.Query = name;
    h.HostName = name;
    h.Aliases = std::move(aliases);
    for (const char* a : addrs)
        h.Addresses.push_back(Addr(a));
    h.Address = h.Addresses.empty() ? 0 : h.Addresses.front();
    return h;
}

QStringList Entries(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

QStringList Row(const QTreeWidget* view, int index) {
    QStringList out;
    const QTreeWidgetItem* row = view->topLevelItem(index);
    for (int c = 0; c < 4; ++c) // the rows' own columns; the owner column is read apart
        out << row->text(c);
    return out;
}

} // namespace

using NetworkEventsTest = FormFixture;

TEST_F(NetworkEventsTest, ResolvedHostFillsLookupListsWithoutRepeats) {
    TMainForm& f = Start();
    f.PingTrace->OnResolved(nullptr, opLookup,
                            Host("multi.example", {"192.0.2.5", "192.0.2.6", "192.0.2.5"},
                                 {"alias1.example", "MULTI.example", "alias1.example"}));
    EXPECT_EQ(Entries(f.AliasList), (QStringList{"multi.example", "alias1.example"}));
    EXPECT_EQ(Entries(f.IPList), (QStringList{"192.0.2.5", "192.0.2.6"}));
    EXPECT_TRUE(f.StatusBar1->PanelText(0).isEmpty());

    TagHostEnt failed;
    failed.Query = "nowhere.example";
    f.PingTrace->OnResolved(nullptr, opPing, failed);
    EXPECT_EQ(Entries(f.AliasList), QStringList{"Lookup Fail"});
    EXPECT_TRUE(Entries(f.IPList).isEmpty());
    EXPECT_EQ(f.StatusBar1->PanelText(0), QStringLiteral("Ping..."));
    failed.Error = 10055;
    f.PingTrace->OnResolved(nullptr, opLookup, failed);
    EXPECT_EQ(Entries(f.AliasList), QStringList{"Error WSAENOBUFS"});
    // IPv6 addresses follow the IPv4 ones.
    TagHostEnt dual = Host("dual.example", {"192.0.2.5"});
    dual.Addresses6.resize(1);
    ASSERT_TRUE(ParseIPv6("2001:db8::5", dual.Addresses6[0]));
    f.PingTrace->OnResolved(nullptr, opLookup, dual);
    EXPECT_EQ(Entries(f.IPList), (QStringList{"192.0.2.5", "2001:db8::5"}));
}

TEST_F(NetworkEventsTest, WhoisServerLookupLeavesListsAlone) {
    TMainForm& f = Start();
    f.PingTrace->OnResolved(nullptr, opLookup, Host("a.example", {"192.0.2.1"}));
    f.PingTrace->OnResolved(nullptr, opWhois, Host("whois.example", {"192.0.2.43"}));
    EXPECT_EQ(Entries(f.AliasList), QStringList{"a.example"});
    EXPECT_EQ(f.StatusBar1->PanelText(0), QStringLiteral("Whois..."));
    EXPECT_EQ(f.ResolvedHost.HostName, "whois.example");
}

TEST_F(NetworkEventsTest, PingSeriesAddsRowsAndEndsAtCount) {
    TMainForm& f = Start();
    f.PingCount->SetValue(3);
    f.PingTrace->FIdle = false; // a series is running
    f.PingTrace->OnEchoReply = [&f](TObject* s, uint8_t st, int32_t seq, int32_t ms,
                                    const TagHostEnt& h) { f.EchoReply(s, st, seq, ms, h); };
    const TagHostEnt target = Host("t.example", {"192.0.2.7"});
    f.PingTrace->OnEchoReply(nullptr, 1, 1, 15, target);
    EXPECT_TRUE(f.Timer1->isActive()); // waits for the next echo
    f.Timer1->stop();
    f.PingTrace->OnEchoReply(nullptr, 3, 2, -1, target);
    f.Timer1->stop();
    EXPECT_EQ(Row(f.HostView, 0), (QStringList{"1", "15", "192.0.2.7", "t.example"}));
    EXPECT_EQ(Row(f.HostView, 1), (QStringList{"2", "?", "192.0.2.7", "t.example"}));

    f.PingTrace->OnEchoReply(nullptr, 1, 3, 9, target);
    EXPECT_FALSE(f.Timer1->isActive()); // the last echo stops the series
    EXPECT_TRUE(f.PingTrace->FIdle);
    EXPECT_TRUE(f.PingAction->isEnabled());
    EXPECT_EQ(f.HostView->topLevelItemCount(), 3);
}

TEST_F(NetworkEventsTest, LookupWithPingUpdatesRowsInPlace) {
    TMainForm& f = Start();
    const TagHostEnt a = Host("a.example", {"192.0.2.1"});
    const TagHostEnt b = Host("b.example", {"192.0.2.2"});
    f.CheckReply(nullptr, 1, 1, 12, a);
    f.CheckReply(nullptr, 3, 1, -1, b);
    EXPECT_EQ(Row(f.HostView, 0), (QStringList{"0", "12", "192.0.2.1", "a.example (alive)"}));
    EXPECT_EQ(Row(f.HostView, 1), (QStringList{"1", "?", "192.0.2.2", "b.example (no response)"}));
    f.CheckReply(nullptr, 3, 1, -1, a);
    ASSERT_EQ(f.HostView->topLevelItemCount(), 2);
    EXPECT_EQ(Row(f.HostView, 0), (QStringList{"0", "?", "192.0.2.1", "a.example (no response)"}));
}

TEST_F(NetworkEventsTest, TraceRowsForSilentHopsAnswersAndTarget) {
    TMainForm& f = Start();
    f.PingTrace->OnResolved(nullptr, opTrace, Host("target.example", {"192.0.2.9"}));
    const auto hop = [&f](int32_t ttl, HopStatus status, double ms, const char* address,
                          int32_t error = 0) {
        ::TraceHop h{ttl, status, address, ms, status == HopStatus::Reply, error};
        f.PingTrace->OnHopRecord(nullptr, h);
    };
    hop(1, HopStatus::TimeExceeded, 2.6, "192.0.2.254");
    hop(2, HopStatus::TimedOut, -1, "");
    EXPECT_EQ(f.StatusBar1->PanelText(1), QString()); // a time-out is no failure
    hop(3, HopStatus::SendError, -1, "", 10051);
    EXPECT_TRUE(f.StatusBar1->PanelText(1).endsWith(QStringLiteral(": network unreachable")))
        << f.StatusBar1->PanelText(1).toStdString();
    hop(4, HopStatus::Reply, 19.5, "192.0.2.9");
    EXPECT_EQ(Row(f.HostView, 0), (QStringList{"1", "3", "192.0.2.254", "...."}));
    EXPECT_EQ(Row(f.HostView, 1), (QStringList{"2", "...", "- NoResponse -", "(Timeout)"}));
    EXPECT_EQ(Row(f.HostView, 2), (QStringList{"3", "...", "- NoResponse -", "(Error)"}));
    EXPECT_EQ(Row(f.HostView, 3), (QStringList{"4", "20", "192.0.2.9", "target.example"}));
    f.PingTrace->OnHopResolved(nullptr, 1, Host("gw.example", {"192.0.2.254"}));
    EXPECT_EQ(f.HostView->topLevelItem(0)->text(3), QStringLiteral("gw.example"));
    // A hop beyond the list (cleared by a new command) is ignored.
    f.PingTrace->OnHopResolved(nullptr, 9, Host("late.example", {"192.0.2.1"}));
    EXPECT_EQ(f.HostView->topLevelItemCount(), 4);
    f.WithTrace->setChecked(true); // no WHOIS, else the empty server box would be refused
    f.WhoisServer->setEditText(QString());
    hop(5, HopStatus::HostUnreachable, 7.4, "192.0.2.9");
    EXPECT_EQ(Row(f.HostView, 4), (QStringList{"5", "7", "192.0.2.9", "(Unreachable)"}));
    // Owners in their own column; the first failure is said once in the status bar.
    hopowner::Lookup found, failed;
    found.status = hopowner::Lookup::Status::Found;
    found.owner = {64500, "EXAMPLE-NET", "192.0.2.0/24", "JP", "apnic"};
    failed.status = hopowner::Lookup::Status::Failed;
    failed.reason = "first";
    f.PingTrace->OnHopOwner(nullptr, 1, found);
    f.PingTrace->OnHopOwner(nullptr, 4, failed);
    failed.reason = "second";
    f.PingTrace->OnHopOwner(nullptr, 5, failed);
    f.PingTrace->OnHopOwner(nullptr, 9, found);
    EXPECT_EQ(f.HostView->topLevelItem(0)->text(4), QStringLiteral("AS64500 EXAMPLE-NET"));
    EXPECT_EQ(f.HostView->topLevelItem(3)->text(4), QString());
    EXPECT_TRUE(f.StatusBar1->PanelText(1).endsWith(QStringLiteral(": first")))
        << f.StatusBar1->PanelText(1).toStdString();
    EXPECT_TRUE(messages_.isEmpty()) << messages_.join('|').toStdString();
}

// The unspecified addresses name no host: a ping or trace of them is refused, nothing kept.
TEST_F(NetworkEventsTest, UnspecifiedAddressesAreRefused) {
    WriteFile("Hosts.lst", "");
    TMainForm& f = Start();
    for (const char* text : {"::", "0.0.0.0"}) {
        messages_.clear();
        f.HostIP->setEditText(QString::fromLatin1(text));
        f.TraceClick();
        f.PingBtnClick();
        EXPECT_EQ(messages_.size(), 2) << text;
        EXPECT_TRUE(messages_.front().startsWith(QString::fromLatin1(text) + " ")) << text;
    }
    EXPECT_EQ(f.HostIP->count(), 0);
    EXPECT_TRUE(f.PingTrace->FIdle);
}

TEST_F(NetworkEventsTest, SmtpWithoutUserIsRefused) {
    WriteFile("zindor-whois.ini", "SMTPEXPN=1\r\n");
    WriteFile("Hosts.lst", "");
    TMainForm& f = Start();
    f.HostIP->setEditText(QStringLiteral("mail.example"));
    f.SmtpAction->trigger();
    ASSERT_EQ(messages_, QStringList{"Input User@hostname."});
    EXPECT_EQ(f.HostIP->count(), 0);
    EXPECT_TRUE(f.PingAction->isEnabled());
}
