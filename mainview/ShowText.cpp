#include "mainview/ShowText.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWindow>

std::function<void(TShowForm&)> TShowForm::ModalHook;

TShowForm::TShowForm(QWidget* owner) : QDialog(owner) {
    setObjectName("ShowForm");
    // No caption and no window buttons; the single border is drawn by paintEvent.
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    QFont font("ＭＳ Ｐゴシック");
    font.setPixelSize(12);
    setFont(font);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setFrameShape(QFrame::NoFrame);
    Memo1->setReadOnly(true);
    // A vertical scroll bar only: long lines wrap at the window's width.
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setFocusPolicy(Qt::ClickFocus); // not reachable by the tab key
    Memo1->setContextMenuPolicy(Qt::CustomContextMenu);
    Memo1->viewport()->installEventFilter(this);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    Close1 = PopupMenu1->addAction(tr("閉じる"));
    Close1->setObjectName("Close1");
    connect(Close1, &QAction::triggered, this, &TShowForm::CloseClick);
    connect(Memo1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu1->popup(Memo1->mapToGlobal(pos)); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(Memo1);
    resize(558 + 2, 420 + 2);
}

int TShowForm::ShowModal() {
    if (!ModalHook)
        return exec();
    setResult(QDialog::Rejected);
    show();
    ModalHook(*this);
    hide();
    return result();
}

void TShowForm::CloseClick() {
    DragEnd();
    close();
}

void TShowForm::Memo1MouseDown(Qt::MouseButton Button, const QPointF& GlobalPos) {
    if (Button != Qt::LeftButton)
        return;
    // The drag begins only when the mouse moves: a press that starts the platform's move
    // at once would swallow the second click of a double click.
    FPressed = true;
    FMoving = false;
    FPressPos = GlobalPos;
    FWindowPos = pos();
}

bool TShowForm::DragMove(const QPointF& globalPos, Qt::MouseButtons buttons) {
    if (!(buttons & Qt::LeftButton)) {
        DragEnd();
        return false;
    }
    if (FMoving) {
        move(FWindowPos + (globalPos - FPressPos).toPoint());
        return true;
    }
    if (!FPressed)
        return false;
    if ((globalPos - FPressPos).manhattanLength() < QApplication::startDragDistance())
        return true;
    FPressed = false;
    QWindow* window = windowHandle();
    if (window && window->startSystemMove())
        return true;
    FMoving = true; // the platform cannot move it for us: follow the mouse by hand
    move(FWindowPos + (globalPos - FPressPos).toPoint());
    return true;
}

void TShowForm::DragEnd() {
    FPressed = false;
    FMoving = false;
}

bool TShowForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched != Memo1->viewport())
        return QDialog::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            CloseClick();
            return true;
        }
        break;
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        Memo1MouseDown(mouse->button(), mouse->globalPosition());
        if (mouse->button() == Qt::LeftButton) {
            Memo1->setFocus(Qt::MouseFocusReason);
            return true; // no text selection by the drag
        }
        break;
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (DragMove(mouse->globalPosition(), mouse->buttons()))
            return true;
        break;
    }
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && (FPressed || FMoving)) {
            DragEnd();
            return true;
        }
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void TShowForm::mousePressEvent(QMouseEvent* event) {
    Memo1MouseDown(event->button(), event->globalPosition());
    QDialog::mousePressEvent(event);
}

void TShowForm::mouseMoveEvent(QMouseEvent* event) {
    if (!DragMove(event->globalPosition(), event->buttons()))
        QDialog::mouseMoveEvent(event);
}

void TShowForm::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        DragEnd();
    QDialog::mouseReleaseEvent(event);
}

void TShowForm::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TShowForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (FCentred)
        return;
    FCentred = true;
    // Centred with the size the caller gave it before showing.
    if (QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}
