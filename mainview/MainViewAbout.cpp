// The help file, the about box and the version shown in the caption.
#include "mainview/MainView.h"

#include "dialogs/AboutBox.h"
#include "dialogs/HtmlHelp.h"

#include <QAction>

void TMainForm::ConfigureHelp() {
    if (!HtmHelp1) {
        HtmHelp1 = new THtmHelp(this);
        HtmHelp1->setObjectName(QStringLiteral("HtmHelp1"));
    }
    HtmHelp1->SetFileName(paths_.HelpFile());
    HelpAction->setEnabled(HtmHelp1->Enabled());
}

QString TMainForm::VersionText() const {
    return QString::fromStdString(AboutDialog1->GetVersion());
}

void TMainForm::AboutActionExecute() {
    AboutDialog1->Execute();
}

void TMainForm::HelpActionExecute() {
    // No topic of its own: the viewer shows the file's default topic.
    HtmHelp1->DisplayTopic(winId(), std::string());
}
