#include "dialogs/AboutBox.h"

#include "controls/BevLabel.h"
#include "dialogs/AboutForm.h"
#include "platform/qt/AppTitle.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QToolButton>
#include <QWidget>

#include <utility>

namespace {

TAboutDialog::ModalHook& Hook() {
    static TAboutDialog::ModalHook hook;
    return hook;
}

QString ToQt(const std::string& text) {
    return QString::fromStdString(text);
}

// The main window: the owner's window when the component sits on one, else the first
// top-level main window of the application.
QWidget* MainWindowOf(QObject* owner) {
    if (auto* widget = qobject_cast<QWidget*>(owner))
        return widget->window();
    for (QWidget* top : QApplication::topLevelWidgets())
        if (qobject_cast<QMainWindow*>(top))
            return top;
    return nullptr;
}

} // namespace

namespace about {

std::string VersionText(const std::string& productName, const std::string& fileVersion) {
    std::string text = productName + "\n" + "Version. " + fileVersion + ")";
    const auto dot = text.rfind('.');
    text[dot] = ' ';
    text.insert(dot, " (Build");
    return text;
}

QPoint Place(TScreenPosition position, const QRect& screen, const QRect& mainWindow,
             const QSize& box) {
    switch (position) {
    case spFormCenter:
        return {mainWindow.left() + (mainWindow.width() - box.width()) / 2,
                mainWindow.top() + (mainWindow.height() - box.height()) / 2};
    case spTopLeft:
        return {0, 0};
    case spTopRight:
        return {screen.width() - box.width() - 2, 0};
    case spBottomLeft:
        return {0, screen.height() - box.height() - 2};
    case spBottomRight:
        return {screen.width() - box.width() - 2, screen.height() - box.height() - 2};
    case spDefault:
    case spScreenCenter:
    default:
        return {(screen.width() - box.width()) / 2, (screen.height() - box.height()) / 2};
    }
}

std::string ExpandLineBreaks(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            out += "\r\n";
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace about

TAboutDialog::TAboutDialog(QObject* owner) : TAboutDialog(owner, version::OwnVersionRecord()) {}

TAboutDialog::TAboutDialog(QObject* owner, const std::optional<version::VersionRecord>& record)
    : QObject(owner) {
    ReadVersionRecord(record);
    FCaption = platform::ApplicationTitle().toStdString();
}

void TAboutDialog::ReadVersionRecord(const std::optional<version::VersionRecord>& record) {
    if (record && !record->translations.empty()) {
        const std::string prefix = version::StringFilePrefix(record->translations.front());
        std::pair<const char*, std::string*> keys[] = {
            {"CompanyName", &FCompanyName},           {"FileDescription", &FFileDescription},
            {"FileVersion", &FFileVersion},           {"InternalName", &FInternalName},
            {"LegalCopyright", &FCopyright},          {"LegalTradeMarks", &FTradeMarks},
            {"OriginalFilename", &FOriginalFilename}, {"ProductName", &FProductName},
            {"ProductVersion", &FProductVersion},     {"Comments", &FComments},
        };
        for (auto& [key, text] : keys)
            if (text->empty())
                record->QueryString(prefix + key, *text);
    }
    FComments = about::ExpandLineBreaks(FComments);
}

std::string TAboutDialog::GetVersion() const {
    const auto dot = FFileVersion.rfind('.');
    return dot == std::string::npos ? FFileVersion : FFileVersion.substr(0, dot);
}

void TAboutDialog::SetModalHook(ModalHook hook) {
    Hook() = std::move(hook);
}

void TAboutDialog::Execute() {
    QWidget* mainWindow = MainWindowOf(parent());
    // Created for this showing only; destroyed when it closes.
    TAboutForm box(mainWindow);

    box.FMailAddr = FMailAddr;
    box.FHomePage = FHomePage;
    box.MailTo->setVisible(!FMailAddr.empty());
    box.OpenWeb->setVisible(!FHomePage.empty());
    if (!FMailAddr.empty())
        QObject::connect(box.MailTo, &QToolButton::clicked, &box, &TAboutForm::MailToClick);
    if (!FHomePage.empty())
        QObject::connect(box.OpenWeb, &QToolButton::clicked, &box, &TAboutForm::OpenWebClick);
    box.MailTo->setToolTip(ToQt(FMailAddr));
    box.OpenWeb->setToolTip(ToQt(FHomePage));

    box.ProductName->setText(ToQt(FFileDescription));
    box.Version->setText(ToQt(about::VersionText(FProductName, FFileVersion)));
    box.Copyright->setText(ToQt(FCopyright));
    box.Comments->setText(ToQt(FComments));
    box.setWindowTitle(tr("%1 の情報").arg(ToQt(FCaption)));
    box.ArrangeLabels();

    QRect screen;
    if (QScreen* primary = QGuiApplication::primaryScreen())
        screen = primary->geometry();
    const QRect owner = mainWindow ? mainWindow->frameGeometry() : screen;
    box.move(about::Place(FPosition, screen, owner, box.frameGeometry().size()));

    box.ProgramIcon->setPixmap(QApplication::windowIcon().pixmap(32, 32));
    if (Hook())
        Hook()(box);
    else
        box.exec();
}
