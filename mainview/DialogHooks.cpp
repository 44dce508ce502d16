#include "mainview/DialogHooks.h"

#include <QFileDialog>
#include <QFontDialog>

namespace mainview {

namespace {

SaveFileHook& SaveHook() {
    static SaveFileHook hook;
    return hook;
}

FontHook& FontDialogHook() {
    static FontHook hook;
    return hook;
}

} // namespace

SaveFileHook SetSaveFileHook(SaveFileHook hook) {
    SaveFileHook previous = std::move(SaveHook());
    SaveHook() = std::move(hook);
    return previous;
}

std::optional<QString> RunSaveDialog(QWidget* parent, const SaveDialogSpec& spec) {
    if (SaveHook())
        return SaveHook()(spec);
    QFileDialog dialog(parent, spec.Title, QString(), spec.Filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(spec.DefaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().front();
}

FontHook SetFontHook(FontHook hook) {
    FontHook previous = std::move(FontDialogHook());
    FontDialogHook() = std::move(hook);
    return previous;
}

std::optional<QFont> RunFontDialog(QWidget* parent, const QFont& current) {
    if (FontDialogHook())
        return FontDialogHook()(current);
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, current, parent);
    if (!ok)
        return std::nullopt;
    return font;
}

} // namespace mainview
