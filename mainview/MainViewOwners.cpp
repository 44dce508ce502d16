// Each trace hop's owner (its AS and name) in the host list's fifth column, beside the rows
// the list has always had; its switch is in the View menu and remembered (key SHOWOWNERS).
#include "mainview/MainView.h"

#include "mainview/MessageHooks.h"
#include "mainview/StatusPanels.h"

#include "engine/PingCtrl.h"

#include <QAction>
#include <QMenu>
#include <QTreeWidget>

namespace {

constexpr int OwnerColumn = 4;

} // namespace

void TMainForm::BuildOwnerColumn() {
    OwnersAction = new QAction(tr("ホップの所有者(&O)"), ViewMenu);
    OwnersAction->setObjectName(QStringLiteral("OwnersAction"));
    OwnersAction->setStatusTip(tr("トレースの各ホップのAS番号と名前を表示"));
    OwnersAction->setCheckable(true);
    OwnersAction->setChecked(true);
    ViewMenu->addAction(OwnersAction);
    connect(OwnersAction, &QAction::toggled, this, mainview::GuardedSlot([this] {
                HostView->setColumnHidden(OwnerColumn, !OwnersAction->isChecked());
            }));
}

void TMainForm::ReadyOwners() {
    ReadyRdap(); // RDAP's networks stand in where the AS service fails
    PingTrace->FTraceOwners = OwnersAction->isChecked();
    PingTrace->FAsServer = asServer_.empty() ? hopowner::DefaultServer : asServer_;
    ownerFailureShown_ = false;
}

void TMainForm::HopOwner(int32_t Hop, const hopowner::Lookup& Owner) {
    QTreeWidgetItem* row = HostView->topLevelItem(Hop - 1);
    if (!row)
        return; // the list was cleared by a new command meanwhile
    const std::string text = hopowner::OwnerText(Owner);
    row->setText(OwnerColumn, QString::fromUtf8(text.data(), qsizetype(text.size())));
    // The whole of it where the column is too narrow: the prefix, country and registry too.
    const hopowner::Owner& o = Owner.owner;
    const std::string more = o.prefix + " " + o.country + " " + o.registry;
    if (!text.empty())
        row->setToolTip(OwnerColumn, QString::fromUtf8((text + "\n" + more).c_str()).trimmed());
    if (Owner.status == hopowner::Lookup::Status::Failed && !ownerFailureShown_) {
        // Once a trace: every later hop fails for the same reason.
        ownerFailureShown_ = true;
        const QString note =
            tr("ホップの所有者を取得できません: %1").arg(QString::fromStdString(Owner.reason));
        StatusBar1->SetPanelText(1, note);
        StatusBar1->setToolTip(note);
    }
}
