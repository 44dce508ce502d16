// The histories of the host and WHOIS server boxes.
#include "mainview/MainView.h"

#include "mainview/History.h"

#include "directory/ServerDir.h"
#include "platform/TextFile.h"
#include "settings/IniParam.h"

#include <QComboBox>

#include <algorithm>
#include <exception>

namespace {

// The directory's servers ride in the server box's list below its history, marked so that
// they are neither saved nor counted as history.
constexpr int kDirectoryRole = Qt::UserRole + 1;

// The history entries of the box's list.
std::vector<std::string> Items(const QComboBox* combo) {
    std::vector<std::string> list;
    list.reserve(static_cast<std::size_t>(combo->count()));
    for (int i = 0; i < combo->count(); ++i)
        if (!combo->itemData(i, kDirectoryRole).toBool())
            list.push_back(combo->itemText(i).toStdString());
    return list;
}

// Replaces the combo's list, the history and then `after` (what the history lacks of it),
// without touching its edit text (changing the list of an editable combo box would
// otherwise copy an entry into it).
void SetItems(QComboBox* combo, const std::vector<std::string>& list,
              const std::vector<std::string>& after) {
    const QString text = combo->currentText();
    const QSignalBlocker block(combo);
    combo->clear();
    for (const std::string& entry : list)
        combo->addItem(QString::fromStdString(entry));
    for (const std::string& entry : after) {
        if (std::find(list.begin(), list.end(), entry) != list.end())
            continue;
        combo->addItem(QString::fromStdString(entry));
        combo->setItemData(combo->count() - 1, true, kDirectoryRole);
    }
    combo->setCurrentIndex(-1);
    combo->setEditText(text);
}

} // namespace

std::vector<std::string> TMainForm::ListedServers(const QComboBox* combo) const {
    std::vector<std::string> servers;
    if (combo != WhoisServer || !PingTrace)
        return servers;
    for (const std::string& line : PingTrace->FServerList) {
        const std::vector<std::string> fields = SplitServerFields(line);
        if (!fields.empty() && !fields.front().empty() &&
            std::find(servers.begin(), servers.end(), fields.front()) == servers.end())
            servers.push_back(fields.front());
    }
    return servers;
}

void TMainForm::ListDirectoryServers() {
    SetItems(WhoisServer, Items(WhoisServer), ListedServers(WhoisServer));
}

void TMainForm::LoadHistory(QComboBox* combo, const std::string& fileName) {
    std::vector<std::string> list;
    if (!platform::ReadTextLines(fileName, list))
        list = Items(combo); // no file: the list keeps what it has
    mainview::CleanHistory(list);
    SetItems(combo, list, ListedServers(combo));
}

void TMainForm::SaveHistory(QComboBox* combo, const std::string& fileName) {
    try {
        platform::WriteTextLines(fileName, Items(combo));
    } catch (const std::exception&) {
        // The file error the user knows, in the window's language.
        throw EFCreateError(fileName);
    }
}

void TMainForm::UpdateHistory(QComboBox* combo, bool remove, bool stripUser) {
    std::vector<std::string> list = Items(combo);
    const std::optional<std::string> text =
        mainview::RecordHistory(list, combo->currentText().toStdString(), remove, stripUser);
    if (!text)
        return;
    SetItems(combo, list, ListedServers(combo));
    combo->setEditText(QString::fromStdString(*text));
}
