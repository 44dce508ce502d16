// The busy and idle command states, the status bar, the layout commands and the binding of
// the window's controls to their handlers.
#include "mainview/MainView.h"

#include "mainview/BusyAnimation.h"
#include "mainview/MessageHooks.h"
#include "mainview/StatusPanels.h"

#include <array>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTime>
#include <QToolButton>
#include <QTreeWidget>

namespace {

// The ten commands that an operation disables.
std::array<QAction*, 10> CommandActions(const TMainForm& f) {
    return {f.CloseAction, f.FontSetAction, f.WSAInfo,     f.SetWhoisList, f.HideAction,
            f.SmtpAction,  f.PingAction,    f.TraceAction, f.WhoisAction,  f.DNSAction};
}

} // namespace

void TMainForm::DisableButtons(TObject*, uint8_t) {
    for (QAction* a : CommandActions(*this))
        a->setEnabled(false);
    StopAction->setEnabled(true);
    Animate1->show();
    Animate1->Play();
    StatusBar1->SetPanelText(0, QString());
    StatusBar1->SetPanelText(1, QString());
}

void TMainForm::EnableButtons() {
    for (QAction* a : CommandActions(*this))
        a->setEnabled(true);
    StopAction->setEnabled(false);
    Animate1->hide();
    Animate1->Stop();
    StatusBar1->SetPanelText(0, QString());
    StatusBar1->SetPanelText(1, QString());
}

void TMainForm::StatusBar1Resize() {
    // Panel 1 takes what panels 0 and 2 and the size grip leave.
    StatusBar1->SetPanelWidth(1, StatusBar1->ClientWidth() - StatusBar1->PanelWidth(0) -
                                     StatusBar1->PanelWidth(2) - StatusBar1->ClientHeight());
}

void TMainForm::ApplyPanelAlign() {
    auto* row = qobject_cast<QHBoxLayout*>(centralWidget()->layout());
    row->removeWidget(OptPanel);
    if (AlignAction->isChecked())
        row->addWidget(OptPanel);
    else
        row->insertWidget(0, OptPanel);
}

void TMainForm::PanelAlignClick() {
    // The action has toggled its check mark; the panel follows it.
    ApplyPanelAlign();
}

void TMainForm::VisibleActionExecute() {
    OptPanel->setVisible(VisibleAction->isChecked());
}

void TMainForm::ClockActionExecute() {
    if (ClockAction->isChecked()) {
        Clock->start();
    } else {
        Clock->stop();
        StatusBar1->SetPanelText(2, QString());
    }
}

void TMainForm::ClockTimer() {
    StatusBar1->SetPanelText(2, QTime::currentTime().toString(QStringLiteral("HH:mm:ss")));
}

void TMainForm::EUC1Click(QAction* item) {
    item->setChecked(true);
    codeConvTag_ = item->data().toInt();
}

void TMainForm::CloseBtnClick() {
    userClose_ = true;
    close();
}

void TMainForm::DelHostClick() {
    UpdateHistory(HostIP, true, true);
}

void TMainForm::DelServerClick() {
    UpdateHistory(WhoisServer, true, true);
}

void TMainForm::ConnectHandlers() {
    using mainview::Guarded;
    using mainview::GuardedSlot;
    auto on = [this](QAction* action, void (TMainForm::*handler)()) {
        connect(action, &QAction::triggered, this,
                GuardedSlot([this, handler] { (this->*handler)(); }));
    };
    on(CloseAction, &TMainForm::CloseBtnClick);
    on(WhoisAction, &TMainForm::WhoisClick);
    on(PingAction, &TMainForm::PingBtnClick);
    on(TraceAction, &TMainForm::TraceClick);
    on(FontSetAction, &TMainForm::FontSetActionExecute);
    on(StopAction, &TMainForm::StopBtnClick);
    on(AboutAction, &TMainForm::AboutActionExecute);
    on(HelpAction, &TMainForm::HelpActionExecute);
    on(WSAInfo, &TMainForm::WinSockMenuClick);
    on(DNSAction, &TMainForm::DNSBtnClick);
    on(SetWhoisList, &TMainForm::SetWhoisListExecute);
    on(SmtpAction, &TMainForm::SmtpActionExecute);
    on(OpenWeb, &TMainForm::OpenWebExecute);
    on(ClipWhois, &TMainForm::ClipWhoisExecute);
    on(HideAction, &TMainForm::HideActionExecute);
    on(AlignAction, &TMainForm::PanelAlignClick);
    on(VisibleAction, &TMainForm::VisibleActionExecute);
    on(ClockAction, &TMainForm::ClockActionExecute);
    on(SaveWhois, &TMainForm::SaveWhoisExecute);
    on(SaveList, &TMainForm::SaveListExecute);
    on(Copy1, &TMainForm::Copy1Click);
    on(Whois2, &TMainForm::Whois2Click);
    on(Whois1, &TMainForm::Whois1Click);
    on(WhoisName1, &TMainForm::WhoisName1Click);
    on(Copy2, &TMainForm::Copy2Click);
    on(Whois4, &TMainForm::Whois4Click);
    connect(CodeConvGroup, &QActionGroup::triggered, this,
            [this](QAction* item) { mainview::RunGuarded([&] { EUC1Click(item); }); });

    connect(DelHost, &QToolButton::clicked, this, GuardedSlot([this] { DelHostClick(); }));
    connect(DelServer, &QToolButton::clicked, this, GuardedSlot([this] { DelServerClick(); }));
    connect(Timer1, &QTimer::timeout, this, GuardedSlot([this] { Timer1Timer(); }));
    connect(Clock, &QTimer::timeout, this, GuardedSlot([this] { ClockTimer(); }));

    // The popup menus, prepared each time they open. Scrolling views report the position
    // in their viewport.
    auto popup = [this](QWidget* owner, QWidget* origin, QMenu* menu,
                        void (TMainForm::*prepare)()) {
        connect(owner, &QWidget::customContextMenuRequested, this,
                [this, origin, menu, prepare](const QPoint& pos) {
                    mainview::RunGuarded([&] {
                        if (prepare)
                            (this->*prepare)();
                        menu->popup(origin->mapToGlobal(pos));
                    });
                });
    };
    popup(AliasList, AliasList->viewport(), PopupMenu1, &TMainForm::PopupMenu1Popup);
    popup(IPList, IPList->viewport(), PopupMenu1, &TMainForm::PopupMenu1Popup);
    popup(HostView, HostView->viewport(), PopupMenu2, &TMainForm::PopupMenu2Popup);
    popup(Memo1, Memo1->viewport(), MemoPopup, &TMainForm::MemoPopupPopup);
    popup(OptPanel, OptPanel, AlignPopup, nullptr);
    // A lookup list that loses the focus drops its selection.
    focusWatch_ = connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget*) {
        if (old == AliasList || old == IPList)
            mainview::RunGuarded([this, old] { AliasListExit(static_cast<QListWidget*>(old)); });
    });
}
