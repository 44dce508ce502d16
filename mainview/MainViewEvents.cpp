// Handlers of the operation controller's events.
#include "mainview/MainView.h"

#include "mainview/StatusPanels.h"

void TMainForm::LookupStart(TObject*, uint8_t, const std::string& Target) {
    StatusBar1->SetPanelText(0, QStringLiteral("Resolve...") + QString::fromStdString(Target));
}

void TMainForm::HostResolved(TObject*, uint8_t, const TagHostEnt& Host) {
    ResolvedHost = Host;
}

void TMainForm::EchoReply(TObject*, uint8_t, int32_t, int32_t, const TagHostEnt&) {}
void TMainForm::CheckReply(TObject*, uint8_t, int32_t, int32_t, const TagHostEnt&) {}
void TMainForm::TraceHop(TObject*, int32_t, uint8_t, int32_t, uint32_t) {}
void TMainForm::HopResolved(TObject*, int32_t, const TagHostEnt&) {}

void TMainForm::WhoisStart(TObject*, const std::string& Server, const std::string& Query) {
    StatusBar1->SetPanelText(1, QStringLiteral("whois -h ") + QString::fromStdString(Server) +
                                    QStringLiteral(" ") + QString::fromStdString(Query));
}

void TMainForm::WhoisResult(TObject*, int32_t, const std::string&, const std::string&) {}
void TMainForm::SmtpResult(TObject*, int32_t, const std::string&, const std::string&) {}
