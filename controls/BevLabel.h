#pragma once

#include <QColor>
#include <QLabel>

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

// A label drawn inside a three-dimensional frame, like a small panel showing one value.
// It paints itself: outer bevel, plain border, inner bevel, fill, then the text inset by
// TextBorder. The text's vertical place comes from the vertical part of alignment()
// (top by default); "&" is drawn as itself, tabs are expanded.
class TBevelLabel : public QLabel {
    Q_OBJECT
public:
    explicit TBevelLabel(QWidget* parent = nullptr);

    TBevelCut BevelInner() const { return FBevelInner; }
    void SetBevelInner(TBevelCut value);
    TBevelCut BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TBevelCut value);
    int BevelWidth() const { return FBevelWidth; }
    void SetBevelWidth(int value);
    int BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int value);
    bool Down() const { return FDown; }
    // A change lowers (true) or raises (false) the inner bevel and drops the outer one.
    void SetDown(bool value);
    int TextBorder() const { return FTextBorder; }
    void SetTextBorder(int value);
    // Kept for its owners; the painting does not use it.
    int LineBorder() const { return FLineBorder; }
    void SetLineBorder(int value);
    int TextOffset() const { return FTextOffset; }
    void SetTextOffset(int value);
    // The fill colour; an invalid colour (the default) fills with the window background.
    QColor Color() const { return FColor; }
    void SetColor(const QColor& value);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TBevelCut FBevelInner = bvLowered;
    TBevelCut FBevelOuter = bvNone;
    int FBevelWidth = 1;
    int FBorderWidth = 0;
    bool FDown = false;
    int FTextBorder = 0;
    int FLineBorder = 0;
    int FTextOffset = 0;
    QColor FColor;
};
