#include "directory/ui/SrvSetup.h"

#include "directory/ui/RadioGroup.h"
#include "directory/ui/ServerRow.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

std::function<void(TServerForm&)> TServerForm::ModalHook;

namespace {

QString Text(const std::string& bytes) {
    return QString::fromStdString(bytes);
}

QPushButton* MakeButton(const QString& caption, const char* name, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    // Enter in an edit must not close the dialog or add a row behind the user's back.
    button->setAutoDefault(false);
    return button;
}

QToolButton* MakeArrowButton(Qt::ArrowType arrow, const char* name, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setArrowType(arrow);
    button->setFocusPolicy(Qt::NoFocus); // a speed button takes no focus
    return button;
}

} // namespace

TServerForm::TServerForm(QWidget* owner) : QDialog(owner) {
    FormCreate();
}

TServerForm::~TServerForm() {
    FormDestroy();
}

void TServerForm::FormCreate() {
    WorkLines.clear();
    BuildControls();
}

void TServerForm::FormDestroy() {
    std::vector<std::string>().swap(WorkLines);
}

void TServerForm::BuildControls() {
    setObjectName("ServerForm");
    setWindowTitle("Whois Server List");
    // Fixed border and no title-bar buttons: the dialog closes through its own buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    ListView = new QTreeWidget(this);
    ListView->setObjectName("ListView");
    ListView->setColumnCount(3);
    ListView->setHeaderLabels({tr("Whoisサーバー"), "<IP>", tr("対象ドメイン")});
    ListView->headerItem()->setTextAlignment(1, Qt::AlignCenter);
    ListView->setRootIsDecorated(false);
    ListView->setItemsExpandable(false);
    ListView->setUniformRowHeights(true);
    ListView->setAllColumnsShowFocus(true);
    ListView->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView->setSortingEnabled(false);
    ListView->header()->setSectionsClickable(false);
    ListView->header()->setSectionsMovable(false);
    ListView->header()->setStretchLastSection(true);
    ListView->setColumnWidth(0, 120);
    ListView->setColumnWidth(1, 40);
    // The selected row stays marked while the focus is in the edits.
    QPalette palette = ListView->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    ListView->setPalette(palette);

    Label1 = new QLabel(tr("サーバー名"), this);
    Label1->setObjectName("Label1");
    ServerName = new QLineEdit(this);
    ServerName->setObjectName("ServerName");
    Label1->setBuddy(ServerName);
    Label2 = new QLabel(tr("対象ドメイン"), this);
    Label2->setObjectName("Label2");
    DomainList = new QLineEdit(this);
    DomainList->setObjectName("DomainList");
    Label2->setBuddy(DomainList);

    IPWhois = new srvsetup::RadioGroup(tr("<IP>アドレスの検索"), {tr("検索する"), tr("検索しない")},
                                       this);
    IPWhois->setObjectName("IPWhois");
    for (int i = 0; i < IPWhois->Count(); ++i)
        IPWhois->Item(i)->setObjectName(QString("IPWhois%1").arg(i));

    AddBtn = MakeButton(tr("追加"), "AddBtn", this);
    ReplaceBtn = MakeButton(tr("置換"), "ReplaceBtn", this);
    DeleteBtn = MakeButton(tr("削除"), "DeleteBtn", this);
    UpBtn = MakeArrowButton(Qt::UpArrow, "UpBtn", this);
    DownBtn = MakeArrowButton(Qt::DownArrow, "DownBtn", this);
    UpdateBtn = MakeButton(tr("更新"), "UpdateBtn", this);
    CancelBtn = MakeButton(tr("取消し"), "CancelBtn", this);
    for (QWidget* button : {static_cast<QWidget*>(AddBtn), static_cast<QWidget*>(ReplaceBtn),
                            static_cast<QWidget*>(DeleteBtn), static_cast<QWidget*>(UpBtn),
                            static_cast<QWidget*>(DownBtn)})
        button->setEnabled(false);

    auto* arrows = new QVBoxLayout;
    arrows->setSpacing(2);
    arrows->addWidget(UpBtn, 0, Qt::AlignHCenter);
    arrows->addWidget(DownBtn, 0, Qt::AlignHCenter);

    auto* side = new QVBoxLayout;
    side->addWidget(Label1);
    side->addWidget(ServerName);
    side->addWidget(Label2);
    side->addWidget(DomainList);
    side->addWidget(IPWhois);
    side->addWidget(AddBtn);
    side->addWidget(ReplaceBtn);
    side->addWidget(DeleteBtn);
    side->addLayout(arrows);
    side->addStretch(1);
    side->addWidget(UpdateBtn);
    side->addWidget(CancelBtn);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(ListView, 1);
    layout->addLayout(side);

    QWidget::setTabOrder(ServerName, DomainList);
    QWidget::setTabOrder(DomainList, AddBtn);
    QWidget::setTabOrder(AddBtn, ReplaceBtn);
    QWidget::setTabOrder(ReplaceBtn, DeleteBtn);
    QWidget::setTabOrder(DeleteBtn, UpdateBtn);
    QWidget::setTabOrder(UpdateBtn, CancelBtn);
    QWidget::setTabOrder(CancelBtn, ListView);
    QWidget::setTabOrder(ListView, IPWhois->Item(0));
    QWidget::setTabOrder(IPWhois->Item(0), IPWhois->Item(1));

    connect(ListView, &QTreeWidget::itemSelectionChanged, this,
            &TServerForm::ListViewSelectionChanged);
    connect(ServerName, &QLineEdit::textChanged, this, &TServerForm::ServerNameChange);
    connect(AddBtn, &QPushButton::clicked, this, &TServerForm::AddBtnClick);
    connect(ReplaceBtn, &QPushButton::clicked, this, &TServerForm::ReplaceBtnClick);
    connect(DeleteBtn, &QPushButton::clicked, this, &TServerForm::DeleteBtnClick);
    connect(UpBtn, &QToolButton::clicked, this, &TServerForm::UpBtnClick);
    connect(DownBtn, &QToolButton::clicked, this, &TServerForm::DownBtnClick);
    connect(UpdateBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    // The design size, grown where the fonts need more room for the controls at the side.
    setFixedSize(QSize(520, 320).expandedTo(minimumSizeHint()));
}

void TServerForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

bool TServerForm::EditServers(std::vector<std::string>& Lines) {
    WorkLines = Lines;
    ReloadList();
    setResult(QDialog::Rejected);
    int code;
    if (ModalHook) {
        show();
        ModalHook(*this);
        code = result();
        hide();
    } else {
        code = exec();
    }
    if (code != QDialog::Accepted)
        return false;
    Lines = WorkLines;
    return true;
}

void TServerForm::ShowLine(int Index, QTreeWidgetItem* Row) {
    if (!Row || Index < 0 || Index >= static_cast<int>(WorkLines.size()))
        return;
    const srvsetup::ServerRow row = srvsetup::MakeServerRow(WorkLines[Index]);
    Row->setText(0, Text(row.Server));
    Row->setText(1, Text(row.IPFlag));
    Row->setTextAlignment(1, Qt::AlignCenter);
    Row->setText(2, Text(row.Domains));
    // A row is read by its server's name: the column grows to the longest name (never below
    // its designed width) rather than cut one; the domains column keeps the rest.
    ListView->resizeColumnToContents(0);
    ListView->setColumnWidth(0, std::max(120, ListView->columnWidth(0)));
}

void TServerForm::ReloadList() {
    ListView->setUpdatesEnabled(false);
    {
        const QSignalBlocker quiet(ListView);
        ListView->clear();
        for (int i = 0; i < static_cast<int>(WorkLines.size()); ++i)
            ShowLine(i, new QTreeWidgetItem(ListView));
    }
    ListView->setUpdatesEnabled(true);
    // No row is selected now, so the edits and row buttons show nothing.
    ListViewSelectItem(nullptr, false);
}

void TServerForm::SwapLines(int A, int B) {
    const int count = static_cast<int>(WorkLines.size());
    if (A < 0 || B < 0 || A >= count || B >= count || A == B)
        return;
    std::swap(WorkLines[A], WorkLines[B]);
    ShowLine(A, ListView->topLevelItem(A));
    ShowLine(B, ListView->topLevelItem(B));
    // Row A now holds the moved line: the selection follows it and the edits and arrows are
    // set again for its new place.
    ListView->setCurrentItem(ListView->topLevelItem(A));
    ListView->scrollToItem(ListView->topLevelItem(A));
}

void TServerForm::ListViewSelectionChanged() {
    const QList<QTreeWidgetItem*> selected = ListView->selectedItems();
    if (selected.isEmpty())
        ListViewSelectItem(nullptr, false);
    else
        ListViewSelectItem(selected.first(), true);
}

void TServerForm::ListViewSelectItem(QTreeWidgetItem* Item, bool Selected) {
    if (Selected && Item) {
        const QString flag = Item->text(1);
        IPWhois->SetItemIndex(flag == "+" ? 0 : flag == "-" ? 1 : -1);
        ServerName->setText(Item->text(0));
        DomainList->setText(Item->text(2));
        const int index = ListView->indexOfTopLevelItem(Item);
        UpBtn->setEnabled(index > 0);
        DownBtn->setEnabled(index >= 0 && index + 1 < ListView->topLevelItemCount());
    } else {
        Selected = false;
        UpBtn->setEnabled(false);
        DownBtn->setEnabled(false);
        IPWhois->SetItemIndex(-1);
        ServerName->clear();
        DomainList->clear();
    }
    DeleteBtn->setEnabled(Selected);
    ReplaceBtn->setEnabled(Selected);
}

void TServerForm::ServerNameChange() {
    AddBtn->setEnabled(!ServerName->text().isEmpty());
}

std::string TServerForm::EditedLine() const {
    return srvsetup::BuildServerLine(ServerName->text().toStdString(), IPWhois->ItemIndex(),
                                     DomainList->text().toStdString());
}

int TServerForm::SelectedIndex() const {
    const QList<QTreeWidgetItem*> selected = ListView->selectedItems();
    if (selected.isEmpty())
        return -1;
    const int index = ListView->indexOfTopLevelItem(selected.first());
    return index < static_cast<int>(WorkLines.size()) ? index : -1;
}

void TServerForm::AddBtnClick() {
    if (ServerName->text().isEmpty())
        return;
    WorkLines.push_back(EditedLine());
    auto* row = new QTreeWidgetItem(ListView);
    ShowLine(static_cast<int>(WorkLines.size()) - 1, row);
    ListView->setCurrentItem(row);
    ListView->scrollToItem(row);
}

void TServerForm::ReplaceBtnClick() {
    const int index = SelectedIndex();
    if (index < 0)
        return;
    WorkLines[index] = EditedLine();
    ShowLine(index, ListView->topLevelItem(index));
}

void TServerForm::DeleteBtnClick() {
    const int index = SelectedIndex();
    if (index < 0)
        return;
    WorkLines.erase(WorkLines.begin() + index);
    ReloadList();
}

void TServerForm::UpBtnClick() {
    const int index = SelectedIndex();
    if (index > 0)
        SwapLines(index - 1, index);
}

void TServerForm::DownBtnClick() {
    const int index = SelectedIndex();
    if (index >= 0 && index + 1 < static_cast<int>(WorkLines.size()))
        SwapLines(index + 1, index);
}
