// The record's summary above the answer: the registrar, dates, status and name servers (or
// an address's network and owner) that the engine read from the answer, where a reader
// looks first. Its switch is in the View menu and remembered (key SHOWRECORD).
#include "mainview/MainView.h"

#include "mainview/MessageHooks.h"

#include "engine/WhoisSession.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

QString TMainForm::SummaryLabel(SummaryField field) {
    switch (field) {
    case SummaryField::Registrar:
        return tr("レジストラ");
    case SummaryField::Created:
        return tr("登録日");
    case SummaryField::Expires:
        return tr("有効期限");
    case SummaryField::Status:
        return tr("状態");
    case SummaryField::NameServers:
        return tr("ネームサーバ");
    case SummaryField::Network:
        return tr("ネットワーク");
    case SummaryField::NetworkName:
        return tr("ネットワーク名");
    case SummaryField::Owner:
        return tr("組織");
    case SummaryField::Origin:
        return tr("AS番号");
    case SummaryField::Registry:
        return tr("レジストリ");
    }
    return {};
}

void TMainForm::BuildRecordPanel() {
    RecordAction = new QAction(tr("登録情報の要約(&S)"), ViewMenu);
    RecordAction->setObjectName(QStringLiteral("RecordAction"));
    RecordAction->setStatusTip(tr("答えから読んだ登録情報を本文の上に表示"));
    RecordAction->setCheckable(true);
    RecordAction->setChecked(true);
    ViewMenu->addAction(RecordAction);
    connect(RecordAction, &QAction::triggered, this,
            mainview::GuardedSlot([this] { UpdateRecordPanel(); }));

    // Above the answer; hidden, it leaves the answer's area as it was.
    RecordPanel = new QLabel(AnswerBox);
    RecordPanel->setObjectName(QStringLiteral("RecordPanel"));
    RecordPanel->setTextFormat(Qt::PlainText);
    RecordPanel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    RecordPanel->setWordWrap(true);
    RecordPanel->setFrameShape(QFrame::StyledPanel);
    RecordPanel->setMargin(4);
    RecordPanel->hide();
    static_cast<QVBoxLayout*>(AnswerBox->layout())->insertWidget(0, RecordPanel);
}

void TMainForm::UpdateRecordPanel() {
    QString text;
    if (RecordAction->isChecked() && WhoisRun && WhoisRun->Finished()) {
        for (const SummaryLine& line : RecordSummary(WhoisRun->Record()))
            text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + SummaryLabel(line.field) +
                    QStringLiteral(": ") + FromUtf8(line.value);
    }
    RecordPanel->setText(text);
    RecordPanel->setVisible(!text.isEmpty());
}

void TMainForm::HideRecordPanel() {
    RecordPanel->clear();
    RecordPanel->hide();
}
