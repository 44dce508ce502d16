#pragma once

#include <QLineEdit>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>

class QToolButton;

// A right-aligned number edit. It keeps its text a plain decimal number: leading zeros go,
// a leading "." gets a "0" in front, and only digits, one "." and control keys are typed.
// With Scale it limits the decimals typed; with Base it reads and writes a scaled value.
class TValueEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TValueEdit(QWidget* parent = nullptr);

    int MaxColumn() const { return FMaxColumn; }
    void SetMaxColumn(int value);
    int Scale() const { return FScale; }
    void SetScale(int value);
    int Base() const { return FBase; }
    void SetBase(int value);

    // The text with its first "." removed, as a decimal integer; 0 for an empty text.
    // A number beyond 32 bits saturates instead of failing; text that is not a number
    // (pasted, say) reads as 0.
    int Value() const;
    void SetValue(int value);

    // The value in units of Base with Scale decimals: with Scale 2, "1.5" is 150 * Base.
    int ScaledValue() const;
    void SetScaledValue(int value);

    // Raised after every change of the text, once it is normalised.
    std::function<void()> OnChange;
    // Raised for an accepted key before it is inserted; setting Key to 0 drops it.
    std::function<void(char& Key)> OnKeyPress;

    // The normal form of a number text: no leading zeros before another character, and a
    // "0" before a leading ".". Exposed for the spin control.
    static std::string Normalize(const std::string& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void TextChanged();
    // Writes the text without running the change handling; keeps the caret where it was,
    // shifted by the change in length.
    void ReplaceText(const QString& text);

    int FMaxColumn = 0;
    int FScale = 0;
    int FBase = 1;
    bool FInChange = false;
};

class TUpDown;

// A TValueEdit with up and down buttons at its right edge. Value, Min and Max are held by
// the buttons as signed 16-bit numbers; the edit always settles on a value within them.
class TValueSpin : public QWidget {
    Q_OBJECT
public:
    explicit TValueSpin(QWidget* parent = nullptr);

    int Value() const;
    void SetValue(int value);
    int Min() const;
    void SetMin(int value);
    int Max() const;
    void SetMax(int value);
    int Increment() const;
    void SetIncrement(int value);

    TValueEdit* Edit() const { return FEdit; }
    TUpDown* UpDown() const { return FUpDown; }

    QSize sizeHint() const override;

    std::function<void()> OnChange;
    std::function<void()> OnEnter;
    std::function<void()> OnExit;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void EditChanged();
    void Step(int delta);
    void WriteEdit(int value);
    void FocusEnteredPart();
    void FocusLeftPart(QFocusEvent* event);

    TValueEdit* FEdit;
    TUpDown* FUpDown;
    bool FWriting = false;
    bool FFocusWithin = false;
    QWidget* FEditHandedFocusTo = nullptr;
};

// The up-down button pair: a position within Min to Max, stepped by Increment. Position,
// Min and Max are 16-bit like the platform control it stands in for.
class TUpDown : public QWidget {
    Q_OBJECT
public:
    explicit TUpDown(QWidget* parent = nullptr);

    int Position() const { return FPosition; }
    // Sets the position limited to Min to Max (Min wins if the bounds are crossed).
    void SetPosition(int value);
    int Min() const { return FMin; }
    void SetMin(int value);
    int Max() const { return FMax; }
    void SetMax(int value);
    int Increment() const { return FIncrement; }
    void SetIncrement(int value) { FIncrement = value; }

    // Moves the position by Increment times the direction (+1 or -1), within the bounds.
    void StepBy(int direction);
    int Limit(std::int64_t value) const;

    QToolButton* UpButton() const { return FUp; }
    QToolButton* DownButton() const { return FDown; }

    // Raised after a button click moved (or tried to move) the position.
    std::function<void()> OnClick;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QToolButton* FUp;
    QToolButton* FDown;
    std::int16_t FPosition = 0;
    std::int16_t FMin = 0;
    std::int16_t FMax = 100;
    std::int32_t FIncrement = 1;
};
