#pragma once

#include <QString>

class QAction;
class QMenu;

namespace mainview {

// A menu item that shows an action under its own name and, when given, its own caption,
// as a Windows menu item bound to an action does: it follows the action's enabled, visible
// and checked states and its hint, and clicking it executes the action.
QAction* LinkMenuItem(QMenu* menu, QAction* action, const char* name,
                      const QString& caption = QString());

} // namespace mainview
