// The window's components, actions and menus as the rest of the program knows them.
#include "tests/mainview/FormFixture.h"

#include "mainview/BusyAnimation.h"
#include "mainview/StatusPanels.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

namespace {

QStringList Captions(const QMenu* menu) {
    QStringList captions;
    for (const QAction* a : menu->actions())
        captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return captions;
}

} // namespace

using LayoutTest = FormFixture;

TEST_F(LayoutTest, EveryComponentCarriesItsName) {
    TMainForm& f = Start();
    const char* names[] = {
        "CoolBar1",     "ToolMenu",    "FileButton",   "ViewBtn",     "ToolBtn",
        "SetupButton",  "HelpButton",  "ToolButton",   "ToolCmd",     "DelHost",
        "HostIP",       "PingBtn",     "TraceBtn",     "ToolButton3", "StopBtn",
        "WebBtn",       "StatusBar1",  "OptPanel",     "DNSBox",      "PingCheck",
        "ResolveCheck", "DNSBtn",      "AliasList",    "IPList",      "WhoisBOX",
        "DelServer",    "WhoisServer", "WhoisBtn",     "SweepCheck",  "AutoChange",
        "WithTrace",    "PINBOX",      "PingCount",    "Interval",    "TimeOut",
        "Animate1",     "ListPanel",   "HostView",     "Splitter1",   "Memo1",
        "Timer1",       "Clock",       "AboutDialog1", "ActionList1", "CodeConv",
        "N4",           "JIS1",        "JIS2",         "EUC1",        "PopupMenu1",
        "Copy1",        "Whois2",      "PopupMenu2",   "Whois1",      "WhoisName1",
        "N13",          "MemoPopup",   "Copy2",        "Whois6",      "Whois4",
        "AlignPopup",   "PanelAlign",  "TrayPopup",    "ClipWhois1",  "Whois3",
        "WhoisMenu",    "N1"};
    for (const char* name : names)
        EXPECT_NE(f.findChild<QObject*>(QString::fromLatin1(name)), nullptr) << name;
}

TEST_F(LayoutTest, ActionsHaveTheirCaptionsHintsAndInitialStates) {
    TMainForm& f = Start();
    struct Row {
        const char* name;
        QString caption;
        QString hint;
        bool enabled;
    };
    const Row rows[] = {
        {"CloseAction", "終了(&X)", "アプリケーション終了", true},
        {"WhoisAction", "Whois...", "Whois", true},
        {"PingAction", "PING...", "ping実行", true},
        {"TraceAction", "TRACE...", "Traceroute実行", true},
        {"FontSetAction", "メモのフォント(&F)...", "メモフォント設定", true},
        {"StopAction", "Stop", "中止", false},
        {"AboutAction", "バージョン情報(&A)", "バージョン情報", true},
        {"HelpAction", "&Contents...", "ヘルプ", false},
        {"WSAInfo", "WinSock情報(&W)", "Winsock情報", true},
        {"DNSAction", "Lookup...", "DNS", true},
        {"SetWhoisList", "Whois Server(&S)", "Whoisサーバー設定", true},
        // Hidden unless the settings show it, and a hidden action cannot be executed.
        {"SmtpAction", "EXPN...", "SMTP", false},
        {"OpenWeb", "Domain Web...(&W)", "ブラウザでドメインのWEBを開く", false},
        {"ClipWhois", "", "", true},
        {"HideAction", "ウィンドウを隠す(&H)", "ウィンドウを隠す", true},
        {"AlignAction", "パネルを右側へ(&R)", "右側に表示", true},
        {"VisibleAction", "オプションパネル(&P)", "パネル表示", true},
        {"ClockAction", "時刻表示(&T)", "", true},
        {"SaveWhois", "ファイルへ保存", "", true},
        {"SaveList", "リストを保存", "", true},
    };
    for (const Row& r : rows) {
        auto* a = f.findChild<QAction*>(QString::fromLatin1(r.name));
        ASSERT_NE(a, nullptr) << r.name;
        EXPECT_EQ(a->text(), r.caption) << r.name;
        EXPECT_EQ(a->statusTip(), r.hint) << r.name;
        EXPECT_EQ(a->isEnabled(), r.enabled) << r.name;
    }
    EXPECT_TRUE(f.VisibleAction->isChecked());
}

TEST_F(LayoutTest, MenuButtonsAndMenus) {
    TMainForm& f = Start();
    EXPECT_EQ(f.FileButton->text(), QStringLiteral("ファイル(&F)"));
    EXPECT_EQ(f.ViewBtn->text(), QStringLiteral("表示(&V)"));
    EXPECT_EQ(f.ToolBtn->text(), QStringLiteral("ツール(&T)"));
    EXPECT_EQ(f.SetupButton->text(), QStringLiteral("設定(&S)"));
    EXPECT_EQ(f.HelpButton->text(), QStringLiteral("ヘルプ(&H)"));
    // No classic menu bar: the tool bars hold the top of the window.
    EXPECT_EQ(f.menuWidget(), f.CoolBar1);
    EXPECT_TRUE(f.MainMenu1->isHidden());
    EXPECT_EQ(f.MainMenu1->actions().size(), 5);

    EXPECT_EQ(Captions(f.FileButton->menu()), QStringList{"終了(&X)"});
    EXPECT_EQ(
        Captions(f.ViewBtn->menu()),
        (QStringList{"ウィンドウを隠す(&H)", "-", "オプションパネル(&P)", "パネルを右側へ(&R)",
                     "時刻表示(&T)", "登録情報の要約(&S)", "ホップの所有者(&O)"}));
    EXPECT_EQ(Captions(f.ToolBtn->menu()),
              (QStringList{"Whois...", "PING...", "TRACE...", "Lookup...", "EXPN...", "-",
                           "Domain Web...(&W)"}));
    EXPECT_EQ(Captions(f.SetupButton->menu()),
              (QStringList{"コード変換", "Whois &Server", "メモフォント(&F)...", "-",
                           "RDAPを使う(&D)", "RDAPブートストラップ更新(&U)"}));
    // The four conversions, then the Linux build's own UTF-8 item.
    EXPECT_EQ(Captions(f.CodeConv), (QStringList{"自動", "JIS", "SJIS", "EUC", "UTF-8"}));
    EXPECT_EQ(Captions(f.HelpButton->menu()),
              (QStringList{"&Contents...", "&Winsock...", "&About..."}));
    EXPECT_EQ(Captions(f.PopupMenu1), (QStringList{"コピー", "-", "Whois"}));
    EXPECT_EQ(Captions(f.MemoPopup),
              (QStringList{"コピー(&C)", "-", "ファイルへ保存", "-", "Whois..."}));
    EXPECT_EQ(f.Copy2->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_C));
    EXPECT_EQ(f.Whois4->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EQ(Captions(f.AlignPopup), (QStringList{"パネルを右側へ(&R)", "オプションパネル(&P)"}));
    EXPECT_EQ(f.TrayPopup->actions().size(), 5);
    EXPECT_EQ(f.PopupMenu2->actions().size(), 4);
}

TEST_F(LayoutTest, MenuItemsFollowTheirActions) {
    TMainForm& f = Start();
    auto* item = f.findChild<QAction*>(QStringLiteral("N1"));
    EXPECT_FALSE(item->isEnabled());
    f.OpenWeb->setEnabled(true);
    EXPECT_TRUE(item->isEnabled());
    auto* expn = f.findChild<QAction*>(QStringLiteral("Whois3"));
    bool ran = false;
    QObject::connect(f.WhoisAction, &QAction::triggered, [&] { ran = true; });
    expn->trigger();
    EXPECT_TRUE(ran);
}

TEST_F(LayoutTest, HostListColumnsAndColours) {
    TMainForm& f = Start();
    QTreeWidgetItem* header = f.HostView->headerItem();
    ASSERT_EQ(f.HostView->columnCount(), 5);
    EXPECT_EQ(header->text(0), QStringLiteral("#"));
    EXPECT_EQ(header->text(1), QStringLiteral("応答(ms)"));
    EXPECT_EQ(header->text(2), QStringLiteral("IPアドレス"));
    EXPECT_EQ(header->text(3), QStringLiteral("ホスト名"));
    EXPECT_EQ(header->text(4), QStringLiteral("所有者"));
    // The owner column follows its View menu switch, shown at first.
    EXPECT_FALSE(f.HostView->isColumnHidden(4));
    f.OwnersAction->trigger();
    EXPECT_TRUE(f.HostView->isColumnHidden(4));
    f.OwnersAction->trigger();
    EXPECT_FALSE(f.HostView->isColumnHidden(4));
    EXPECT_EQ(f.HostView->header()->sectionSize(0), 25);
    EXPECT_EQ(f.HostView->header()->sectionSize(1), 60);
    EXPECT_EQ(f.HostView->header()->sectionSize(2), 110);
    EXPECT_FALSE(f.HostView->header()->sectionsClickable());
    EXPECT_EQ(f.HostView->palette().color(QPalette::Base), QColor(0xEE, 0xEE, 0xFF));
    EXPECT_EQ(f.Memo1->palette().color(QPalette::Base), QColor(0xEE, 0xEE, 0xEE));
    EXPECT_EQ(f.AliasList->palette().color(QPalette::Base), QColor(0xFF, 0xFF, 0xEE));
    EXPECT_EQ(f.IPList->palette().color(QPalette::Base), QColor(0xFF, 0xFF, 0xEE));
    EXPECT_TRUE(f.Memo1->isReadOnly());
    EXPECT_EQ(f.HostIP->width(), 180);
}

TEST_F(LayoutTest, ActionListHoldsTheTwentyCommands) {
    TMainForm& f = Start();
    EXPECT_EQ(f.ActionList1->findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly).size(),
              20);
}

TEST_F(LayoutTest, ToolBarsHoldTheirButtonsInOrder) {
    TMainForm& f = Start();
    auto names = [](const QToolBar* bar) {
        QStringList list;
        for (QAction* a : bar->actions()) {
            if (a->isSeparator()) {
                list << QStringLiteral("-");
                continue;
            }
            // A widget on the bar (a button or the host box) or a command's button.
            QWidget* w = bar->widgetForAction(a);
            list << (a->objectName().isEmpty() && w ? w->objectName() : a->objectName());
        }
        return list;
    };
    EXPECT_EQ(names(f.ToolMenu),
              (QStringList{"FileButton", "ViewBtn", "ToolBtn", "SetupButton", "HelpButton"}));
    EXPECT_EQ(names(f.ToolButton),
              (QStringList{"CloseAction", "HideAction", "-", "OpenWeb", "-", "FontSetAction",
                           "SetWhoisList", "-", "WSAInfo", "AboutAction", "HelpAction"}));
    EXPECT_EQ(names(f.ToolCmd), (QStringList{"DelHost", "HostIP", "-", "PingAction", "TraceAction",
                                             "SmtpAction", "-", "StopAction"}));
    EXPECT_EQ(f.ToolMenu->toolButtonStyle(), Qt::ToolButtonTextOnly);
    EXPECT_EQ(f.ToolButton->toolButtonStyle(), Qt::ToolButtonIconOnly);
    EXPECT_EQ(f.ToolCmd->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    EXPECT_EQ(f.DelHost->toolTip(), QStringLiteral("ホストエントリを削除"));
    // Buttons with captions show the action's caption as it is.
    EXPECT_EQ(f.PingBtn->text(), QStringLiteral("PING..."));
    EXPECT_EQ(f.TraceBtn->text(), QStringLiteral("TRACE..."));
    EXPECT_EQ(f.DNSBtn->text(), QStringLiteral("Lookup..."));
    EXPECT_EQ(f.WhoisBtn->text(), QStringLiteral("Whois..."));
    // The command buttons are the actions' own: disabling an action disables its button.
    EXPECT_EQ(f.PingBtn->defaultAction(), f.PingAction);
    EXPECT_EQ(f.StopBtn->defaultAction(), f.StopAction);
    EXPECT_FALSE(f.StopBtn->isEnabled());
    EXPECT_EQ(f.DNSBtn->defaultAction(), f.DNSAction);
    EXPECT_EQ(f.WhoisBtn->defaultAction(), f.WhoisAction);
    // The notification icon's menu: the clipboard query, the about box, the end.
    QStringList tray;
    for (QAction* a : f.TrayPopup->actions())
        tray << (a->isSeparator() ? QStringLiteral("-") : a->objectName());
    EXPECT_EQ(tray, (QStringList{"ClipWhois1", "-", "AboutAction", "-", "CloseAction"}));
}

TEST_F(LayoutTest, PanelSizesAndStartingFocus) {
    TMainForm& f = Start();
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    EXPECT_EQ(f.size(), QSize(623, 529));
    EXPECT_GE(f.OptPanel->width(), 175);
    EXPECT_EQ(f.HostView->height(), 165);
    // The host box or its edit line, whichever Qt names for the box.
    QWidget* focus = QApplication::focusWidget();
    EXPECT_TRUE(focus == f.HostIP || focus == f.HostIP->lineEdit())
        << (focus ? focus->objectName().toStdString() : std::string("no focus"));
    // The option panel's popup menu holds the panel commands.
    EXPECT_EQ(f.OptPanel->contextMenuPolicy(), Qt::CustomContextMenu);
    EXPECT_TRUE(f.Animate1->isHidden());
    EXPECT_FALSE(f.Timer1->isActive());
}

TEST_F(LayoutTest, ClockPanelHoldsTheWholeTime) {
    TMainForm& f = Start();
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    EXPECT_GE(f.StatusBar1->PanelWidth(2), 50);
    EXPECT_EQ(f.StatusBar1->PanelWidth(0), 155);
    auto* clock = f.StatusBar1->findChild<QLabel*>(QStringLiteral("Panel2"));
    ASSERT_NE(clock, nullptr);
    f.StatusBar1->SetPanelText(2, QStringLiteral("00:00:00"));
    EXPECT_GE(clock->width(), clock->sizeHint().width());
}
