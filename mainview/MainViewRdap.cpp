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

QString TMainForm::RdapUpdateText(const rdap::UpdateResult& result) {
    using Outcome = rdap::FileUpdate::Outcome;
    QStringList lines;
    for (const rdap::FileUpdate& file : result.files) {
        const QString name = QString::fromStdString(file.name);
        const QString detail = QString::fromStdString(file.detail);
        QString why;
        switch (file.outcome) {
        case Outcome::Updated:
            lines << tr("%1: 更新しました").arg(name);
            continue;
        case Outcome::Stopped:
            why = tr("中止しました");
            break;
        case Outcome::NotFound:
            why = tr("%1 にありません").arg(detail);
            break;
        case Outcome::Failed:
            why = tr("取得できません (%1)").arg(detail);
            break;
        case Outcome::Invalid:
            why = tr("ブートストラップファイルではありません");
            break;
        case Outcome::NotStored:
            why = tr("保存できません (%1)").arg(detail);
            break;
        }
        lines << (file.hadOld ? tr("%1: %2。古いファイルを残します")
                              : tr("%1: %2。ファイルはまだありません"))
                     .arg(name, why);
    }
    // A worker that could not run at all has only its error's line.
    if (result.files.empty())
        for (const std::string& line : result.lines)
            lines << QString::fromStdString(line);
    return lines.join(QLatin1Char('\n'));
}

void TMainForm::UpdateRdapExecute() {
    const std::string folder = paths_.HomeFile("rdap/");
    if (folder.empty()) {
        mainview::ShowMessage(this, tr("ホームフォルダがないため更新できません"));
        return;
    }
    ReadyRdap();
    auto* worker = new TRdapUpdate(RdapSource, folder, PingTrace->FRdapOptions);
    // The controller's end, or Stop, ends the update with the other workers.
    worker->FOwner = PingTrace.get();
    worker->OnUpdated = mainview::Guarded([this](TObject*, const rdap::UpdateResult& result) {
        PingTrace->ReloadRdap();
        mainview::ShowMessage(this, RdapUpdateText(result));
    });
}
