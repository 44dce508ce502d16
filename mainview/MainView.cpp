// The main window's life: creation with the saved settings, closing and destruction.
#include "mainview/MainView.h"

#include "mainview/Application.h"
#include "mainview/FontRecord.h"
#include "mainview/FormFrame.h"
#include "mainview/MessageHooks.h"
#include "mainview/StatusPanels.h"

#include "controls/SpinBtns.h"
#include "dialogs/AboutBox.h"
#include "platform/TextFile.h"
#include "settings/IniParam.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <cstring>

TMainForm::TMainForm(const mainview::AppPaths& paths, QWidget* parent)
    : QMainWindow(parent), paths_(paths) {
    setObjectName(QStringLiteral("MainForm"));
    // The designed font is 12-pixel "ＭＳ Ｐゴシック"; the desktop's proportional font
    // stands in for it at the same size.
    QFont designed = font();
    designed.setPixelSize(12);
    setFont(designed);
    resize(623, 529);

    BuildActions();
    BuildMenus();
    BuildToolBars();
    BuildOptionPanel();
    BuildListPanel();
    BuildStatusBar();
    BuildRdap();
    BuildRecordPanel();
    BuildOwnerColumn();
    AboutDialog1 = new TAboutDialog(this);
    AboutDialog1->setObjectName(QStringLiteral("AboutDialog1"));
    ConnectHandlers();
    FormCreate();
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // The host box has the focus when the window first shows. Qt drops a focus given to a
    // widget of a window that was never shown, which would leave it to the first button.
    if (!shown_) {
        shown_ = true;
        HostIP->setFocus(Qt::OtherFocusReason);
    }
}

TMainForm::~TMainForm() {
    FormDestroy();
}

void TMainForm::FormCreate() {
    // 1. The settings. The toolkit's default font is the memo font when the file has none.
    InitParam.FMemoFont =
        mainview::ToFontRecord(QApplication::font(), QColor(), InitParam.FMemoFont);
    InitParam.Load(paths_.SettingsFile());

    // 2. The help file decides whether the help command is offered.
    ConfigureHelp();

    // 3. Minimising hides the window to the notification area: see changeEvent.

    // 4. The files of the window, fixed for the whole run.
    WhoisListFile = paths_.HomeFile("Whois.lst");
    HostListFile = paths_.HomeFile("Hosts.lst");
    ServerFile = paths_.HomeFile("Server.wis");

    // 5. The histories.
    LoadHistory(WhoisServer, WhoisListFile);
    LoadHistory(HostIP, HostListFile);

    // 6. The caption: the title and the version without its last part.
    setWindowTitle(mainview::ApplicationTitle() + QStringLiteral(" (v.") + VersionText() +
                   QStringLiteral(")"));

    // 7. The hit phrases, the shipped ones when the home folder has none. A missing or
    // unreadable file leaves no phrases; start-up goes on.
    HitKeys.clear();
    if (!platform::ReadTextLines(paths_.ReadableFile("Servhit.key"), HitKeys))
        HitKeys.clear();

    // 8. The saved window placement.
    mainview::TFormFrame frame(this);
    InitParam.ApplyWindow(frame);

    // 9. The settings into the controls.
    ApplySettingsToControls();

    // 10. The controller and its events.
    PingTrace = std::make_unique<TPingTrace>();
    BindController();

    // 11. The server directory, the shipped one when the home folder has none (edits are
    // still saved to the home folder's); a missing file leaves it empty. One that cannot be
    // read is reported, and the window still comes up with an empty directory.
    mainview::RunGuarded([this] {
        const std::string file = paths_.ReadableFile("Server.wis");
        try {
            PingTrace->LoadServers(file);
        } catch (const std::exception&) {
            throw EFOpenError(file); // in the window's language
        }
    });

    ListDirectoryServers();

    // 12. Lines left out of the files above (a zero byte in them), said once.
    ReportSkippedLines();
}

void TMainForm::ReportSkippedLines() {
    QString text;
    for (const platform::SkippedLines& skipped : platform::TakeSkippedLines()) {
        QStringList numbers;
        for (const size_t line : skipped.lines)
            numbers << QString::number(line);
        const QString note =
            tr("%1: %2行目はNULバイトを含むため読み飛ばしました")
                .arg(QString::fromStdString(skipped.path), numbers.join(QStringLiteral(", ")));
        std::fprintf(stderr, "zindor-whois: %s\n", note.toUtf8().constData());
        text += (text.isEmpty() ? QString() : QStringLiteral(" / ")) + note;
    }
    if (text.isEmpty())
        return;
    StatusBar1->SetPanelText(1, text);
    StatusBar1->setToolTip(text);
}

void TMainForm::ApplySettingsToControls() {
    const TInitParam& p = InitParam;
    HostIP->setEditText(QString::fromStdString(p.FLastHost));
    WhoisServer->setEditText(QString::fromStdString(p.FLastWhois));
    SweepCheck->setChecked(p.FWhoisSweep);
    ResolveCheck->setChecked(p.FResolveIP);
    SetCodeConv(p.FCodeInDes);
    // The spin edits hold their values within their limits; the limited value is saved.
    Interval->SetValue(p.FInterval);
    TimeOut->SetValue(p.FTimeOut);
    PingCount->SetValue(p.FPingCount);
    AutoChange->setChecked(p.FAutoChange);
    RdapAction->setChecked(p.FUseRdap);
    WithTrace->setChecked(p.FTraceWhois);
    AlignAction->setChecked(p.FPanelAlign);
    PingCheck->setChecked(p.FPingDns);
    SmtpAction->setVisible(p.FSmtpExpn);
    ClockAction->setChecked(p.FShowClock);
    VisibleAction->setChecked(p.FShowPanel);
    RecordAction->setChecked(p.FShowRecord);
    OwnersAction->setChecked(p.FShowOwners); // the column follows its switch
    asServer_ = p.FAsServer;
    Memo1->setFont(mainview::ToQFont(p.FMemoFont));
    memoColor_ = mainview::RecordColor(p.FMemoFont);
    if (memoColor_.isValid()) {
        QPalette pal = Memo1->palette();
        pal.setColor(QPalette::Text, memoColor_);
        Memo1->setPalette(pal);
    }

    ApplyPanelAlign();
    if (ClockAction->isChecked())
        Clock->start();
    else
        Clock->stop();
    OptPanel->setVisible(VisibleAction->isChecked());
}

void TMainForm::SetCodeConv(int tag) {
    // A stored choice outside the five items falls back to automatic detection.
    if (tag < 0 || tag > 4)
        tag = 0;
    codeConvTag_ = tag;
    QAction* items[] = {N4, JIS1, JIS2, EUC1, UTF81};
    items[tag]->setChecked(true);
}

void TMainForm::BindController() {
    using mainview::Guarded;
    TPingTrace& c = *PingTrace;
    c.OnResolved =
        Guarded([this](TObject* s, uint8_t op, const TagHostEnt& h) { HostResolved(s, op, h); });
    c.OnLookupStart =
        Guarded([this](TObject* s, uint8_t op, const std::string& t) { LookupStart(s, op, t); });
    c.OnStart = Guarded([this](TObject* s, uint8_t op) { DisableButtons(s, op); });
    c.OnDone = Guarded([this](TObject*) {
        EnableButtons();
        AdviseIcmpAccess();
    });
    c.OnEchoReply = Guarded([this](TObject* s, uint8_t st, int32_t seq, int32_t ms,
                                   const TagHostEnt& h) { EchoReply(s, st, seq, ms, h); });
    c.OnHopRecord = Guarded([this](TObject* s, const ::TraceHop& hop) { TraceHop(s, hop); });
    c.OnHopResolved =
        Guarded([this](TObject* s, int32_t hop, const TagHostEnt& h) { HopResolved(s, hop, h); });
    c.OnHopOwner = Guarded(
        [this](TObject*, int32_t hop, const hopowner::Lookup& owner) { HopOwner(hop, owner); });
    c.OnSmtpResult = Guarded([this](TObject* s, int32_t code, const std::string& q,
                                    const std::string& r) { SmtpResult(s, code, q, r); });
    // The WHOIS chain: the session binds the WHOIS and RDAP events, the window renders.
    WhoisRun = std::make_unique<WhoisSession>(c);
    c.OnWhoisStart = Guarded(c.OnWhoisStart);
    c.OnWhoisResult = Guarded(c.OnWhoisResult);
    c.OnRdapStart = Guarded(c.OnRdapStart);
    c.OnRdapResult = Guarded(c.OnRdapResult);
    WhoisSession& w = *WhoisRun;
    // The boxes may change while a chain runs; each answer is decided with them as they are.
    w.Refresh = [this](SessionSettings& s) {
        s.autoChange = AutoChange->isChecked();
        s.sweep = SweepCheck->isChecked();
        s.encoding = CodeConvTag();
        s.hitKeys = HitKeys;
    };
    w.BeforeRdap = [this] { ReadyRdap(); };
    w.OnStepStart = [this](const std::string& line) { WhoisStepStart(line); };
    w.OnText = [this](const WhoisStep& step) {
        Memo1->setPlainText(QString::fromStdString(WhoisRun->Text(step.View, TextStyle::Window)));
    };
    w.OnStepTaken = [this](const WhoisStep& step) {
        UpdateRecordPanel(); // the record is there once the chain has ended
        WhoisStepTaken(step);
    };
    // OnTraceEnd stays unbound.
}

void TMainForm::closeEvent(QCloseEvent* event) {
    // Spontaneous: the window system's close button, not a close() of the program's own.
    if (event->spontaneous())
        userClose_ = true;
    mainview::RunGuarded([this] { FormClose(); });
    // The close is never refused; closing the main window ends the program.
    event->accept();
    QCoreApplication::quit();
}

void TMainForm::FormClose() {
    // A running operation is stopped first, so that no late result reaches the window
    // after it is gone.
    Timer1->stop();
    if (PingTrace && !PingTrace->FIdle)
        PingTrace->Stop();

    SaveHistoriesAndPlacement();
    if (userClose_) {
        // Written now, while the user can still be told; the program's end writes it again
        // (the same text) and reports a failure there on stderr only.
        CopyControlsToSettings();
        try {
            InitParam.Save();
        } catch (const EFCreateError& e) {
            mainview::ShowError(SettingsNotSavedText(e.Path(), e.Error()));
        }
    }
    closed_ = true;
}

QString TMainForm::SettingsNotSavedText(const std::string& path, int error) {
    QString reason;
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        reason = tr("ディスクがいっぱいです");
        break;
    case EROFS:
        reason = tr("読み取り専用のファイルシステムです");
        break;
    case EACCES:
    case EPERM:
        reason = tr("書き込みが許可されていません (読み取り専用)");
        break;
    case 0:
        reason = tr("原因は不明です");
        break;
    default:
        reason = QString::fromLocal8Bit(std::strerror(error));
    }
    return tr("設定を保存できません。\nファイル: %1\n理由: %2")
        .arg(QString::fromStdString(path), reason);
}

void TMainForm::SaveHistoriesAndPlacement() {
    // 1. The histories. A failure to write one is reported, and the other is still written.
    // The program is ending (a close, a signal, the session's end): nobody may be there to
    // answer a message box, so the report goes to stderr.
    mainview::ReportOnStderr([this] { SaveHistory(WhoisServer, WhoisListFile); });
    mainview::ReportOnStderr([this] { SaveHistory(HostIP, HostListFile); });

    // 2. The window placement.
    mainview::TFormFrame frame(this);
    InitParam.StoreWindow(frame);
}

void TMainForm::SaveForSessionEnd() {
    SaveHistoriesAndPlacement();
    CopyControlsToSettings();
    mainview::ReportOnStderr([] { InitParam.Save(); });
}

void TMainForm::FormDestroy() {
    // The children go after this handler; the focus moving away from them must not reach
    // a window that is no longer one.
    disconnect(focusWatch_);

    // 1. The controller. Closing stopped its work; a window destroyed without closing
    // stops it here so that no worker reports to the released controller.
    if (PingTrace) {
        if (!PingTrace->FIdle)
            PingTrace->Stop();
        WhoisRun.reset();
        PingTrace.reset();
    }
    Timer1->stop();
    Clock->stop();

    // 2. The controls into the settings. SMTPEXPN, LASTUSER and the placement stay.
    CopyControlsToSettings();

    // 3. The hit phrases.
    HitKeys.clear();
}

void TMainForm::CopyControlsToSettings() {
    TInitParam& p = InitParam;
    p.FLastHost = HostIP->currentText().toStdString();
    p.FLastWhois = WhoisServer->currentText().toStdString();
    p.FWhoisSweep = SweepCheck->isChecked();
    p.FResolveIP = ResolveCheck->isChecked();
    p.FCodeInDes = codeConvTag_;
    p.FInterval = Interval->Value();
    p.FTimeOut = TimeOut->Value();
    p.FPingCount = PingCount->Value();
    p.FAutoChange = AutoChange->isChecked();
    p.FUseRdap = RdapAction->isChecked();
    p.FTraceWhois = WithTrace->isChecked();
    p.FPanelAlign = PanelAlign->isChecked();
    p.FPingDns = PingCheck->isChecked();
    p.FShowClock = ClockAction->isChecked();
    p.FShowPanel = VisibleAction->isChecked();
    p.FShowRecord = RecordAction->isChecked();
    p.FShowOwners = OwnersAction->isChecked();
    p.FMemoFont = mainview::ToFontRecord(Memo1->font(), memoColor_, p.FMemoFont);
}
