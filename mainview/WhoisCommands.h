#pragma once

#include <Qt>

#include <cstdint>
#include <string>

class QPlainTextEdit;
class QTreeWidgetItem;

// What the window's WHOIS commands share with the host list and with tests.
namespace mainview {

// A host list row keeps its address as text (dotted or IPv6, empty for none) in its first
// column under this role; its host name is the text of column HostNameColumn.
constexpr int HostAddressRole = Qt::UserRole;
constexpr int HostNameColumn = 3;
std::string RowAddress(const QTreeWidgetItem* row);
void SetRowAddress(QTreeWidgetItem* row, const std::string& address);

// The selected text of a text area, with its line breaks as CR LF.
std::string SelectedText(const QPlainTextEdit* memo);

} // namespace mainview
