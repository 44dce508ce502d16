#include "controls/BevLabel.h"

#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

namespace {

const QColor kShadow(128, 128, 128);
const QColor kHighlight(255, 255, 255);
const QColor kFace(192, 192, 192);
const QColor kInk(0, 0, 0);

// The rows and columns that hold text: pixels far darker than any frame or fill colour.
struct Ink {
    int top = -1, bottom = -1, left = -1, right = -1;
    bool any() const { return top >= 0; }
};

class BevelLabelTest : public ::testing::Test {
protected:
    void SetUp() override {
        QPalette pal = label.palette();
        pal.setColor(QPalette::Dark, kShadow);
        pal.setColor(QPalette::Light, kHighlight);
        pal.setColor(QPalette::Window, kFace);
        pal.setColor(QPalette::WindowText, kInk);
        label.setPalette(pal);
        label.resize(120, 40);
    }
    QImage Shot() { return label.grab().toImage().convertToFormat(QImage::Format_RGB32); }
    static QColor At(const QImage& image, int x, int y) { return image.pixelColor(x, y); }
    static Ink FindInk(const QImage& image) {
        Ink ink;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qGray(image.pixel(x, y)) < 64) {
                    if (ink.top < 0)
                        ink.top = y;
                    ink.bottom = y;
                    if (ink.left < 0 || x < ink.left)
                        ink.left = x;
                    ink.right = std::max(ink.right, x);
                }
        return ink;
    }

    TBevelLabel label;
};

TEST_F(BevelLabelTest, ANewLabelHasTheDocumentedDefaults) {
    EXPECT_EQ(label.BevelInner(), bvLowered);
    EXPECT_EQ(label.BevelOuter(), bvNone);
    EXPECT_EQ(label.BevelWidth(), 1);
    EXPECT_EQ(label.BorderWidth(), 0);
    EXPECT_FALSE(label.Down());
    EXPECT_EQ(label.TextBorder(), 0);
    EXPECT_EQ(label.LineBorder(), 0);
    EXPECT_EQ(label.TextOffset(), 0);
}

TEST_F(BevelLabelTest, DefaultsShowAOnePixelSunkenFrameAndTopLeftText) {
    label.setText(QStringLiteral("Wg"));
    const QImage shot = Shot();
    EXPECT_EQ(At(shot, 0, 0), kShadow);
    EXPECT_EQ(At(shot, 0, 20), kShadow);
    EXPECT_EQ(At(shot, 60, 0), kShadow);
    EXPECT_EQ(At(shot, 119, 39), kHighlight);
    EXPECT_EQ(At(shot, 119, 0), kHighlight);
    EXPECT_EQ(At(shot, 60, 39), kHighlight);
    EXPECT_EQ(At(shot, 1, 1), kFace);
    EXPECT_EQ(At(shot, 118, 38), kFace);
    const Ink ink = FindInk(shot);
    ASSERT_TRUE(ink.any());
    EXPECT_LE(ink.left, 4);
    EXPECT_LE(ink.top, 1 + label.fontMetrics().ascent());
    EXPECT_LT(ink.bottom, 1 + label.fontMetrics().height());
}

TEST_F(BevelLabelTest, DownOnANewLabelChangesNothingAndBackRaisesTheFrame) {
    label.setText(QStringLiteral("x"));
    const QImage before = Shot();
    label.SetDown(true);
    EXPECT_EQ(Shot(), before);
    label.SetDown(false);
    EXPECT_EQ(label.BevelInner(), bvRaised);
    const QImage raised = Shot();
    EXPECT_EQ(At(raised, 0, 0), kHighlight);
    EXPECT_EQ(At(raised, 119, 39), kShadow);
}

TEST_F(BevelLabelTest, DownAlsoDropsTheOuterBevel) {
    label.SetBevelOuter(bvRaised);
    label.SetDown(true);
    EXPECT_EQ(label.BevelOuter(), bvNone);
    EXPECT_EQ(label.BevelInner(), bvLowered);
    // Writing the same value again changes nothing.
    label.SetBevelOuter(bvRaised);
    label.SetDown(true);
    EXPECT_EQ(label.BevelOuter(), bvRaised);
}

TEST_F(BevelLabelTest, FramesStackOuterBorderInnerFromTheEdge) {
    label.SetBevelOuter(bvRaised);
    label.SetBorderWidth(2);
    label.SetColor(QColor(200, 0, 0));
    label.SetBevelWidth(1);
    const QImage shot = Shot();
    EXPECT_EQ(At(shot, 0, 10), kHighlight);        // outer, raised: light left edge
    EXPECT_EQ(At(shot, 1, 10), QColor(200, 0, 0)); // the plain border, two pixels
    EXPECT_EQ(At(shot, 2, 10), QColor(200, 0, 0));
    EXPECT_EQ(At(shot, 3, 10), kShadow);           // inner, lowered: dark left edge
    EXPECT_EQ(At(shot, 4, 10), QColor(200, 0, 0)); // the fill
    EXPECT_EQ(At(shot, 119, 10), kShadow);
    EXPECT_EQ(At(shot, 116, 10), kHighlight);
}

TEST_F(BevelLabelTest, BevelWidthWidensEachBevel) {
    label.SetBevelWidth(3);
    const QImage shot = Shot();
    for (int x = 0; x < 3; ++x)
        EXPECT_EQ(At(shot, x, 20), kShadow) << x;
    EXPECT_EQ(At(shot, 3, 20), kFace);
    for (int x = 117; x < 120; ++x)
        EXPECT_EQ(At(shot, x, 20), kHighlight) << x;
}

TEST_F(BevelLabelTest, TextBorderAndCentreLayoutCentreASingleLine) {
    label.setText(QStringLiteral("Hx"));
    label.SetTextBorder(4);
    label.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const QImage centred = Shot();
    const Ink ink = FindInk(centred);
    ASSERT_TRUE(ink.any());
    // The area inside the frame and the margin is 5..34; the text's line box sits in the
    // middle of it.
    const int lineHeight = label.fontMetrics().height();
    const int lineTop = 5 + (30 + 1 - lineHeight) / 2;
    EXPECT_GE(ink.top, lineTop);
    EXPECT_LE(ink.bottom, lineTop + lineHeight);
    EXPECT_GE(ink.left, 5);

    label.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    const Ink top = FindInk(Shot());
    EXPECT_LT(top.top, ink.top);
    EXPECT_GE(top.top, 5);
}

TEST_F(BevelLabelTest, BottomLayoutAndTextOffsetMoveTheText) {
    label.setText(QStringLiteral("Hx"));
    const Ink plain = FindInk(Shot());
    label.setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    label.SetTextOffset(10);
    const Ink moved = FindInk(Shot());
    EXPECT_EQ(moved.left, plain.left + 10);
    EXPECT_GT(moved.top, plain.top + 10);
}

TEST_F(BevelLabelTest, AnAmpersandIsDrawnAsItself) {
    label.setText(QStringLiteral("&"));
    const Ink one = FindInk(Shot());
    label.setText(QStringLiteral("&&"));
    const Ink two = FindInk(Shot());
    ASSERT_TRUE(one.any());
    EXPECT_GT(two.right - two.left, one.right - one.left);
}

TEST_F(BevelLabelTest, LineBorderDoesNotChangeTheDrawing) {
    label.setText(QStringLiteral("value"));
    const QImage before = Shot();
    label.SetLineBorder(7);
    EXPECT_EQ(label.LineBorder(), 7);
    EXPECT_EQ(Shot(), before);
}

TEST_F(BevelLabelTest, AnInvalidColourFillsWithTheWindowBackground) {
    label.SetColor(QColor(10, 200, 10));
    EXPECT_EQ(At(Shot(), 50, 20), QColor(10, 200, 10));
    label.SetColor(QColor());
    EXPECT_EQ(At(Shot(), 50, 20), kFace);
}

TEST_F(BevelLabelTest, WordWrapBreaksLongTextIntoLines) {
    label.resize(60, 80);
    label.setText(QStringLiteral("one two three four"));
    const Ink single = FindInk(Shot());
    label.setWordWrap(true);
    const Ink wrapped = FindInk(Shot());
    EXPECT_GT(wrapped.bottom - wrapped.top, 2 * label.fontMetrics().height() / 2 + 4);
    EXPECT_GT(wrapped.bottom, single.bottom);
}

TEST_F(BevelLabelTest, ACarriageReturnLineFeedBreaksTheLine) {
    label.resize(200, 80);
    label.setText(QStringLiteral("first"));
    const Ink one = FindInk(Shot());
    label.setText(QStringLiteral("first\r\nfirst"));
    const Ink two = FindInk(Shot());
    EXPECT_EQ(two.left, one.left);
    EXPECT_EQ(two.right, one.right);
    EXPECT_GE(two.bottom - one.bottom, label.fontMetrics().height() - 1);
}

} // namespace
