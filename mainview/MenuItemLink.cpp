#include "mainview/MenuItemLink.h"

#include <QAction>
#include <QMenu>

namespace mainview {

QAction* LinkMenuItem(QMenu* menu, QAction* action, const char* name, const QString& caption) {
    auto* item = new QAction(menu);
    item->setObjectName(QString::fromLatin1(name));
    item->setCheckable(action->isCheckable());
    item->setIconVisibleInMenu(true);
    const bool ownCaption = !caption.isEmpty();
    if (ownCaption)
        item->setText(caption);
    auto follow = [item, action, ownCaption] {
        if (!ownCaption)
            item->setText(action->text());
        item->setIcon(action->icon());
        item->setEnabled(action->isEnabled());
        item->setVisible(action->isVisible());
        item->setChecked(action->isChecked());
        item->setStatusTip(action->statusTip());
        item->setToolTip(action->toolTip());
    };
    follow();
    QObject::connect(action, &QAction::changed, item, follow);
    QObject::connect(action, &QAction::toggled, item, follow);
    // The action toggles itself when triggered; the item only passes the click on.
    QObject::connect(item, &QAction::triggered, action, [item, action] {
        item->setChecked(action->isChecked());
        action->trigger();
    });
    menu->addAction(item);
    return item;
}

} // namespace mainview
