// Commands that write files or edit the window's files and fonts through dialogs.
#include "mainview/MainView.h"

#include "mainview/DialogHooks.h"

#include "directory/ui/SrvSetup.h"
#include "platform/TextFile.h"
#include "settings/IniParam.h"

#include <QPlainTextEdit>
#include <QTreeWidget>

#include <exception>

namespace {

// Built when used, so that it speaks the language the program chose.
mainview::SaveDialogSpec SaveDialog1() {
    return {TMainForm::tr("ファイルへ保存します"), TMainForm::tr("テキストファイル (*.txt)"),
            QStringLiteral("txt")};
}

// Writes the lines, reporting a failure as the file-creation error the user knows.
void WriteOrReport(const std::string& path, const std::vector<std::string>& lines) {
    try {
        platform::WriteTextLines(path, lines);
    } catch (const std::exception&) {
        throw EFCreateError(path);
    }
}

} // namespace

void TMainForm::SaveWhoisExecute() {
    const std::optional<QString> file = mainview::RunSaveDialog(this, SaveDialog1());
    if (!file)
        return;
    std::vector<std::string> lines;
    const QStringList memo = Memo1->toPlainText().split(QLatin1Char('\n'));
    // An empty text area has no lines at all.
    if (!Memo1->toPlainText().isEmpty())
        for (const QString& line : memo)
            lines.push_back(line.toStdString());
    WriteOrReport(file->toStdString(), lines);
}

void TMainForm::SaveListExecute() {
    const std::optional<QString> file = mainview::RunSaveDialog(this, SaveDialog1());
    if (!file)
        return;
    std::vector<std::string> lines;
    for (int i = 0; i < HostView->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = HostView->topLevelItem(i);
        std::vector<std::string> subItems;
        // The four columns the saved rows have always had; the owner column stays out.
        for (int c = 1; c < 4; ++c)
            subItems.push_back(row->text(c).toStdString());
        lines.push_back("#" + row->text(0).toStdString() + "," + settings::CommaText(subItems));
    }
    WriteOrReport(file->toStdString(), lines);
}

void TMainForm::FontSetActionExecute() {
    const std::optional<QFont> font = mainview::RunFontDialog(this, Memo1->font());
    if (font)
        Memo1->setFont(*font);
}

void TMainForm::SetWhoisListExecute() {
    // The editor works on a copy; only its OK button changes the directory, which is then
    // written at once.
    TServerForm dialog(this);
    dialog.setObjectName(QStringLiteral("ServerForm"));
    if (!dialog.EditServers(PingTrace->FServerList))
        return;
    ListDirectoryServers();
    try {
        PingTrace->SaveServers(ServerFile);
    } catch (const std::exception&) {
        throw EFCreateError(ServerFile);
    }
}
