// The lookup, ping, trace, SMTP and stop commands.
#include "mainview/MainView.h"

#include "mainview/History.h"
#include "mainview/MessageHooks.h"

#include "controls/SpinBtns.h"

#include <QCheckBox>
#include <QComboBox>
#include <QTreeWidget>

namespace {

std::string BoxText(const QComboBox* box) {
    return box->currentText().toStdString();
}

} // namespace

void TMainForm::DNSBtnClick() {
    UpdateHistory(HostIP, false, true);
    if (PingCheck->isChecked()) {
        PingTrace->FEchoCount = 1;
        PingTrace->FProbeTimeOut = TimeOut->Value();
        PingTrace->OnEchoReply =
            mainview::Guarded([this](TObject* s, uint8_t st, int32_t seq, int32_t ms,
                                     const TagHostEnt& h) { CheckReply(s, st, seq, ms, h); });
        PingTrace->Ping(BoxText(HostIP));
    } else {
        PingTrace->Lookup(BoxText(HostIP));
    }
}

bool TMainForm::RefuseUnspecified() {
    const std::string text = mainview::TrimBlanks(BoxText(HostIP));
    if (!IsUnspecifiedAddress(text))
        return false;
    mainview::ShowMessage(
        this,
        tr("%1 は未指定アドレスで、どのホストも指しません。").arg(QString::fromStdString(text)));
    return true;
}

void TMainForm::PingBtnClick() {
    if (RefuseUnspecified())
        return;
    UpdateHistory(HostIP, false, true);
    PingTrace->FEchoCount = PingCount->Value();
    PingTrace->FProbeTimeOut = TimeOut->Value();
    PingTrace->OnEchoReply =
        mainview::Guarded([this](TObject* s, uint8_t st, int32_t seq, int32_t ms,
                                 const TagHostEnt& h) { EchoReply(s, st, seq, ms, h); });
    {
        const UpdateBracket bracket(HostView);
        HostView->clear();
    }
    Timer1->setInterval(Interval->Value());
    PingTrace->Ping(BoxText(HostIP));
}

void TMainForm::TraceClick() {
    if (RefuseUnspecified())
        return;
    PingTrace->FResolveHops = ResolveCheck->isChecked();
    PingTrace->FProbeTimeOut = TimeOut->Value();
    ReadyOwners();
    UpdateHistory(HostIP, false, true);
    {
        const UpdateBracket bracket(HostView);
        HostView->clear();
    }
    PingTrace->Trace(BoxText(HostIP));
}

void TMainForm::SmtpActionExecute() {
    const std::string text = mainview::TrimBlanks(BoxText(HostIP));
    const std::size_t at = text.find('@');
    if (at == std::string::npos) {
        mainview::ShowMessage(this, QStringLiteral("Input User@hostname."));
        return;
    }
    const std::string user = text.substr(0, at);
    const std::string server = text.substr(at + 1);
    UpdateHistory(HostIP, false, false);
    PingTrace->Smtp(server, "EXPN " + user);
}

void TMainForm::StopBtnClick() {
    Timer1->stop();
    PingTrace->Stop();
}

void TMainForm::Timer1Timer() {
    Timer1->stop();
    PingTrace->PingContinue();
}
