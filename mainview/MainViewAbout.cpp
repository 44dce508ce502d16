// The help page, the about box and the version shown in the caption.
#include "mainview/MainView.h"

#include "dialogs/AboutBox.h"
#include "platform/qt/ShellOpen.h"

#include <QAction>
#include <QUrl>

void TMainForm::ConfigureHelp() {
    // The page in the window's language; the translation names its own.
    helpPage_ = paths_.HelpPage(tr("ja", "the help page's language").toStdString());
    HelpAction->setEnabled(!helpPage_.empty());
}

QString TMainForm::VersionText() const {
    return QString::fromStdString(AboutDialog1->GetVersion());
}

void TMainForm::AboutActionExecute() {
    // Set at each showing so that it follows the window's language; the version record's
    // comment is the build's and no translation reaches it.
    AboutDialog1->SetComments(
        tr("WHOIS・ping・経路追跡・DNS 検索を\n一つのウィンドウで").toStdString());
    AboutDialog1->Execute();
}

void TMainForm::HelpActionExecute() {
    // The desktop's browser shows the page; a desktop without one shows nothing, as the
    // other links of the window do.
    platform::ShellOpen(
        QUrl::fromLocalFile(QString::fromStdString(helpPage_)).toString().toStdString());
}
