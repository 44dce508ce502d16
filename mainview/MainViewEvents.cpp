// Handlers of the operation controller's events: status texts, the lookup lists and the
// rows of the host list.
#include "mainview/MainView.h"

#include "mainview/MessageHooks.h"
#include "mainview/StatusPanels.h"
#include "mainview/WhoisCommands.h"

#include "controls/SpinBtns.h"
#include "engine/StepFailure.h"
#include "settings/IniParam.h"

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QStyle>
#include <QTreeWidget>

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

bool ListHolds(const QListWidget* list, const QString& text) {
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->text().compare(text, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// Sets the row's sub-items from a comma text, as the list view's sub-item list reads it.
void SetSubItems(QTreeWidgetItem* row, const std::string& commaText) {
    const std::vector<std::string> items = settings::SplitCommaText(commaText);
    for (int c = 1; c < 4; ++c)
        row->setText(c, c - 1 < static_cast<int>(items.size())
                            ? Q(items[static_cast<std::size_t>(c - 1)])
                            : QString());
}

QTreeWidgetItem* AppendRow(QTreeWidget* view) {
    auto* row = new QTreeWidgetItem(view);
    row->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    return row;
}

} // namespace

TMainForm::UpdateBracket::UpdateBracket(QTreeWidget* view) : view_(view) {
    view_->setUpdatesEnabled(false);
}

TMainForm::UpdateBracket::~UpdateBracket() {
    view_->setUpdatesEnabled(true);
}

void TMainForm::LookupStart(TObject*, uint8_t, const std::string& Target) {
    StatusBar1->SetPanelText(0, QStringLiteral("Resolve...") + Q(Target));
}

void TMainForm::HostResolved(TObject*, uint8_t Operation, const TagHostEnt& Host) {
    ResolvedHost = Host;
    if (Operation != opWhois) {
        AliasList->clear();
        IPList->clear();
        if (Host.Found) {
            AliasList->addItem(Q(Host.HostName));
            for (const std::string& alias : Host.Aliases)
                if (!ListHolds(AliasList, Q(alias)))
                    AliasList->addItem(Q(alias));
            for (const std::string& address : HostAddressTexts(Host))
                IPList->addItem(Q(address));
        } else if (Host.Error != 0) {
            // The lookup could not be made: its error, not a name that does not exist.
            AliasList->addItem(Q(WSAErrorText(Host.Error)));
        } else {
            AliasList->addItem(QStringLiteral("Lookup Fail"));
        }
    }
    QString status;
    switch (Operation) {
    case opPing:
        status = QStringLiteral("Ping...");
        break;
    case opTrace:
        status = QStringLiteral("Trace...");
        break;
    case opWhois:
        status = QStringLiteral("Whois...");
        break;
    case opSmtp:
        status = QStringLiteral("SMTP...");
        break;
    default:
        break;
    }
    StatusBar1->SetPanelText(0, status);
}

void TMainForm::EchoReply(TObject*, uint8_t, int32_t Sequence, int32_t ReplyTime,
                          const TagHostEnt& Host) {
    {
        const UpdateBracket bracket(HostView);
        QTreeWidgetItem* row = AppendRow(HostView);
        mainview::SetRowAddress(row, HostAddressText(Host));
        row->setText(0, QString::number(Sequence));
        SetSubItems(row, std::to_string(ReplyTime) + "," + HostAddressText(Host) + "," +
                             Host.HostName + ",");
        FitAddressColumn(row);
        if (ReplyTime < 0)
            row->setText(1, QStringLiteral("?"));
    }
    if (Sequence == PingCount->Value() || PingTrace->FIdle)
        StopBtnClick();
    else
        Timer1->start();
}

void TMainForm::CheckReply(TObject*, uint8_t, int32_t, int32_t ReplyTime, const TagHostEnt& Host) {
    const UpdateBracket bracket(HostView);
    QTreeWidgetItem* row = nullptr;
    const std::string address = HostAddressText(Host);
    for (int i = 0; i < HostView->topLevelItemCount() && !row; ++i)
        if (mainview::RowAddress(HostView->topLevelItem(i)) == address)
            row = HostView->topLevelItem(i);
    if (!row)
        row = AppendRow(HostView);
    mainview::SetRowAddress(row, address);
    row->setText(0, QString::number(HostView->indexOfTopLevelItem(row)));
    SetSubItems(row, std::to_string(ReplyTime) + "," + address + ",,");
    FitAddressColumn(row);
    if (ReplyTime < 0) {
        row->setText(1, QStringLiteral("?"));
        row->setText(3, Q(Host.HostName) + QStringLiteral(" (no response)"));
    } else {
        row->setText(3, Q(Host.HostName) + QStringLiteral(" (alive)"));
    }
}

void TMainForm::TraceHop(TObject*, const ::TraceHop& Hop) {
    bool whoisTarget = false;
    {
        const UpdateBracket bracket(HostView);
        QTreeWidgetItem* row = AppendRow(HostView);
        mainview::SetRowAddress(row, Hop.address);
        row->setText(0, QString::number(Hop.ttl));
        SetSubItems(row, "0,(ip),....");
        if (Hop.address.empty()) {
            const bool unsent = Hop.status == HopStatus::SendError;
            row->setText(1, QStringLiteral("..."));
            row->setText(2, QStringLiteral("- NoResponse -"));
            row->setText(3, unsent ? QStringLiteral("(Error)") : QStringLiteral("(Timeout)"));
            // A probe that could not be sent says why, as a failed echo does at the command line.
            if (unsent && Hop.error != 0 && !IcmpAccessRefused()) {
                const QString note =
                    tr("ホップ%1を送信できません: %2").arg(Hop.ttl).arg(Q(FailureWords(Hop.error)));
                StatusBar1->SetPanelText(1, note);
                StatusBar1->setToolTip(note);
            }
        } else {
            // The window's rows keep whole milliseconds, rounded.
            row->setText(1, QString::number(static_cast<int64_t>(Hop.ms + 0.5)));
            row->setText(2, Q(Hop.address));
            FitAddressColumn(row);
            if (*HopStatusMark(Hop.status)) {
                // Like traceroute's !H: the trace ends here and the target was not reached.
                row->setText(3, QStringLiteral("(Unreachable)"));
            } else if (Hop.reached) {
                row->setText(3, Q(ResolvedHost.HostName));
                whoisTarget = WithTrace->isChecked();
            }
        }
    }
    // After the bracket: the query repaints the window in its own right.
    if (whoisTarget)
        RunWhois(WhoisServer->currentText().toStdString(), Hop.address);
}

void TMainForm::HopResolved(TObject*, int32_t Hop, const TagHostEnt& Host) {
    QTreeWidgetItem* row = HostView->topLevelItem(Hop - 1);
    if (!row)
        return; // the list was cleared by a new command meanwhile
    const UpdateBracket bracket(HostView);
    row->setText(3, Q(Host.HostName));
}

void TMainForm::FitAddressColumn(const QTreeWidgetItem* row) {
    // Room for the text and the cell's margins; never narrower than the user left it.
    const int wanted = HostView->fontMetrics().horizontalAdvance(row->text(2)) +
                       2 * HostView->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 12;
    if (wanted > HostView->columnWidth(2))
        HostView->setColumnWidth(2, wanted);
}

void TMainForm::AdviseIcmpAccess() {
    if (icmpAdviceShown_ || !IcmpAccessRefused())
        return;
    icmpAdviceShown_ = true;
    // The window's own words, so that the advice follows its language.
    mainview::ShowMessage(
        this, tr("ICMPソケットの使用が拒否されました: プローブヘルパー zindor-probe に \"setcap "
                 "cap_net_raw+ep\" を実行するか、net.ipv4.ping_group_range "
                 "を広げてあなたのグループを含めてください。"));
}
