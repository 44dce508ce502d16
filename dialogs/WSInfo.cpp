#include "dialogs/WSInfo.h"

#include "controls/BevLabel.h"
#include "platform/WinSock.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <unistd.h>

namespace {

constexpr int kNameBuffer = 64; // the computer-name buffer, its terminating zero included

// A caption left of its value box. The designed positions right-align the captions just
// before the boxes; a wider desktop font grows a caption to the left, never over its box.
QLabel* Caption(QWidget* parent, const char* name, const QString& text, int left, int top) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignRight | Qt::AlignTop);
    constexpr int kRight = 96;
    const int width = std::max(kRight - left, label->fontMetrics().horizontalAdvance(text) + 1);
    label->setGeometry(std::max(0, kRight - width), top, width, 15);
    return label;
}

TBevelLabel* Value(QWidget* parent, const char* name, QRect rect, bool centred) {
    auto* box = new TBevelLabel(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->SetTextBorder(2);
    box->setGeometry(rect);
    box->setAlignment(Qt::AlignLeft | (centred ? Qt::AlignVCenter : Qt::AlignTop));
    return box;
}

} // namespace

std::string WinSockVersionText(uint16_t version) {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d", version & 0xFF, version >> 8);
    return text;
}

bool HostComputerName(std::string& name) {
    char buffer[kNameBuffer] = {};
    // A name that does not fit is a failure, as for a too small buffer on Windows.
    if (::gethostname(buffer, sizeof buffer) != 0 || buffer[sizeof buffer - 1] != '\0')
        return false;
    name = buffer;
    return true;
}

TWSDialog::TWSDialog(QWidget* parent, NameSource computerName)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("WSDialog"));
    setWindowTitle(QStringLiteral("Winsock Info"));
    QFont designed(QStringLiteral("Arial"));
    designed.setPixelSize(12);
    setFont(designed);
    setFixedSize(328, 230);

    Label8 = new QLabel(QStringLiteral("Computer Name:"), this);
    Label8->setObjectName(QStringLiteral("Label8"));
    // Its designed place, or further left when the desktop's bold font is wider; a font
    // much wider than the designed one is made smaller so the caption stays whole.
    QFont bold = font();
    bold.setBold(true);
    while (QFontMetrics(bold).horizontalAdvance(Label8->text()) > 112 && bold.pixelSize() > 9)
        bold.setPixelSize(bold.pixelSize() - 1);
    Label8->setFont(bold);
    const int nameWidth = Label8->fontMetrics().horizontalAdvance(Label8->text()) + 1;
    Label8->setGeometry(std::max(2, std::min(15, 113 - nameWidth)), 10, std::max(95, nameWidth),
                        15);
    MyName = Value(this, "MyName", QRect(115, 10, 166, 21), true);

    GroupBox1 = new QGroupBox(QStringLiteral("WinSock"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(0, 40, 328, 190);
    QWidget* g = GroupBox1;
    Label1 = Caption(g, "Label1", QStringLiteral("Version"), 52, 18);
    Version = Value(g, "Version", QRect(100, 15, 51, 22), true);
    Label2 = Caption(g, "Label2", QStringLiteral("HighVersion"), 26, 43);
    HighVersion = Value(g, "HighVersion", QRect(100, 39, 51, 22), true);
    Label4 = Caption(g, "Label4", QStringLiteral("Status"), 59, 67);
    SysStatus = Value(g, "SysStatus", QRect(100, 63, 91, 22), true);
    Label3 = Caption(g, "Label3", QStringLiteral("Description"), 31, 92);
    Description = Value(g, "Description", QRect(100, 88, 216, 22), false);
    Label5 = Caption(g, "Label5", QStringLiteral("Vendor Info"), 32, 116);
    Vendor = Value(g, "Vendor", QRect(100, 112, 216, 22), false);
    Label6 = Caption(g, "Label6", QStringLiteral("Max Sockets"), 26, 141);
    MaxSockets = Value(g, "MaxSockets", QRect(100, 136, 75, 22), false);
    Label7 = Caption(g, "Label7", QStringLiteral("Max UDP"), 44, 165);
    MaxUDP = Value(g, "MaxUDP", QRect(100, 160, 75, 22), false);

    Button1 = new QPushButton(QStringLiteral("Close"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(230, 190, 75, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

    FormCreate(computerName ? computerName : NameSource(HostComputerName));
}

void TWSDialog::ShowStatus(const QString& text) {
    SysStatus->setText(text);
    const int statusWidth = SysStatus->fontMetrics().horizontalAdvance(text) + 10;
    SysStatus->resize(std::max(statusWidth, 91), SysStatus->height());
    // The designed width, or the status box's right edge and the group's designed margin.
    const int width = std::max(328, SysStatus->x() + SysStatus->width() + 12);
    GroupBox1->resize(width, GroupBox1->height());
    setFixedSize(width, 230);
}

void TWSDialog::FormCreate(const NameSource& computerName) {
    std::string name;
    MyName->setText(computerName(name) ? QString::fromStdString(name)
                                       : QStringLiteral("(undefine)"));

    // The result is not examined: the record is shown as the call left it.
    winsock::WSADATA data;
    const int started = winsock::WSAStartup(winsock::MakeWord(1, 1), &data);
    Version->setText(QString::fromStdString(WinSockVersionText(data.wVersion)));
    HighVersion->setText(QString::fromStdString(WinSockVersionText(data.wHighVersion)));
    // The texts end at their first zero byte, within their fields.
    Description->setText(QString::fromUtf8(
        data.szDescription, int(strnlen(data.szDescription, sizeof data.szDescription))));
    ShowStatus(QString::fromUtf8(data.szSystemStatus,
                                 int(strnlen(data.szSystemStatus, sizeof data.szSystemStatus))));
    Vendor->setText(data.lpVendorInfo ? QString::fromUtf8(data.lpVendorInfo) : QString());
    MaxSockets->setText(QString::number(unsigned(data.iMaxSockets)));
    MaxUDP->setText(QString::number(unsigned(data.iMaxUdpDg)));
    // Every value can also be read whole in its tool-tip.
    for (TBevelLabel* box :
         {MyName, Version, HighVersion, SysStatus, Description, Vendor, MaxSockets, MaxUDP})
        box->setToolTip(box->text());
    // Only a start-up that succeeded is paired: a clean-up without one would end another
    // user's start-up (the engine's workers count on theirs).
    if (started == 0)
        winsock::WSACleanup();
}

void TWSDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}
