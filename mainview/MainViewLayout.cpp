// Construction of the main window's components, actions and menus.
#include "mainview/MainView.h"

#include "mainview/BusyAnimation.h"
#include "mainview/MenuItemLink.h"
#include "mainview/StatusPanels.h"

#include "controls/SpinBtns.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

using mainview::LinkMenuItem;

namespace {

QColor Rgb(int rgb) {
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

void Paint(QWidget* w, const QColor& base) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Base, base);
    w->setPalette(pal);
}

QToolBar* MakeToolBar(QWidget* parent, const char* name) {
    auto* bar = new QToolBar(parent);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(16, 16));
    return bar;
}

QToolButton* ActionButton(QToolBar* bar, QAction* action, const char* name) {
    bar->addAction(action);
    auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action));
    if (button && name)
        button->setObjectName(QString::fromLatin1(name));
    return button;
}

} // namespace

void TMainForm::BuildActions() {
    ActionList1 = new QObject(this);
    ActionList1->setObjectName(QStringLiteral("ActionList1"));
    auto icon = [this](const char* theme, QStyle::StandardPixmap fallback) {
        return QIcon::fromTheme(QString::fromLatin1(theme), style()->standardIcon(fallback));
    };
    auto make = [this](const char* name, const QString& caption, const QString& hint,
                       const QIcon& pic = QIcon()) {
        // The list owns its actions, so ActionList1's children are the program's commands.
        auto* a = new QAction(pic, caption, ActionList1);
        a->setObjectName(QString::fromLatin1(name));
        // Buttons with captions show the caption whole ("PING..."); Qt would drop the dots.
        a->setIconText(caption);
        a->setToolTip(hint);
        a->setStatusTip(hint);
        a->setIconVisibleInMenu(true);
        return a;
    };
    CloseAction = make("CloseAction", tr("終了(&X)"), tr("アプリケーション終了"),
                       icon("application-exit", QStyle::SP_DialogCloseButton));
    WhoisAction = make("WhoisAction", QStringLiteral("Whois..."), QStringLiteral("Whois"),
                       icon("system-search", QStyle::SP_FileDialogContentsView));
    PingAction = make("PingAction", QStringLiteral("PING..."), tr("ping実行"),
                      icon("network-transmit-receive", QStyle::SP_MediaPlay));
    TraceAction = make("TraceAction", QStringLiteral("TRACE..."), tr("Traceroute実行"),
                       icon("go-jump", QStyle::SP_ArrowForward));
    FontSetAction = make("FontSetAction", tr("メモのフォント(&F)..."), tr("メモフォント設定"),
                         icon("preferences-desktop-font", QStyle::SP_FileDialogDetailedView));
    StopAction = make("StopAction", QStringLiteral("Stop"), tr("中止"),
                      icon("process-stop", QStyle::SP_BrowserStop));
    AboutAction = make("AboutAction", tr("バージョン情報(&A)"), tr("バージョン情報"),
                       icon("help-about", QStyle::SP_MessageBoxInformation));
    HelpAction = make("HelpAction", QStringLiteral("&Contents..."), tr("ヘルプ"),
                      icon("help-contents", QStyle::SP_DialogHelpButton));
    HelpAction->setShortcut(QKeySequence::HelpContents);
    WSAInfo = make("WSAInfo", tr("WinSock情報(&W)"), tr("Winsock情報"),
                   icon("network-wired", QStyle::SP_ComputerIcon));
    DNSAction = make("DNSAction", QStringLiteral("Lookup..."), QStringLiteral("DNS"),
                     icon("edit-find", QStyle::SP_FileDialogInfoView));
    SetWhoisList = make("SetWhoisList", QStringLiteral("Whois Server(&S)"), tr("Whoisサーバー設定"),
                        icon("document-properties", QStyle::SP_FileDialogListView));
    SmtpAction = make("SmtpAction", QStringLiteral("EXPN..."), QStringLiteral("SMTP"),
                      icon("mail-send", QStyle::SP_DirLinkIcon));
    OpenWeb =
        make("OpenWeb", QStringLiteral("Domain Web...(&W)"), tr("ブラウザでドメインのWEBを開く"),
             icon("internet-web-browser", QStyle::SP_DriveNetIcon));
    ClipWhois = make("ClipWhois", QString(), QString());
    HideAction = make("HideAction", tr("ウィンドウを隠す(&H)"), tr("ウィンドウを隠す"),
                      icon("go-down", QStyle::SP_TitleBarMinButton));
    AlignAction = make("AlignAction", tr("パネルを右側へ(&R)"), tr("右側に表示"));
    VisibleAction = make("VisibleAction", tr("オプションパネル(&P)"), tr("パネル表示"));
    ClockAction = make("ClockAction", tr("時刻表示(&T)"), QString());
    SaveWhois = make("SaveWhois", tr("ファイルへ保存"), QString(),
                     icon("document-save", QStyle::SP_DialogSaveButton));
    SaveList = make("SaveList", tr("リストを保存"), QString(),
                    icon("document-save", QStyle::SP_DialogSaveButton));

    StopAction->setEnabled(false);
    OpenWeb->setEnabled(false);
    SmtpAction->setVisible(false);
    for (QAction* a : {AlignAction, VisibleAction, ClockAction})
        a->setCheckable(true);
    VisibleAction->setChecked(true);
    // The form's tool-tip text is the web command's hint until a hit replaces it.
    OpenWeb->setToolTip(tr("ブラウザでドメインのWEBを開く"));
}

void TMainForm::BuildMenus() {
    auto menu = [this](const char* name, const QString& title) {
        auto* m = new QMenu(title, this);
        m->setObjectName(QString::fromLatin1(name));
        return m;
    };
    auto item = [this](QMenu* m, const char* name, const QString& caption) {
        QAction* a = m->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };

    FileMenu = menu("File1", tr("ファイル(&F)"));
    FileMenu->addAction(CloseAction);

    ViewMenu = menu("View1", tr("表示(&V)"));
    ViewMenu->addAction(HideAction);
    ViewMenu->addSeparator();
    ViewMenu->addAction(VisibleAction);
    ViewMenu->addAction(AlignAction);
    ViewMenu->addAction(ClockAction);

    ToolsMenu = menu("Tool1", tr("ツール(&T)"));
    LinkMenuItem(ToolsMenu, WhoisAction, "Whois3");
    ToolsMenu->addAction(PingAction);
    ToolsMenu->addAction(TraceAction);
    ToolsMenu->addAction(DNSAction);
    ToolsMenu->addAction(SmtpAction);
    ToolsMenu->addSeparator();
    LinkMenuItem(ToolsMenu, OpenWeb, "N1");

    SetupMenu = menu("Setup1", tr("設定(&S)"));
    CodeConv = menu("CodeConv", tr("コード変換"));
    CodeConvGroup = new QActionGroup(this);
    CodeConvGroup->setObjectName(QStringLiteral("CodeConvGroup"));
    const char* names[] = {"N4", "JIS1", "JIS2", "EUC1", "UTF81"};
    const QString captions[] = {tr("自動"), QStringLiteral("JIS"), QStringLiteral("SJIS"),
                                QStringLiteral("EUC"), QStringLiteral("UTF-8")};
    QAction* items[5];
    for (int i = 0; i < 5; ++i) {
        items[i] = item(CodeConv, names[i], captions[i]);
        items[i]->setCheckable(true);
        items[i]->setData(i); // the item's tag
        CodeConvGroup->addAction(items[i]);
    }
    N4 = items[0];
    JIS1 = items[1];
    JIS2 = items[2];
    EUC1 = items[3];
    UTF81 = items[4];
    N4->setChecked(true);
    SetupMenu->addMenu(CodeConv);
    LinkMenuItem(SetupMenu, SetWhoisList, "WhoisMenu", QStringLiteral("Whois &Server"));
    LinkMenuItem(SetupMenu, FontSetAction, "MemoFont1", tr("メモフォント(&F)..."));

    HelpMenu = menu("Help1", tr("ヘルプ(&H)"));
    HelpMenu->addAction(HelpAction);
    LinkMenuItem(HelpMenu, WSAInfo, "Winsock1", QStringLiteral("&Winsock..."));
    LinkMenuItem(HelpMenu, AboutAction, "About1", QStringLiteral("&About..."));

    // The menu of the window, never shown as a bar: the five buttons of ToolMenu drop its
    // menus down instead.
    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    MainMenu1->setNativeMenuBar(false);
    for (QMenu* m : {FileMenu, ViewMenu, ToolsMenu, SetupMenu, HelpMenu})
        MainMenu1->addMenu(m);
    MainMenu1->hide();

    PopupMenu1 = menu("PopupMenu1", QString());
    Copy1 = item(PopupMenu1, "Copy1", tr("コピー"));
    PopupMenu1->addSeparator();
    Whois2 = item(PopupMenu1, "Whois2", QStringLiteral("Whois"));

    PopupMenu2 = menu("PopupMenu2", QString());
    Whois1 = item(PopupMenu2, "Whois1", QStringLiteral("Whois"));
    WhoisName1 = item(PopupMenu2, "WhoisName1", QStringLiteral("Whois"));
    PopupMenu2->addSeparator();
    LinkMenuItem(PopupMenu2, SaveList, "N13");

    MemoPopup = menu("MemoPopup", QString());
    Copy2 = item(MemoPopup, "Copy2", tr("コピー(&C)"));
    Copy2->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    MemoPopup->addSeparator();
    LinkMenuItem(MemoPopup, SaveWhois, "Whois6");
    MemoPopup->addSeparator();
    Whois4 = item(MemoPopup, "Whois4", QStringLiteral("Whois..."));
    Whois4->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    AlignPopup = menu("AlignPopup", QString());
    PanelAlign = LinkMenuItem(AlignPopup, AlignAction, "PanelAlign");
    LinkMenuItem(AlignPopup, VisibleAction, "PanelVisible1");

    TrayPopup = menu("TrayPopup", QString());
    ClipWhois1 = LinkMenuItem(TrayPopup, ClipWhois, "ClipWhois1");
    TrayPopup->addSeparator();
    TrayPopup->addAction(AboutAction);
    TrayPopup->addSeparator();
    TrayPopup->addAction(CloseAction);
}

void TMainForm::BuildToolBars() {
    CoolBar1 = new QWidget(this);
    CoolBar1->setObjectName(QStringLiteral("CoolBar1"));
    auto* rows = new QVBoxLayout(CoolBar1);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(0);
    auto* firstRow = new QHBoxLayout;
    firstRow->setSpacing(0);
    rows->addLayout(firstRow);

    ToolMenu = MakeToolBar(CoolBar1, "ToolMenu");
    ToolMenu->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto menuButton = [this](const char* name, QMenu* m) {
        auto* b = new QToolButton(ToolMenu);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(m->title());
        b->setMenu(m);
        b->setPopupMode(QToolButton::InstantPopup);
        b->setAutoRaise(true);
        // No drop-down arrow: the five buttons stand for a classic menu bar.
        b->setStyleSheet(
            QStringLiteral("QToolButton::menu-indicator { image: none; width: 0px; }"));
        ToolMenu->addWidget(b);
        return b;
    };
    FileButton = menuButton("FileButton", FileMenu);
    ViewBtn = menuButton("ViewBtn", ViewMenu);
    ToolBtn = menuButton("ToolBtn", ToolsMenu);
    SetupButton = menuButton("SetupButton", SetupMenu);
    HelpButton = menuButton("HelpButton", HelpMenu);
    firstRow->addWidget(ToolMenu);

    ToolButton = MakeToolBar(CoolBar1, "ToolButton");
    ToolButton->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ActionButton(ToolButton, CloseAction, "ToolButton1");
    ActionButton(ToolButton, HideAction, "ToolButton2");
    ToolButton->addSeparator();
    ActionButton(ToolButton, OpenWeb, "WebBtn");
    ToolButton->addSeparator();
    ActionButton(ToolButton, FontSetAction, "ToolButton5");
    ActionButton(ToolButton, SetWhoisList, "ToolButton6");
    ToolButton->addSeparator();
    ActionButton(ToolButton, WSAInfo, "ToolButton7");
    ActionButton(ToolButton, AboutAction, "ToolButton8");
    ActionButton(ToolButton, HelpAction, "ToolButton9");
    firstRow->addWidget(ToolButton);
    firstRow->addStretch(1);

    ToolCmd = MakeToolBar(CoolBar1, "ToolCmd");
    ToolCmd->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    DelHost = new QToolButton(ToolCmd);
    DelHost->setObjectName(QStringLiteral("DelHost"));
    DelHost->setAutoRaise(true);
    DelHost->setToolTip(tr("ホストエントリを削除"));
    DelHost->setIcon(QIcon::fromTheme(QStringLiteral("edit-delete"),
                                      style()->standardIcon(QStyle::SP_DialogDiscardButton)));
    ToolCmd->addWidget(DelHost);
    HostIP = new QComboBox(ToolCmd);
    HostIP->setObjectName(QStringLiteral("HostIP"));
    HostIP->setEditable(true);
    HostIP->setInsertPolicy(QComboBox::NoInsert);
    HostIP->setFixedWidth(180);
    HostIP->addItems({QStringLiteral("www.nic.ad.jp"), QStringLiteral("www.jprs.jp"),
                      QStringLiteral("example.com"), QStringLiteral("192.0.2.1")});
    HostIP->setCurrentIndex(-1);
    HostIP->setEditText(QString());
    ToolCmd->addWidget(HostIP);
    ToolCmd->addSeparator();
    PingBtn = ActionButton(ToolCmd, PingAction, "PingBtn");
    TraceBtn = ActionButton(ToolCmd, TraceAction, "TraceBtn");
    ToolButton3 = ActionButton(ToolCmd, SmtpAction, "ToolButton3");
    ToolCmd->addSeparator();
    StopBtn = ActionButton(ToolCmd, StopAction, "StopBtn");
    rows->addWidget(ToolCmd);

    setMenuWidget(CoolBar1);
}

void TMainForm::BuildOptionPanel() {
    OptPanel = new QWidget(this);
    OptPanel->setObjectName(QStringLiteral("OptPanel"));
    OptPanel->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* column = new QVBoxLayout(OptPanel);
    column->setContentsMargins(2, 2, 2, 2);
    column->setSpacing(2);

    auto check = [](QWidget* parent, const char* name, const QString& caption) {
        auto* c = new QCheckBox(caption, parent);
        c->setObjectName(QString::fromLatin1(name));
        return c;
    };
    auto speedButton = [](QWidget* parent, const char* name) {
        auto* b = new QToolButton(parent);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoRaise(true);
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        return b;
    };
    auto lookupList = [](QWidget* parent, const char* name) {
        auto* l = new QListWidget(parent);
        l->setObjectName(QString::fromLatin1(name));
        const int lines = 2 * l->fontMetrics().height() + 2 * l->frameWidth() + 2;
        l->setFixedHeight(lines);
        l->setContextMenuPolicy(Qt::CustomContextMenu);
        Paint(l, Rgb(0xFFFFEE));
        return l;
    };

    DNSBox = new QGroupBox(QStringLiteral("DNS"), OptPanel);
    DNSBox->setObjectName(QStringLiteral("DNSBox"));
    auto* dns = new QVBoxLayout(DNSBox);
    dns->setContentsMargins(4, 2, 4, 4);
    dns->setSpacing(1);
    PingCheck = check(DNSBox, "PingCheck", QStringLiteral("with PING"));
    ResolveCheck = check(DNSBox, "ResolveCheck", QStringLiteral("Resolved on Trace"));
    DNSBtn = speedButton(DNSBox, "DNSBtn");
    DNSBtn->setDefaultAction(DNSAction);
    DNSBtn->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    auto* dnsTop = new QHBoxLayout;
    auto* dnsChecks = new QVBoxLayout;
    dnsChecks->addWidget(PingCheck);
    dnsChecks->addWidget(ResolveCheck);
    dnsTop->addLayout(dnsChecks);
    dns->addLayout(dnsTop);
    dns->addWidget(DNSBtn, 0, Qt::AlignRight);
    dns->addWidget(new QLabel(tr("ホスト名(Alias)"), DNSBox));
    AliasList = lookupList(DNSBox, "AliasList");
    dns->addWidget(AliasList);
    dns->addWidget(new QLabel(tr("IPアドレス"), DNSBox));
    IPList = lookupList(DNSBox, "IPList");
    dns->addWidget(IPList);
    column->addWidget(DNSBox);

    WhoisBOX = new QGroupBox(QStringLiteral("WHOIS"), OptPanel);
    WhoisBOX->setObjectName(QStringLiteral("WhoisBOX"));
    auto* whois = new QVBoxLayout(WhoisBOX);
    whois->setContentsMargins(4, 2, 4, 4);
    whois->setSpacing(1);
    auto* serverRow = new QHBoxLayout;
    serverRow->setSpacing(1);
    DelServer = speedButton(WhoisBOX, "DelServer");
    DelServer->setIcon(DelHost->icon());
    DelServer->setToolButtonStyle(Qt::ToolButtonIconOnly);
    DelServer->setToolTip(tr("サーバーエントリを削除"));
    WhoisServer = new QComboBox(WhoisBOX);
    WhoisServer->setObjectName(QStringLiteral("WhoisServer"));
    WhoisServer->setEditable(true);
    WhoisServer->setInsertPolicy(QComboBox::NoInsert);
    WhoisServer->setMinimumContentsLength(8);
    WhoisServer->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    serverRow->addWidget(DelServer);
    serverRow->addWidget(WhoisServer, 1);
    whois->addLayout(serverRow);
    WhoisBtn = speedButton(WhoisBOX, "WhoisBtn");
    WhoisBtn->setDefaultAction(WhoisAction);
    SweepCheck = check(WhoisBOX, "SweepCheck", tr("連続検索"));
    auto* sweepRow = new QHBoxLayout;
    sweepRow->addWidget(SweepCheck);
    sweepRow->addStretch(1);
    sweepRow->addWidget(WhoisBtn);
    whois->addLayout(sweepRow);
    AutoChange = check(WhoisBOX, "AutoChange", QStringLiteral("Auto jump Detail Server"));
    WithTrace = check(WhoisBOX, "WithTrace", QStringLiteral("Whois <IP> after TRACE"));
    whois->addWidget(AutoChange);
    whois->addWidget(WithTrace);
    column->addWidget(WhoisBOX);

    PINBOX = new QGroupBox(QStringLiteral("PING"), OptPanel);
    PINBOX->setObjectName(QStringLiteral("PINBOX"));
    auto* grid = new QGridLayout(PINBOX);
    grid->setContentsMargins(4, 2, 4, 4);
    grid->setHorizontalSpacing(3);
    grid->setVerticalSpacing(2);
    BuildSpinEdits(PINBOX, grid);
    column->addWidget(PINBOX);

    Animate1 = new mainview::TBusyAnimation(OptPanel);
    Animate1->setObjectName(QStringLiteral("Animate1"));
    Animate1->setMinimumHeight(0);
    Animate1->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    Animate1->hide();
    column->addWidget(Animate1, 100);
    // Takes the room while the animation is hidden, so the group boxes keep their size.
    column->addStretch(1);
    // 175 pixels suit the designed font; a wider desktop font widens the panel rather
    // than cutting its captions off.
    OptPanel->setFixedWidth(std::max(175, OptPanel->minimumSizeHint().width()));
}

void TMainForm::BuildListPanel() {
    ListPanel = new QWidget(this);
    ListPanel->setObjectName(QStringLiteral("ListPanel"));
    auto* column = new QVBoxLayout(ListPanel);
    column->setContentsMargins(0, 0, 0, 0);

    Splitter1 = new QSplitter(Qt::Vertical, ListPanel);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setChildrenCollapsible(false);

    HostView = new QTreeWidget(Splitter1);
    HostView->setObjectName(QStringLiteral("HostView"));
    HostView->setRootIsDecorated(false);
    HostView->setSelectionBehavior(QAbstractItemView::SelectRows);
    HostView->setSelectionMode(QAbstractItemView::SingleSelection);
    HostView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    HostView->setUniformRowHeights(true);
    HostView->setContextMenuPolicy(Qt::CustomContextMenu);
    HostView->setHeaderLabels(
        {QStringLiteral("#"), tr("応答(ms)"), tr("IPアドレス"), tr("ホスト名"), tr("所有者")});
    HostView->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    QHeaderView* header = HostView->header();
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    header->setStretchLastSection(true);
    header->setMinimumSectionSize(16);
    header->resizeSection(0, 25);
    header->resizeSection(1, 60);
    header->resizeSection(2, 110);
    Paint(HostView, Rgb(0xEEEEFF));

    // The answer, in a box of its own so that the record's summary can go above it.
    AnswerBox = new QWidget(Splitter1);
    AnswerBox->setObjectName(QStringLiteral("AnswerBox"));
    auto* answerLayout = new QVBoxLayout(AnswerBox);
    answerLayout->setContentsMargins(0, 0, 0, 0);
    answerLayout->setSpacing(2);
    Memo1 = new QPlainTextEdit(AnswerBox);
    answerLayout->addWidget(Memo1, 1);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Only a vertical scroll bar: long lines wrap at the edge.
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setContextMenuPolicy(Qt::CustomContextMenu);
    Memo1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Paint(Memo1, Rgb(0xEEEEEE));
    Memo1->addAction(Copy2);
    Memo1->addAction(Whois4);
    Copy2->setShortcutContext(Qt::WidgetShortcut);
    Whois4->setShortcutContext(Qt::WidgetShortcut);

    Splitter1->addWidget(HostView);
    Splitter1->addWidget(AnswerBox);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({165, 300});
    column->addWidget(Splitter1);

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("ClientArea"));
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    row->addWidget(OptPanel);
    row->addWidget(ListPanel, 1);
    setCentralWidget(central);
}

void TMainForm::BuildStatusBar() {
    StatusBar1 = new mainview::TStatusPanels(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->SetPanelWidth(0, 155);
    // 50 pixels hold the clock in the designed font; a wider desktop font widens the panel
    // rather than cutting the seconds off.
    // The label's frame and indent take about 8 pixels beside the text.
    const QFontMetrics metrics(StatusBar1->font());
    StatusBar1->SetPanelWidth(
        2, std::max(50, metrics.horizontalAdvance(QStringLiteral("00:00:00")) + 12));
    setStatusBar(StatusBar1);
    connect(StatusBar1, &mainview::TStatusPanels::Resized, this, [this] { StatusBar1Resize(); });

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Clock = new QTimer(this);
    Clock->setObjectName(QStringLiteral("Clock"));
    Clock->setInterval(1000);
}

void TMainForm::BuildSpinEdits(QWidget* box, QGridLayout* grid) {
    struct Row {
        const char* name;
        QString label;
        QString unit;
        int max;
        int value;
        TValueSpin** field;
    };
    const Row rows[] = {
        {"PingCount", tr("繰返し"), tr("回"), 100, 5, &PingCount},
        {"Interval", tr("送信間隔"), tr("ミリ秒"), 32767, 1000, &Interval},
        {"TimeOut", tr("タイムアウト"), tr("秒"), 600, 5, &TimeOut},
    };
    int r = 0;
    for (const Row& row : rows) {
        auto* spin = new TValueSpin(box);
        spin->setObjectName(QString::fromLatin1(row.name));
        spin->SetMin(0);
        spin->SetMax(row.max);
        spin->SetIncrement(1);
        spin->SetValue(row.value);
        spin->setFixedWidth(64);
        grid->addWidget(new QLabel(row.label, box), r, 0);
        grid->addWidget(spin, r, 1);
        grid->addWidget(new QLabel(row.unit, box), r, 2);
        *row.field = spin;
        ++r;
    }
    grid->setColumnStretch(2, 1);
}
