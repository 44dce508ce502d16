#include "controls/SpinBtns.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QResizeEvent>
#include <QToolButton>

#include <algorithm>
#include <climits>
#include <limits>

namespace {

QString NormalizeText(QString text) {
    while (text.size() >= 2 && text[0] == QLatin1Char('0'))
        text.remove(0, 1);
    if (!text.isEmpty() && text[0] == QLatin1Char('.'))
        text.prepend(QLatin1Char('0'));
    return text;
}

int Saturate(long long value) {
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

// A decimal integer with an optional sign. Digits beyond what 32 bits hold saturate, so a
// long typed number ends up at a bound instead of failing. Anything else is not a number.
bool ParseDecimal(const QString& text, long long& out) {
    int i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    if (i == text.size())
        return false;
    long long value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return false;
        // Past INT_MAX the exact value no longer matters; stop growing to avoid overflow.
        if (value <= static_cast<long long>(INT_MAX) + 1)
            value = value * 10 + (c - u'0');
    }
    out = negative ? -value : value;
    return true;
}

std::int16_t Clamp16(int value) {
    return static_cast<std::int16_t>(std::clamp(value, -32768, 32767));
}

bool IsCharacterKey(const QKeyEvent* event) {
    // Shortcuts (Ctrl, Alt, Meta) and keys that type nothing are editing commands for the
    // edit box, not characters. Delete types DEL (127) on X11 but is a command key.
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const QString text = event->text();
    return text.size() == 1 && text[0].unicode() != 0x7f;
}

} // namespace

// ---------------------------------------------------------------------------------------
// TValueEdit

TValueEdit::TValueEdit(QWidget* parent) : QLineEdit(parent) {
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setFocusPolicy(Qt::StrongFocus);
    // Only digits are typed; an input method would bypass the key filter.
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setText(QStringLiteral("0"));
    resize(40, sizeHint().height());
    connect(this, &QLineEdit::textChanged, this, [this] { TextChanged(); });
}

std::string TValueEdit::Normalize(const std::string& text) {
    return NormalizeText(QString::fromStdString(text)).toStdString();
}

void TValueEdit::SetMaxColumn(int value) {
    if (value == FMaxColumn)
        return;
    FMaxColumn = value;
    TextChanged();
}

void TValueEdit::SetScale(int value) {
    // A positive Scale also cuts decimals that the text already has beyond it, so that the
    // scaled value and the typing limit agree with the text.
    if (value > 0) {
        QString t = text();
        const int dot = t.indexOf(QLatin1Char('.'));
        if (dot >= 0 && t.size() - dot - 1 > value) {
            t.truncate(dot + 1 + value);
            setText(t);
        }
    }
    FScale = value;
}

void TValueEdit::SetBase(int value) {
    if (value <= 1)
        return;
    FBase = value;
    SetScaledValue(ScaledValue());
}

int TValueEdit::Value() const {
    QString t = text();
    if (t.isEmpty())
        return 0;
    const int dot = t.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        t.remove(dot, 1);
    long long value = 0;
    return ParseDecimal(t, value) ? Saturate(value) : 0;
}

void TValueEdit::SetValue(int value) {
    setText(QString::number(value));
}

int TValueEdit::ScaledValue() const {
    QString t = text();
    if (t.isEmpty())
        t = QStringLiteral("0");
    int decimals = 0;
    const int dot = t.indexOf(QLatin1Char('.'));
    if (dot >= 0) {
        decimals = t.size() - dot - 1;
        t.remove(dot, 1);
    }
    for (; decimals < FScale; ++decimals)
        t.append(QLatin1Char('0'));
    long long value = 0;
    if (!ParseDecimal(t, value))
        return 0;
    long long scaled = 0;
    if (__builtin_mul_overflow(value, static_cast<long long>(FBase), &scaled))
        scaled = value < 0 ? LLONG_MIN : LLONG_MAX;
    return Saturate(scaled);
}

void TValueEdit::SetScaledValue(int value) {
    const long long quotient = static_cast<long long>(value) / FBase;
    // The sign stays in front of the padded digits ("-0.05", not "0.-5").
    QString digits = QString::number(quotient < 0 ? -quotient : quotient);
    if (FScale > 0) {
        while (digits.size() <= FScale)
            digits.prepend(QLatin1Char('0'));
        digits.insert(digits.size() - FScale, QLatin1Char('.'));
    }
    if (quotient < 0)
        digits.prepend(QLatin1Char('-'));
    setText(digits);
}

void TValueEdit::ReplaceText(const QString& replacement) {
    const int caret = cursorPosition() + static_cast<int>(replacement.size() - text().size());
    setText(replacement);
    setCursorPosition(std::clamp(caret, 0, static_cast<int>(replacement.size())));
}

void TValueEdit::TextChanged() {
    if (FInChange)
        return;
    {
        FInChange = true;
        struct Reset {
            bool& flag;
            ~Reset() { flag = false; }
        } reset{FInChange};

        QString t = NormalizeText(text());
        if (t != text())
            ReplaceText(t);
        if (FMaxColumn > 0 && t.size() > FMaxColumn) {
            // The characters typed last are the ones kept.
            t = NormalizeText(t.right(FMaxColumn));
            setText(t);
            setCursorPosition(static_cast<int>(t.size()));
        }
    }
    if (OnChange)
        OnChange();
}

void TValueEdit::keyPressEvent(QKeyEvent* event) {
    // A read-only edit must not have its text rewritten by the key handling either.
    if (!IsCharacterKey(event) || isReadOnly()) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    const char16_t c = event->text()[0].unicode();
    const QString before = text();
    const int dot = before.indexOf(QLatin1Char('.'));

    if (dot >= 0 && c == u'.') {
        event->accept();
        return;
    }
    const int caret = hasSelectedText() ? selectionStart() : cursorPosition();
    if (dot >= 0 && caret >= dot + 1 && FScale > 0 && before.size() - dot - 1 >= FScale &&
        c >= u' ') {
        event->accept();
        return;
    }
    if (!(c < u' ' || c == u'.' || (c >= u'0' && c <= u'9'))) {
        event->accept();
        return;
    }

    // The key is accepted. The text and the inserted key are one change: the change
    // handling runs once afterwards, not on the intermediate text.
    {
        FInChange = true;
        struct Reset {
            bool& flag;
            ~Reset() { flag = false; }
        } reset{FInChange};

        // Drops a lone leading "0" before the key arrives, so 5 typed into 0 gives 5.
        QString prepared = NormalizeText(before + QChar(c));
        prepared.chop(1);
        if (prepared != before)
            ReplaceText(prepared);

        char key = static_cast<char>(c);
        if (OnKeyPress)
            OnKeyPress(key);
        if (key == static_cast<char>(c)) {
            QLineEdit::keyPressEvent(event);
        } else if (key != 0) {
            QKeyEvent changed(event->type(), event->key(), event->modifiers(),
                              QString(QChar(static_cast<unsigned char>(key))));
            QLineEdit::keyPressEvent(&changed);
        }
        event->accept();
    }
    if (text() != before)
        TextChanged();
}

// ---------------------------------------------------------------------------------------
// TUpDown

TUpDown::TUpDown(QWidget* parent)
    : QWidget(parent), FUp(new QToolButton(this)), FDown(new QToolButton(this)) {
    setFocusPolicy(Qt::NoFocus);
    for (QToolButton* button : {FUp, FDown}) {
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoRepeat(true);
    }
    FUp->setArrowType(Qt::UpArrow);
    FDown->setArrowType(Qt::DownArrow);
    FUp->setObjectName(QStringLiteral("UpButton"));
    FDown->setObjectName(QStringLiteral("DownButton"));
    connect(FUp, &QToolButton::clicked, this, [this] {
        StepBy(1);
        if (OnClick)
            OnClick();
    });
    connect(FDown, &QToolButton::clicked, this, [this] {
        StepBy(-1);
        if (OnClick)
            OnClick();
    });
    resize(16, 22);
}

int TUpDown::Limit(std::int64_t value) const {
    if (value > FMax)
        value = FMax;
    if (value < FMin)
        value = FMin;
    return static_cast<int>(value);
}

void TUpDown::SetPosition(int value) {
    FPosition = static_cast<std::int16_t>(Limit(value));
}

// Bounds beyond 16 bits are held at the nearest 16-bit number rather than wrapped.
void TUpDown::SetMin(int value) {
    FMin = Clamp16(value);
}
void TUpDown::SetMax(int value) {
    FMax = Clamp16(value);
}

void TUpDown::StepBy(int direction) {
    SetPosition(Limit(static_cast<std::int64_t>(FPosition) +
                      static_cast<std::int64_t>(FIncrement) * direction));
}

void TUpDown::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int upHeight = height() / 2;
    FUp->setGeometry(0, 0, width(), upHeight);
    FDown->setGeometry(0, upHeight, width(), height() - upHeight);
}

// ---------------------------------------------------------------------------------------
// TValueSpin

TValueSpin::TValueSpin(QWidget* parent)
    : QWidget(parent), FEdit(new TValueEdit(this)), FUpDown(new TUpDown(this)) {
    setFocusPolicy(Qt::StrongFocus);
    FEdit->setFocusPolicy(Qt::ClickFocus);
    FEdit->installEventFilter(this);
    FEdit->OnChange = [this] { EditChanged(); };
    FUpDown->OnClick = [this] { SetValue(FUpDown->Position()); };
    WriteEdit(0);
    resize(58, FEdit->height());
}

QSize TValueSpin::sizeHint() const {
    return QSize(58, FEdit->sizeHint().height());
}

int TValueSpin::Value() const {
    return FUpDown->Position();
}

void TValueSpin::SetValue(int value) {
    FUpDown->SetPosition(value);
    WriteEdit(FUpDown->Position());
    if (OnChange)
        OnChange();
}

int TValueSpin::Min() const {
    return FUpDown->Min();
}

void TValueSpin::SetMin(int value) {
    FUpDown->SetMin(value);
    if (FEdit->Value() < FUpDown->Min())
        FEdit->SetValue(FUpDown->Min());
}

int TValueSpin::Max() const {
    return FUpDown->Max();
}

void TValueSpin::SetMax(int value) {
    FUpDown->SetMax(value);
    if (FEdit->Value() > FUpDown->Max())
        FEdit->SetValue(FUpDown->Max());
}

int TValueSpin::Increment() const {
    return FUpDown->Increment();
}
void TValueSpin::SetIncrement(int value) {
    FUpDown->SetIncrement(value);
}

void TValueSpin::EditChanged() {
    if (!FWriting)
        SetValue(FEdit->Value());
}

void TValueSpin::Step(int direction) {
    FUpDown->StepBy(direction);
    SetValue(FUpDown->Position());
}

void TValueSpin::WriteEdit(int value) {
    FWriting = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{FWriting};
    FEdit->SetValue(value);
}

void TValueSpin::keyPressEvent(QKeyEvent* event) {
    // With the focus on the container itself the arrows step by 1, not by Increment.
    if (event->key() == Qt::Key_Up) {
        SetValue(Value() + 1);
        event->accept();
    } else if (event->key() == Qt::Key_Down) {
        SetValue(Value() - 1);
        event->accept();
    } else {
        QWidget::keyPressEvent(event);
    }
}

bool TValueSpin::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FEdit) {
        switch (event->type()) {
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Up || key == Qt::Key_Down) {
                Step(key == Qt::Key_Up ? 1 : -1);
                return true;
            }
            break;
        }
        case QEvent::FocusIn:
            FocusEnteredPart();
            break;
        case QEvent::FocusOut:
            // Qt names the new focus widget before it sends the focus-out event.
            FEditHandedFocusTo = QApplication::focusWidget();
            FocusLeftPart(static_cast<QFocusEvent*>(event));
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TValueSpin::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    const bool fromEdit = FEditHandedFocusTo == this;
    FEditHandedFocusTo = nullptr;
    FocusEnteredPart();
    if (!fromEdit)
        FEdit->setFocus(event->reason());
}

void TValueSpin::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    FocusLeftPart(event);
}

void TValueSpin::FocusEnteredPart() {
    if (FFocusWithin)
        return;
    FFocusWithin = true;
    if (OnEnter)
        OnEnter();
}

void TValueSpin::FocusLeftPart(QFocusEvent* event) {
    // Switching to another window or opening a popup does not leave the control.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    QWidget* now = QApplication::focusWidget();
    if (now == this || (now && isAncestorOf(now)))
        return;
    if (!FFocusWithin)
        return;
    FFocusWithin = false;
    if (OnExit)
        OnExit();
}

void TValueSpin::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int buttons = FUpDown->width();
    FUpDown->setGeometry(width() - buttons, 0, buttons, height());
    FEdit->setGeometry(0, 0, std::max(0, width() - buttons - 2), height());
}
