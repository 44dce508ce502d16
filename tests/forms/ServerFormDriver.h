#pragma once

#include "directory/ui/SrvSetup.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

// Drives the server list editor through its widgets, found by their object names, the way a
// user would: clicks on rows and buttons, typing into the edits.
class ServerFormTest : public ::testing::Test {
protected:
    void TearDown() override { TServerForm::ModalHook = nullptr; }

    // Opens the editor on `lines` and runs `body` while it is shown.
    static bool Edit(std::vector<std::string>& lines, std::function<void(TServerForm&)> body) {
        TServerForm::ModalHook = std::move(body);
        TServerForm form;
        const bool ok = form.EditServers(lines);
        TServerForm::ModalHook = nullptr;
        return ok;
    }

    template <class W> static W* Find(QWidget& form, const char* name) {
        W* widget = form.findChild<W*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    static QTreeWidget* List(QWidget& form) { return Find<QTreeWidget>(form, "ListView"); }

    static void Click(QWidget& form, const char* name) {
        QTest::mouseClick(Find<QWidget>(form, name), Qt::LeftButton);
    }

    static bool Enabled(QWidget& form, const char* name) {
        return Find<QWidget>(form, name)->isEnabled();
    }

    static void ClickRow(QWidget& form, int row) {
        QTreeWidget* list = List(form);
        QTreeWidgetItem* item = list->topLevelItem(row);
        ASSERT_NE(item, nullptr) << "row " << row;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(item).center());
    }

    // The index of the selected row, -1 for none.
    static int SelectedRow(QWidget& form) {
        QTreeWidget* list = List(form);
        const auto selected = list->selectedItems();
        return selected.isEmpty() ? -1 : list->indexOfTopLevelItem(selected.first());
    }

    // Caption, "<IP>" and domain column of a row, joined by '|'.
    static std::string Row(QWidget& form, int row) {
        QTreeWidgetItem* item = List(form)->topLevelItem(row);
        if (!item)
            return "<no row>";
        return (item->text(0) + "|" + item->text(1) + "|" + item->text(2)).toStdString();
    }

    static std::vector<std::string> Captions(QWidget& form) {
        std::vector<std::string> captions;
        QTreeWidget* list = List(form);
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            captions.push_back(list->topLevelItem(i)->text(0).toStdString());
        return captions;
    }

    static void Type(QWidget& form, const char* name, const QString& text) {
        auto* edit = Find<QLineEdit>(form, name);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }

    static std::string EditText(QWidget& form, const char* name) {
        return Find<QLineEdit>(form, name)->text().toStdString();
    }

    // The checked "<IP>アドレスの検索" item, -1 for none.
    static int IPIndex(QWidget& form) {
        const bool yes = Find<QRadioButton>(form, "IPWhois0")->isChecked();
        const bool no = Find<QRadioButton>(form, "IPWhois1")->isChecked();
        EXPECT_FALSE(yes && no);
        return yes ? 0 : no ? 1 : -1;
    }
};
