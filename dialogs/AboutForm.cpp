#include "dialogs/AboutForm.h"

#include "controls/BevLabel.h"
#include "platform/qt/ShellOpen.h"

#include <QApplication>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

namespace {

// The panel's docked children stay inside its bevel (1) and its border (10).
constexpr int kPanelInset = 11;

QToolButton* FlatButton(QWidget* parent, const QString& caption, const QIcon& glyph,
                        const QRect& place) {
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setText(caption);
    button->setIcon(glyph);
    button->setIconSize(QSize(16, 16));
    QPalette pal = button->palette();
    pal.setColor(QPalette::ButtonText, QColor(0, 0, 128));
    button->setPalette(pal);
    button->setGeometry(place);
    return button;
}

QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback) {
    return QIcon::fromTheme(QString::fromLatin1(name),
                            QApplication::style()->standardIcon(fallback));
}

} // namespace

TAboutForm::TAboutForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(tr("ﾊﾞｰｼﾞｮﾝ情報"));
    setFixedSize(312, 207);
    // "ＭＳ Ｐゴシック" is not on Linux: the desktop's proportional font at the same size.
    QFont face = font();
    face.setPixelSize(12);
    setFont(face);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(1);
    Panel1->setGeometry(8, 5, 294, 167);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setGeometry(10, 10, 32, 32);
    ProgramIcon->setScaledContents(true);

    ProductName = new QLabel(Panel1);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    ProductName->setTextFormat(Qt::PlainText);
    ProductName->move(60, 10);

    Version = new QLabel(Panel1);
    Version->setObjectName(QStringLiteral("Version"));
    Version->setTextFormat(Qt::PlainText);
    Version->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QFont bold = Version->font();
    bold.setBold(true);
    Version->setFont(bold);
    Version->move(60, 30);

    Copyright = new QLabel(Panel1);
    Copyright->setObjectName(QStringLiteral("Copyright"));
    Copyright->setTextFormat(Qt::PlainText);
    Copyright->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    Label1 = new QLabel(Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText);
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label1->setText(tr("本ソフトウェアは無保証で提供されます。"));

    Comments = new TBevelLabel(Panel1);
    Comments->setObjectName(QStringLiteral("Comments"));
    Comments->setWordWrap(true);
    Comments->SetBevelOuter(bvLowered);
    Comments->SetBevelInner(bvNone);
    Comments->SetTextBorder(4);
    Comments->SetLineBorder(2);

    OpenWeb = FlatButton(this, tr("作者HPを開く"),
                         ThemeIcon("internet-web-browser", QStyle::SP_DirHomeIcon),
                         QRect(5, 179, 105, 22));
    OpenWeb->setObjectName(QStringLiteral("OpenWeb"));
    MailTo =
        FlatButton(this, tr("ﾒｰﾙ送信"), ThemeIcon("mail-send", QStyle::SP_FileDialogContentsView),
                   QRect(115, 179, 94, 22));
    MailTo->setObjectName(QStringLiteral("MailTo"));

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    OKButton->setGeometry(227, 177, 75, 25);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    ArrangeLabels();
}

void TAboutForm::MailToClick() {
    platform::ShellOpen("mailto:" + FMailAddr);
}

void TAboutForm::OpenWebClick() {
    platform::ShellOpen(FHomePage);
}

void TAboutForm::ArrangeLabels() {
    ProductName->adjustSize();
    Version->adjustSize();

    const int left = kPanelInset;
    const int width = Panel1->width() - 2 * kPanelInset;
    int bottom = Panel1->height() - kPanelInset;
    Comments->setGeometry(left, bottom - 60, width, 60);
    bottom -= 60;
    Label1->setGeometry(left, bottom - 18, width, 18);
    bottom -= 18;
    // One line, as high as its font needs.
    const int height = Copyright->sizeHint().height();
    Copyright->setGeometry(left, bottom - height, width, height);
}
