#pragma once

#include "mainview/AppPaths.h"

#include <QColor>
#include <QMainWindow>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

#include "engine/PingCtrl.h"
#include "engine/WhoisChain.h"
#include "engine/WhoisSession.h"
#include "engine/WhoisText.h"

class QAction;
class QActionGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QSplitter;
class QTreeWidgetItem;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QSystemTrayIcon;
class TValueSpin;
class QGridLayout;
class TAboutDialog;

namespace mainview {
class TBusyAnimation;
class TStatusPanels;
} // namespace mainview

// The program's only top-level window. Components carry the names the rest of the program
// (and the tests) know them by, as object names too.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // Builds the window and runs FormCreate with the given file locations.
    explicit TMainForm(const mainview::AppPaths& paths, QWidget* parent = nullptr);
    // Runs FormDestroy.
    ~TMainForm() override;

    // Fields besides the components.
    std::string WhoisListFile;
    std::string HostListFile;
    std::string ServerFile;
    std::string LastQuery;
    std::vector<std::string> HitKeys;
    TagHostEnt ResolvedHost;
    std::unique_ptr<TPingTrace> PingTrace;
    // The WHOIS chain on PingTrace; ends before it.
    std::unique_ptr<WhoisSession> WhoisRun;

    // Operations of the window used by the command handlers.
    void LoadHistory(QComboBox* combo, const std::string& fileName);
    // The server box's list: its history, then the directory's servers it lacks, so that a
    // newcomer with no history can pick one. Called when the directory changes.
    void ListDirectoryServers();
    void SaveHistory(QComboBox* combo, const std::string& fileName);
    void UpdateHistory(QComboBox* combo, bool remove, bool stripUser);
    void DisableButtons(TObject* Sender, uint8_t Operation);
    void EnableButtons();
    // Writes now what closing and the program's end would write (histories, placement,
    // settings), and goes on: the session manager asks for it before a logout that the user
    // may still cancel.
    void SaveForSessionEnd();
    // Whether the window has been closed (FormClose ran).
    bool Closed() const { return closed_; }
    // The box said when the settings file cannot be written at a close the user asked for:
    // the file and the reason (errno; 0 when unknown) in the window's words.
    static QString SettingsNotSavedText(const std::string& path, int error);
    void StatusBar1Resize();
    // The tag of the code conversion menu: 0 automatic, 1 JIS, 2 Shift-JIS, 3 EUC, 4 UTF-8.
    int CodeConvTag() const { return codeConvTag_; }

    // Handlers of this window's own commands.
    void CloseBtnClick();
    void DelHostClick();
    void DelServerClick();
    void PanelAlignClick();
    void VisibleActionExecute();
    void ClockActionExecute();
    void ClockTimer();
    void EUC1Click(QAction* item);

    // Handlers of commands built on the engine and the dialogs.
    void WhoisClick();
    void PingBtnClick();
    void TraceClick();
    void DNSBtnClick();
    void SmtpActionExecute();
    void StopBtnClick();
    void Timer1Timer();
    void FontSetActionExecute();
    void AboutActionExecute();
    void HelpActionExecute();
    void WinSockMenuClick();
    void SetWhoisListExecute();
    void OpenWebExecute();
    void ClipWhoisExecute();
    void HideActionExecute();
    // The notification icon was clicked (a QSystemTrayIcon::ActivationReason).
    void TrayMessage(int reason);
    void SaveWhoisExecute();
    void SaveListExecute();
    void Copy1Click();
    void Copy2Click();
    void Whois1Click();
    void WhoisName1Click();
    void Whois2Click();
    void Whois4Click();
    void PopupMenu1Popup();
    void PopupMenu2Popup();
    void MemoPopupPopup();
    void AliasListExit(QListWidget* list);
    QListWidget* FocusedDnsList() const;

    // Controller events.
    void HostResolved(TObject* Sender, uint8_t Operation, const TagHostEnt& Host);
    void LookupStart(TObject* Sender, uint8_t Operation, const std::string& Target);
    void EchoReply(TObject* Sender, uint8_t Status, int32_t Sequence, int32_t ReplyTime,
                   const TagHostEnt& Host);
    void CheckReply(TObject* Sender, uint8_t Status, int32_t Sequence, int32_t ReplyTime,
                    const TagHostEnt& Host);
    // A hop's row, rendered from the engine's record of it.
    void TraceHop(TObject* Sender, const ::TraceHop& Hop);
    void HopResolved(TObject* Sender, int32_t Hop, const TagHostEnt& Host);
    // Widens the host list's address column to show the row's address whole (IPv6).
    void FitAddressColumn(const QTreeWidgetItem* row);
    // Tells the user once what to do when ICMP sockets were refused.
    void AdviseIcmpAccess();
    // The WHOIS chain's steps as the window shows them (WhoisRun drives the chain).
    void WhoisStepStart(const std::string& CommandLine);
    void WhoisStepTaken(const WhoisStep& Step);
    void SmtpResult(TObject* Sender, int32_t Code, const std::string& Command,
                    const std::string& Response);
    void UpdateRdapExecute();
    // The bootstrap update's outcome, one line per file, in the window's language.
    static QString RdapUpdateText(const rdap::UpdateResult& Result);
    // A summary field's label in the window's language.
    static QString SummaryLabel(SummaryField field);

    // Components.
    QWidget* CoolBar1 = nullptr;
    QToolBar* ToolMenu = nullptr;
    QToolButton* FileButton = nullptr;
    QToolButton* ViewBtn = nullptr;
    QToolButton* ToolBtn = nullptr;
    QToolButton* SetupButton = nullptr;
    QToolButton* HelpButton = nullptr;
    QToolBar* ToolButton = nullptr;
    QToolBar* ToolCmd = nullptr;
    QToolButton* DelHost = nullptr;
    QComboBox* HostIP = nullptr;
    QToolButton* PingBtn = nullptr;
    QToolButton* TraceBtn = nullptr;
    QToolButton* ToolButton3 = nullptr;
    QToolButton* StopBtn = nullptr;
    mainview::TStatusPanels* StatusBar1 = nullptr;
    QWidget* OptPanel = nullptr;
    QGroupBox* DNSBox = nullptr;
    QCheckBox* PingCheck = nullptr;
    QCheckBox* ResolveCheck = nullptr;
    QToolButton* DNSBtn = nullptr;
    QListWidget* AliasList = nullptr;
    QListWidget* IPList = nullptr;
    QGroupBox* WhoisBOX = nullptr;
    QToolButton* DelServer = nullptr;
    QComboBox* WhoisServer = nullptr;
    QToolButton* WhoisBtn = nullptr;
    QCheckBox* SweepCheck = nullptr;
    QCheckBox* AutoChange = nullptr;
    QCheckBox* WithTrace = nullptr;
    QGroupBox* PINBOX = nullptr;
    TValueSpin* PingCount = nullptr;
    TValueSpin* Interval = nullptr;
    TValueSpin* TimeOut = nullptr;
    mainview::TBusyAnimation* Animate1 = nullptr;
    QWidget* ListPanel = nullptr;
    QTreeWidget* HostView = nullptr;
    QSplitter* Splitter1 = nullptr;
    QWidget* AnswerBox = nullptr; // Memo1, with the record's summary above it
    QPlainTextEdit* Memo1 = nullptr;
    // The record's summary above Memo1, with its View menu switch (key SHOWRECORD).
    QLabel* RecordPanel = nullptr;
    QAction* RecordAction = nullptr;
    // Each trace hop's owner in the host list's fifth column (OwnersAction in the View menu).
    QAction* OwnersAction = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* Clock = nullptr;
    TAboutDialog* AboutDialog1 = nullptr;

    // Actions of ActionList1.
    QObject* ActionList1 = nullptr;
    QAction* CloseAction = nullptr;
    QAction* WhoisAction = nullptr;
    QAction* PingAction = nullptr;
    QAction* TraceAction = nullptr;
    QAction* FontSetAction = nullptr;
    QAction* StopAction = nullptr;
    QAction* AboutAction = nullptr;
    QAction* HelpAction = nullptr;
    QAction* WSAInfo = nullptr;
    QAction* DNSAction = nullptr;
    QAction* SetWhoisList = nullptr;
    QAction* SmtpAction = nullptr;
    QAction* OpenWeb = nullptr;
    QAction* ClipWhois = nullptr;
    QAction* HideAction = nullptr;
    QAction* AlignAction = nullptr;
    QAction* VisibleAction = nullptr;
    QAction* ClockAction = nullptr;
    QAction* SaveWhois = nullptr;
    QAction* SaveList = nullptr;
    // RDAP where port 43 cannot answer: its switch (key RDAP) and the bootstrap update.
    QAction* RdapAction = nullptr;
    QAction* UpdateRdap = nullptr;
    // Where UpdateRdap downloads the bootstrap files from (IANA's address).
    std::string RdapSource;

    // Menus and their items.
    QMenuBar* MainMenu1 = nullptr;
    QMenu* FileMenu = nullptr;
    QMenu* ViewMenu = nullptr;
    QMenu* ToolsMenu = nullptr;
    QMenu* SetupMenu = nullptr;
    QMenu* HelpMenu = nullptr;
    QMenu* CodeConv = nullptr;
    QActionGroup* CodeConvGroup = nullptr;
    QAction* N4 = nullptr;
    QAction* JIS1 = nullptr;
    QAction* JIS2 = nullptr;
    QAction* EUC1 = nullptr;
    QAction* UTF81 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* Copy1 = nullptr;
    QAction* Whois2 = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QAction* Whois1 = nullptr;
    QAction* WhoisName1 = nullptr;
    QMenu* MemoPopup = nullptr;
    QAction* Copy2 = nullptr;
    QAction* Whois4 = nullptr;
    QMenu* AlignPopup = nullptr;
    QAction* PanelAlign = nullptr;
    QMenu* TrayPopup = nullptr;
    QAction* ClipWhois1 = nullptr;

    const mainview::AppPaths& Paths() const { return paths_; }

    // Starts a WHOIS chain at Server for Query.
    void RunWhois(const std::string& Server, const std::string& Query);
    // RunWhois at the server of the WhoisServer box.
    void RunWhoisFor(const std::string& Query);
    // Shows the text area in the popup text window while the window is hidden.
    void PopupResult();
    // The hint of OpenWeb: the web address a hit leaves for it, empty while there is none.
    QString OpenWebHint() const;
    void SetOpenWebHint(const QString& hint);

    // One repaint of the host list per event: updates are off while the bracket lives.
    class UpdateBracket {
    public:
        explicit UpdateBracket(QTreeWidget* view);
        ~UpdateBracket();
        UpdateBracket(const UpdateBracket&) = delete;
        UpdateBracket& operator=(const UpdateBracket&) = delete;

    private:
        QTreeWidget* view_;
    };

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Construction, split by concern over several files.
    void BuildActions();
    void BuildMenus();
    void BuildToolBars();
    void BuildOptionPanel();
    void BuildListPanel();
    void BuildStatusBar();
    void BuildSpinEdits(QWidget* box, QGridLayout* grid);
    void BuildRdap();
    void BuildRecordPanel();
    // Shows the finished chain's record (when the switch is on and it states a field).
    void UpdateRecordPanel();
    void HideRecordPanel();
    void BuildOwnerColumn();
    // The controller's owner settings for the next trace, from the switch and the settings.
    void ReadyOwners();
    // 0.0.0.0 and :: name no host: a ping or trace of them is refused with a message.
    bool RefuseUnspecified();
    void HopOwner(int32_t Hop, const hopowner::Lookup& Owner);
    std::string asServer_; // the settings file's ASSERVER (empty: the public service)
    bool ownerFailureShown_ = false;
    // The controller's RDAP settings from the window's (folders, switch, time-out).
    void ReadyRdap();
    void ConnectHandlers();
    void FormCreate();
    void FormClose();
    void SaveHistoriesAndPlacement();
    void FormDestroy();
    void ApplySettingsToControls();
    void CopyControlsToSettings();
    void BindController();
    void ApplyPanelAlign();
    void SetCodeConv(int tag);
    void ConfigureHelp();
    // The directory's servers, in its order, for the server box; none for another box.
    std::vector<std::string> ListedServers(const QComboBox* combo) const;
    // Says on stderr and in the status bar which lines of the files read were left out.
    void ReportSkippedLines();
    QString VersionText() const;

    mainview::AppPaths paths_;
    int codeConvTag_ = 0;
    bool icmpAdviceShown_ = false;
    QColor memoColor_; // the text colour of Memo1's font; invalid: the system's
    bool closed_ = false;
    // File > Exit or the window's close button: someone is there to read a box. A signal or
    // the session's end closes the window too, and then only stderr is told.
    bool userClose_ = false;
    std::string helpPage_; // empty: no help shipped
    bool shown_ = false;
    QSystemTrayIcon* trayIcon_ = nullptr;
    // Focus changes reach the window through the application; cut off when it is destroyed.
    QMetaObject::Connection focusWatch_;
};
