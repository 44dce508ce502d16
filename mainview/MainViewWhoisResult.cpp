// The window's side of a WHOIS chain: each step as the engine's session reports it; the web
// command and the SMTP answer.
#include "mainview/MainView.h"

#include "mainview/ShowText.h"
#include "mainview/StatusPanels.h"

#include "engine/WhoisChain.h"
#include "engine/WhoisText.h"

#include <QAction>
#include <QCheckBox>
#include <QDesktopServices>
#include <QPlainTextEdit>
#include <QPointer>
#include <QUrl>

namespace {

QString FromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

QString TMainForm::OpenWebHint() const {
    return OpenWeb->statusTip();
}

void TMainForm::SetOpenWebHint(const QString& hint) {
    // The hint is the web button's tool-tip too.
    OpenWeb->setStatusTip(hint);
    OpenWeb->setToolTip(hint);
}

void TMainForm::WhoisStepStart(const std::string& CommandLine) {
    StatusBar1->SetPanelText(1, FromUtf8(CommandLine));
}

void TMainForm::WhoisStepTaken(const WhoisStep& Step) {
    switch (Step.kind) {
    case WhoisStep::Hit:
        OpenWeb->setEnabled(Step.OpenWeb);
        if (Step.OpenWeb)
            SetOpenWebHint(FromUtf8(Step.WebHint));
        PopupResult();
        break;
    case WhoisStep::NextCandidate:
        // After the step is taken: its start puts the window into the busy state, which
        // clears the panel.
        StatusBar1->SetPanelText(1, FromUtf8(Step.StatusText));
        break;
    case WhoisStep::End:
        PopupResult();
        break;
    case WhoisStep::RetryParent:
    case WhoisStep::FollowReferral:
    case WhoisStep::AskRdap:
        break;
    }
}

void TMainForm::PopupResult() {
    if (isVisible())
        return;
    // Owned by the window while it is shown; a guard, since the window's end would take
    // the popup with it.
    QPointer<TShowForm> popup = new TShowForm(this);
    popup->Memo1->setFont(Memo1->font());
    popup->Memo1->setPlainText(Memo1->toPlainText());
    popup->resize(width(), height());
    popup->ShowModal();
    delete popup.data();
}

void TMainForm::OpenWebExecute() {
    const QString hint = OpenWebHint();
    if (hint.isEmpty())
        return;
    // The hint is "www." + domain without a scheme; the browser is given it as an http
    // address. A failure to start one is ignored.
    QDesktopServices::openUrl(QUrl(QStringLiteral("http://") + hint));
}

void TMainForm::SmtpResult(TObject*, int32_t, const std::string&, const std::string& Response) {
    Memo1->setPlainText(FromUtf8(PrepareAnswer(Response, CodeConvTag())));
    HideRecordPanel();
    EnableButtons();
}
