#pragma once

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace srvsetup {
class RadioGroup;
}

// The server list editor: edits a copy of the directory lines, one row per line, and hands
// the copy back only when closed with "更新".
class TServerForm : public QDialog {
    Q_OBJECT
public:
    explicit TServerForm(QWidget* owner = nullptr);
    ~TServerForm() override;

    // Shows the dialog modally on a copy of Lines. With "更新" the copy replaces Lines and
    // the result is true; with "取消し" Lines stays as it was and the result is false.
    bool EditServers(std::vector<std::string>& Lines);

    // For tests: when set, EditServers shows the dialog without a modal loop and runs the
    // hook, which drives the widgets and may press "更新" or "取消し"; a hook that closes
    // nothing counts as "取消し".
    static std::function<void(TServerForm&)> ModalHook;

    void ShowLine(int Index, QTreeWidgetItem* Row);
    void ReloadList();
    void SwapLines(int A, int B);

    void FormCreate();
    void FormDestroy();
    void ListViewSelectItem(QTreeWidgetItem* Item, bool Selected);
    void ServerNameChange();
    void AddBtnClick();
    void ReplaceBtnClick();
    void DeleteBtnClick();
    void UpBtnClick();
    void DownBtnClick();

    const std::vector<std::string>& Lines() const { return WorkLines; }

    QTreeWidget* ListView = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* ServerName = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* DomainList = nullptr;
    srvsetup::RadioGroup* IPWhois = nullptr;
    QPushButton* AddBtn = nullptr;
    QPushButton* ReplaceBtn = nullptr;
    QPushButton* DeleteBtn = nullptr;
    QToolButton* UpBtn = nullptr;
    QToolButton* DownBtn = nullptr;
    QPushButton* UpdateBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    void ListViewSelectionChanged();
    int SelectedIndex() const;
    std::string EditedLine() const;

    std::vector<std::string> WorkLines;
};
