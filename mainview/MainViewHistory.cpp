// The histories of the host and WHOIS server boxes.
#include "mainview/MainView.h"

#include "mainview/History.h"

#include "platform/TextFile.h"
#include "settings/IniParam.h"

#include <QComboBox>

#include <exception>

namespace {

std::vector<std::string> Items(const QComboBox* combo) {
    std::vector<std::string> list;
    list.reserve(static_cast<std::size_t>(combo->count()));
    for (int i = 0; i < combo->count(); ++i)
        list.push_back(combo->itemText(i).toStdString());
    return list;
}

// Replaces the combo's list without touching its edit text (changing the list of an
// editable combo box would otherwise copy an entry into it).
void SetItems(QComboBox* combo, const std::vector<std::string>& list) {
    const QString text = combo->currentText();
    const QSignalBlocker block(combo);
    combo->clear();
    for (const std::string& entry : list)
        combo->addItem(QString::fromStdString(entry));
    combo->setCurrentIndex(-1);
    combo->setEditText(text);
}

} // namespace

void TMainForm::LoadHistory(QComboBox* combo, const std::string& fileName) {
    std::vector<std::string> list;
    if (!platform::ReadTextLines(fileName, list))
        list = Items(combo); // no file: the list keeps what it has
    mainview::CleanHistory(list);
    SetItems(combo, list);
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
    SetItems(combo, list);
    combo->setEditText(QString::fromStdString(*text));
}
