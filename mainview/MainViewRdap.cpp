// RDAP in the window: its switch, its options and the bootstrap update in the settings menu.
#include "mainview/MainView.h"

#include "mainview/MessageHooks.h"
#include "mainview/StatusPanels.h"

#include "controls/SpinBtns.h"
#include "engine/RdapQuery.h"

#include <QAction>
#include <QMenu>
#include <QPlainTextEdit>

void TMainForm::BuildRdap() {
    RdapSource = rdap::kIanaBootstrapBase;
    // Items of the settings menu only, beside the window's own twenty commands.
    RdapAction = new QAction(tr("RDAPを使う(&D)"), SetupMenu);
    RdapAction->setObjectName(QStringLiteral("RdapAction"));
    RdapAction->setStatusTip(tr("Whoisで答えがないときRDAPに問い合わせる"));
    RdapAction->setCheckable(true);
    RdapAction->setChecked(true);
    UpdateRdap = new QAction(tr("RDAPブートストラップ更新(&U)"), SetupMenu);
    UpdateRdap->setObjectName(QStringLiteral("UpdateRdap"));
    UpdateRdap->setStatusTip(tr("IANAからRDAPのブートストラップを取得"));
    SetupMenu->addSeparator();
    SetupMenu->addAction(RdapAction);
    SetupMenu->addAction(UpdateRdap);
    connect(UpdateRdap, &QAction::triggered, this,
            mainview::GuardedSlot([this] { UpdateRdapExecute(); }));
}

void TMainForm::ReadyRdap() {
    PingTrace->FRdapFolders = paths_.RdapFolders();
    PingTrace->FUseRdap = RdapAction->isChecked();
    // The time-out box's seconds, as the probes use them; 0 leaves the client's own.
    PingTrace->FRdapOptions.timeout = RdapTimeOut(TimeOut->Value());
}

void TMainForm::UpdateRdapExecute() {
    ReadyRdap();
    auto* worker =
        new TRdapUpdate(RdapSource, paths_.RdapFolders().front(), PingTrace->FRdapOptions);
    // The controller's end, or Stop, ends the update with the other workers.
    worker->FOwner = PingTrace.get();
    worker->OnUpdated =
        mainview::Guarded([this](TObject*, const std::vector<std::string>& lines, bool) {
            PingTrace->ReloadRdap();
            QString text;
            for (const std::string& line : lines)
                text += QString::fromStdString(line) + QLatin1Char('\n');
            mainview::ShowMessage(this, text.trimmed());
        });
}
