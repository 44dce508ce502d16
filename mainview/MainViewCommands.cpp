// Command handlers of the main window built on the engine and the dialogs.
#include "mainview/MainView.h"

#include "mainview/MessageHooks.h"
#include "mainview/StatusPanels.h"

#include "dialogs/WSInfo.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QListWidget>
#include <QPlainTextEdit>

void TMainForm::WinSockMenuClick() {
    // Created for one showing and released after it.
    TWSDialog dialog(this);
    dialog.exec();
}

QListWidget* TMainForm::FocusedDnsList() const {
    if (IPList->hasFocus())
        return IPList;
    if (AliasList->hasFocus())
        return AliasList;
    return nullptr;
}

void TMainForm::Copy1Click() {
    QListWidget* list = FocusedDnsList();
    if (list && list->currentRow() >= 0 && list->currentItem()->isSelected())
        QApplication::clipboard()->setText(list->currentItem()->text());
}

void TMainForm::PopupMenu1Popup() {
    QListWidget* list = FocusedDnsList();
    Copy1->setEnabled(list && !list->selectedItems().isEmpty());
    Whois2->setEnabled(Copy1->isEnabled() && WSAInfo->isEnabled());
}

void TMainForm::AliasListExit(QListWidget* list) {
    list->clearSelection();
}

void TMainForm::Copy2Click() {
    Memo1->copy();
}

void TMainForm::MemoPopupPopup() {
    Copy2->setEnabled(Memo1->textCursor().hasSelection());
    Whois4->setEnabled(Copy2->isEnabled() && WSAInfo->isEnabled());
}
