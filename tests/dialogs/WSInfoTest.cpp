// The WinSock information dialog offscreen, found by its controls' names: its texts, the
// values of the socket layer's start-up record, and what it shows when things fail.
#include "dialogs/WSInfo.h"

#include "controls/BevLabel.h"
#include "platform/WinSock.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

QString Text(const QDialog& d, const char* name) {
    auto* label = d.findChild<QLabel*>(QString::fromLatin1(name));
    EXPECT_TRUE(label) << name;
    return label ? label->text() : QString();
}

} // namespace

TEST(WSInfo, CaptionsAndLayoutAreTheDesignedOnes) {
    TWSDialog dialog;
    dialog.ShowStatus(QStringLiteral("Running")); // the machine's own may be longer
    EXPECT_EQ(dialog.windowTitle(), "Winsock Info");
    EXPECT_EQ(dialog.size(), QSize(328, 230));
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMinMaxButtonsHint);
    const std::pair<const char*, const char*> captions[] = {
        {"Label8", "Computer Name:"}, {"Label1", "Version"},     {"Label2", "HighVersion"},
        {"Label4", "Status"},         {"Label3", "Description"}, {"Label5", "Vendor Info"},
        {"Label6", "Max Sockets"},    {"Label7", "Max UDP"},
    };
    for (const auto& [name, caption] : captions)
        EXPECT_EQ(Text(dialog, name), caption) << name;
    EXPECT_TRUE(dialog.Label8->font().bold());
    auto* group = dialog.findChild<QGroupBox*>("GroupBox1");
    ASSERT_TRUE(group);
    EXPECT_EQ(group->title(), "WinSock");
    EXPECT_EQ(group->geometry(), QRect(0, 40, 328, 190));
    auto* close = dialog.findChild<QPushButton*>("Button1");
    ASSERT_TRUE(close);
    EXPECT_EQ(close->text(), "Close");
    EXPECT_EQ(close->geometry(), QRect(230, 190, 75, 25));
    // Every value box in its designed place, a caption to its left on its row, none over it.
    const std::pair<const char*, QRect> boxes[] = {
        {"MyName", {115, 10, 166, 21}},     {"Version", {100, 15, 51, 22}},
        {"HighVersion", {100, 39, 51, 22}}, {"Description", {100, 88, 216, 22}},
        {"Vendor", {100, 112, 216, 22}},    {"MaxSockets", {100, 136, 75, 22}},
        {"MaxUDP", {100, 160, 75, 22}},
    };
    for (const auto& [name, rect] : boxes) {
        auto* box = dialog.findChild<TBevelLabel*>(name);
        ASSERT_TRUE(box) << name;
        EXPECT_EQ(box->geometry(), rect) << name;
        EXPECT_EQ(box->TextBorder(), 2) << name;
        EXPECT_EQ(box->BevelInner(), bvLowered) << name;
        EXPECT_FALSE(box->Down()) << name;
    }
    EXPECT_EQ(dialog.SysStatus->geometry(), QRect(100, 63, 91, 22));
    EXPECT_LE(dialog.Label8->geometry().right(), 114) << "the name's caption stays left of it";
    for (QLabel* caption : {dialog.Label1, dialog.Label2, dialog.Label3, dialog.Label4,
                            dialog.Label5, dialog.Label6, dialog.Label7})
        EXPECT_LE(caption->geometry().right(), 99) << caption->objectName().toStdString();
}

TEST(WSInfo, ShowsTheStartUpRecordAndTheComputerName) {
    const int before = winsock::StartupCount();
    TWSDialog dialog;
    EXPECT_EQ(winsock::StartupCount(), before) << "the start-up is paired with a clean-up";
    char host[64] = {};
    ASSERT_EQ(::gethostname(host, sizeof host), 0);
    EXPECT_EQ(Text(dialog, "MyName"), host);
    EXPECT_EQ(Text(dialog, "Version"), "1.1");
    EXPECT_EQ(Text(dialog, "HighVersion"), "2.2");
    winsock::WSADATA data;
    ASSERT_EQ(winsock::WSAStartup(winsock::MakeWord(1, 1), &data), 0);
    winsock::WSACleanup();
    EXPECT_EQ(Text(dialog, "Description"), data.szDescription);
    EXPECT_EQ(Text(dialog, "SysStatus"), data.szSystemStatus);
    EXPECT_EQ(Text(dialog, "Vendor"), "") << "the layer has no vendor text";
    EXPECT_EQ(Text(dialog, "MaxSockets"), QString::number(data.iMaxSockets));
    EXPECT_EQ(Text(dialog, "MaxUDP"), "65507");
}

TEST(WSInfo, FailuresShowPlaceholdersAndAnEmptyRecord) {
    TWSDialog noName(nullptr, [](std::string&) { return false; });
    EXPECT_EQ(Text(noName, "MyName"), "(undefine)");

    // A refused start-up is not reported, and must not take away another start-up.
    winsock::WSADATA held;
    ASSERT_EQ(winsock::WSAStartup(winsock::MakeWord(1, 1), &held), 0);
    const int before = winsock::StartupCount();
    winsock::InjectStartupFailure(winsock::WSASYSNOTREADY);
    TWSDialog refused(nullptr, [](std::string& n) {
        n = "named.a.test";
        return true;
    });
    winsock::InjectStartupFailure(0);
    EXPECT_EQ(winsock::StartupCount(), before);
    winsock::WSACleanup();
    EXPECT_EQ(Text(refused, "MyName"), "named.a.test");
    EXPECT_EQ(Text(refused, "Version"), "0.0");
    EXPECT_EQ(Text(refused, "HighVersion"), "0.0");
    EXPECT_EQ(Text(refused, "Description"), "");
    EXPECT_EQ(Text(refused, "MaxSockets"), "0");
    EXPECT_EQ(Text(refused, "MaxUDP"), "0");
}

TEST(WSInfo, VersionWordsReadLowByteFirst) {
    EXPECT_EQ(WinSockVersionText(winsock::MakeWord(1, 1)), "1.1");
    EXPECT_EQ(WinSockVersionText(winsock::MakeWord(2, 2)), "2.2");
    EXPECT_EQ(WinSockVersionText(winsock::MakeWord(2, 0)), "2.0");
    EXPECT_EQ(WinSockVersionText(0x0102), "2.1");
    EXPECT_EQ(WinSockVersionText(0xFFFF), "255.255");
}

TEST(WSInfo, CloseButtonEndsTheModalShowingWithOk) {
    TWSDialog dialog;
    QTimer::singleShot(0, dialog.Button1, &QPushButton::click);
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
}

// The status is never cut: the box holds the whole text, and the dialog grows only when the
// box would pass the description box (a long kernel release), keeping its margin.
TEST(WSInfo, StatusIsShownWholeAndTheDialogGrowsOnlyForALongOne) {
    TWSDialog dialog;
    const QFontMetrics metrics = dialog.SysStatus->fontMetrics();
    const std::pair<QString, bool> rows[] = {
        {"Running", false},
        {"Running on Linux", false},
        {"Running on Linux 6.18.44-fc-v1478 x86_64", true},
        {"Running on Linux " + QString(64, '9') + " x86_64", true}};
    for (const auto& [text, wider] : rows) {
        dialog.ShowStatus(text);
        const QRect box = dialog.SysStatus->geometry();
        EXPECT_EQ(dialog.SysStatus->text(), text);
        EXPECT_GE(box.width(), metrics.horizontalAdvance(text) + 10) << text.toStdString();
        EXPECT_EQ(dialog.width() > 328, wider) << text.toStdString();
        EXPECT_EQ(dialog.GroupBox1->width(), dialog.width());
        EXPECT_LE(box.right() + 12, dialog.GroupBox1->width() - 1) << text.toStdString();
        EXPECT_EQ(dialog.height(), 230);
    }
}
