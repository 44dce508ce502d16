// The WHOIS commands of the main window: the ways to start a query and the host list's
// popup that offers two of them.
#include "mainview/MainView.h"

#include "mainview/History.h"
#include "mainview/MessageHooks.h"
#include "mainview/StatusPanels.h"
#include "mainview/WhoisCommands.h"

#include "engine/WhoisChain.h"
#include "engine/WhoisText.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTreeWidget>

namespace mainview {

std::string RowAddress(const QTreeWidgetItem* row) {
    return row ? row->data(0, HostAddressRole).toString().toStdString() : std::string();
}

void SetRowAddress(QTreeWidgetItem* row, const std::string& address) {
    row->setData(0, HostAddressRole, QString::fromStdString(address));
}

std::string SelectedText(const QPlainTextEdit* memo) {
    QString text = memo->textCursor().selectedText();
    text.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    text.replace(QChar::LineSeparator, QStringLiteral("\r\n"));
    return text.toStdString();
}

} // namespace mainview

namespace {

QTreeWidgetItem* SelectedRow(const QTreeWidget* view) {
    const QList<QTreeWidgetItem*> rows = view->selectedItems();
    return rows.isEmpty() ? nullptr : rows.first();
}

std::string BoxText(const QComboBox* box) {
    return box->currentText().toStdString();
}

} // namespace

void TMainForm::RunWhois(const std::string& Server, const std::string& Query) {
    if (mainview::TrimBlanks(Server).empty() || mainview::TrimBlanks(Query).empty()) {
        mainview::ShowMessage(this, QStringLiteral("Please specify server/Domain name."));
        return;
    }
    // No registry holds a name DNS does not allow; asking for it would only cost queries.
    const NameLimit limit = CheckNameLimits(mainview::TrimBlanks(Query));
    if (limit.kind == NameLimit::NameTooLong) {
        mainview::ShowMessage(this, tr("ドメイン名は%1バイトまでです (このドメイン名は%2バイト)")
                                        .arg(kMaxNameBytes)
                                        .arg(limit.bytes));
        return;
    }
    if (limit.kind == NameLimit::LabelTooLong) {
        mainview::ShowMessage(this,
                              tr("ドメイン名のラベルは%1バイトまでです (%2番目のラベルは%3バイト)")
                                  .arg(kMaxLabelBytes)
                                  .arg(limit.label)
                                  .arg(limit.bytes));
        return;
    }
    OpenWeb->setEnabled(false);
    SetOpenWebHint(QString());
    Memo1->clear();
    HideRecordPanel();
    LastQuery = Query;
    WhoisRun->Start(Server, Query);
    // After WhoisResolve: its start event puts the window into the busy state, which clears
    // the panel.
    StatusBar1->SetPanelText(1, QString::fromStdString(WhoisCommandLine(Server, Query)));
}

void TMainForm::RunWhoisFor(const std::string& Query) {
    RunWhois(BoxText(WhoisServer), Query);
}

void TMainForm::WhoisClick() {
    UpdateHistory(HostIP, false, true);
    UpdateHistory(WhoisServer, false, true);
    RunWhois(BoxText(WhoisServer), BoxText(HostIP));
}

void TMainForm::ClipWhoisExecute() {
    HostIP->setEditText(QApplication::clipboard()->text());
    RunWhois(BoxText(WhoisServer), BoxText(HostIP));
}

void TMainForm::Whois1Click() {
    if (QTreeWidgetItem* row = SelectedRow(HostView))
        RunWhoisFor(mainview::RowAddress(row));
}

void TMainForm::WhoisName1Click() {
    QTreeWidgetItem* row = SelectedRow(HostView);
    if (!row)
        return;
    // A lookup-with-PING row shows its echo's outcome after the name; the query is the name.
    QString name = row->text(mainview::HostNameColumn);
    for (const QString& suffix : {QStringLiteral(" (alive)"), QStringLiteral(" (no response)")})
        if (name.endsWith(suffix)) {
            name.chop(suffix.size());
            break;
        }
    RunWhois(BoxText(WhoisServer), name.toStdString());
}

void TMainForm::Whois2Click() {
    QListWidget* list = FocusedDnsList();
    if (!list)
        return;
    const QList<QListWidgetItem*> selected = list->selectedItems();
    if (!selected.isEmpty())
        RunWhoisFor(selected.first()->text().toStdString());
}

void TMainForm::Whois4Click() {
    RunWhois(BoxText(WhoisServer), mainview::SelectedText(Memo1));
}

void TMainForm::PopupMenu2Popup() {
    QTreeWidgetItem* row = SelectedRow(HostView);
    QString name = QStringLiteral("unknwon...");
    std::string address = "0.0.0.0";
    if (row && !mainview::RowAddress(row).empty()) {
        // WSAInfo is disabled exactly while an operation runs.
        WhoisName1->setEnabled(WSAInfo->isEnabled());
        name = row->text(mainview::HostNameColumn);
        address = mainview::RowAddress(row);
    } else {
        WhoisName1->setEnabled(false);
    }
    WhoisName1->setText(QStringLiteral("Whois(") + name + QStringLiteral(")"));
    Whois1->setText(QStringLiteral("Whois(") + QString::fromStdString(address) +
                    QStringLiteral(")"));
    Whois1->setEnabled(WhoisName1->isEnabled());
    SaveList->setEnabled(HostView->topLevelItemCount() > 0);
}
