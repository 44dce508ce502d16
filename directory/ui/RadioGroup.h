#pragma once

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;

namespace srvsetup {

// A titled group of exclusive radio items addressed by index, where "no item chosen" (-1) is
// a state of its own: Qt's exclusive groups cannot be unchecked without help.
class RadioGroup : public QGroupBox {
    Q_OBJECT
public:
    RadioGroup(const QString& title, const QStringList& items, QWidget* parent = nullptr);

    int ItemIndex() const;
    void SetItemIndex(int index);
    QWidget* Item(int index) const;
    int Count() const;

private:
    QButtonGroup* FButtons;
};

} // namespace srvsetup
