// The window's side of a WHOIS chain: each answer shown, and the chain's next step taken
// as the answer logic of engine/WhoisText chooses it; the web command and the SMTP answer.
#include "mainview/MainView.h"

#include "mainview/ShowText.h"
#include "mainview/StatusPanels.h"

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

void TMainForm::WhoisStart(TObject*, const std::string& Server, const std::string& Query) {
    WhoisAskedServer = Server;
    StatusBar1->SetPanelText(1, FromUtf8(WhoisCommandLine(Server, Query)));
}

void TMainForm::WhoisResult(TObject*, int32_t Code, const std::string& Query,
                            const std::string& Response) {
    WhoisAnswer answer;
    answer.ErrorCode = Code;
    answer.Query = Query;
    answer.Converted = PrepareAnswer(Response, CodeConvTag());
    answer.AskedServer = WhoisAskedServer;
    answer.CurrentTarget = PingTrace->CurrentTarget();
    answer.QueryText = PingTrace->FQueryText;
    answer.LastQuery = LastQuery;
    answer.AutoChange = AutoChange->isChecked();
    answer.SweepCheck = SweepCheck->isChecked();
    answer.RdapReady = [this] {
        ReadyRdap();
        return PingTrace->RdapServes(LastQuery);
    };

    const WhoisStep step =
        ChooseWhoisStep(answer, HitKeys, WhoisChain, [this] { return PingTrace->NextCandidate(); });
    Memo1->setPlainText(FromUtf8(step.MemoText));

    switch (step.kind) {
    case WhoisStep::Hit:
        PingTrace->WhoisEnded();
        OpenWeb->setEnabled(step.OpenWeb);
        if (step.OpenWeb)
            SetOpenWebHint(FromUtf8(step.WebHint));
        PopupResult();
        break;
    case WhoisStep::RetryParent:
        PingTrace->WhoisDirect(step.Query);
        break;
    case WhoisStep::FollowReferral:
        PingTrace->WhoisResolve(step.Server, step.Query);
        break;
    case WhoisStep::NextCandidate:
        PingTrace->WhoisResolve(step.Server, step.Query);
        StatusBar1->SetPanelText(1, FromUtf8(step.StatusText));
        break;
    case WhoisStep::AskRdap:
        PingTrace->RdapQuery(step.Query);
        break;
    case WhoisStep::End:
        PingTrace->WhoisEnded();
        PopupResult();
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
    EnableButtons();
}
