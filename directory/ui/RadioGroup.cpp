#include "directory/ui/RadioGroup.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

namespace srvsetup {

RadioGroup::RadioGroup(const QString& title, const QStringList& items, QWidget* parent)
    : QGroupBox(title, parent), FButtons(new QButtonGroup(this)) {
    auto* layout = new QVBoxLayout(this);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        FButtons->addButton(button, i);
        layout->addWidget(button);
    }
}

int RadioGroup::ItemIndex() const {
    return FButtons->checkedId();
}

void RadioGroup::SetItemIndex(int index) {
    if (QAbstractButton* button = FButtons->button(index)) {
        button->setChecked(true);
        return;
    }
    // Unchecking the checked item of an exclusive group is refused unless exclusivity is
    // lifted for the moment.
    FButtons->setExclusive(false);
    for (QAbstractButton* button : FButtons->buttons())
        button->setChecked(false);
    FButtons->setExclusive(true);
}

QWidget* RadioGroup::Item(int index) const {
    return FButtons->button(index);
}

int RadioGroup::Count() const {
    return static_cast<int>(FButtons->buttons().size());
}

} // namespace srvsetup
