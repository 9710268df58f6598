#include "ui/skin/bitmap_button.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <memory>

namespace orvane {
namespace {

QImage Solid(QColor colour, QSize size = QSize(20, 10)) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(colour);
  return image;
}

// What the button draws over a known backdrop.
QImage Render(QWidget& widget, QColor backdrop = Qt::magenta) {
  QImage out(widget.size(), QImage::Format_RGB32);
  out.fill(backdrop);
  widget.render(&out, QPoint(), QRegion(), QWidget::DrawChildren);
  return out;
}

void MoveOver(QWidget& widget) {
  QPointF at(widget.rect().center());
  QMouseEvent move(QEvent::MouseMove, at, widget.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(&widget, &move);
}

class BitmapButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    button_.resize(20, 10);
    inside_ = true;
    button_.set_pointer_source(
        [this] { return button_.mapToGlobal(inside_ ? QPoint(5, 5) : QPoint(200, 200)); });
  }
  CBitmapButtonEx button_;
  bool inside_ = true;
};

TEST_F(BitmapButtonTest, PressedWithoutPressedImageShowsHoverOrNormal) {
  ASSERT_TRUE(button_.SetBitmaps(Qt::red, Solid(Qt::blue), QImage(), Solid(Qt::green)));
  button_.setDown(true);
  EXPECT_EQ(button_.ChosenSlot(), CBitmapButtonEx::kNormal);
  EXPECT_EQ(Render(button_).pixelColor(3, 3), QColor(Qt::blue));
  MoveOver(button_);
  EXPECT_EQ(button_.ChosenSlot(), CBitmapButtonEx::kHover);
  EXPECT_EQ(Render(button_).pixelColor(3, 3), QColor(Qt::green));

  button_.SetBitmaps(Qt::red, Solid(Qt::blue), Solid(Qt::yellow), Solid(Qt::green));
  EXPECT_EQ(button_.ChosenSlot(), CBitmapButtonEx::kPressed);
  button_.setDown(false);
  EXPECT_EQ(button_.ChosenSlot(), CBitmapButtonEx::kHover);
}

TEST_F(BitmapButtonTest, WithoutHoverImageTheButtonKeepsItsPictureUnderThePointer) {
  ASSERT_TRUE(button_.SetBitmaps(Qt::red, Solid(Qt::blue)));
  button_.set_caption(QStringLiteral("Update"));
  MoveOver(button_);
  ASSERT_TRUE(button_.hovering());
  EXPECT_EQ(button_.ChosenSlot(), CBitmapButtonEx::kNormal);
  EXPECT_EQ(Render(button_).pixelColor(1, 1), QColor(Qt::blue));
}

TEST_F(BitmapButtonTest, DisabledLookWithAndWithoutDisabledImage) {
  button_.SetBitmaps(Qt::red, Solid(Qt::blue));
  button_.set_caption(QStringLiteral("Save"));
  button_.set_text_color(Qt::white);
  button_.setEnabled(false);
  EXPECT_EQ(button_.ChosenSlot(), -1);
  QImage drawn = Render(button_);
  for (int y = 0; y < drawn.height(); ++y) {
    for (int x = 0; x < drawn.width(); ++x) {
      ASSERT_EQ(drawn.pixelColor(x, y), QColor(Qt::magenta)) << "nothing drawn, not even text";
    }
  }
  button_.SetBitmaps(Qt::red, Solid(Qt::blue), QImage(), QImage(), Solid(Qt::darkGray));
  button_.set_text_color(Qt::white);
  EXPECT_EQ(button_.ChosenSlot(), CBitmapButtonEx::kDisabled);
  EXPECT_EQ(button_.CaptionColor(),
            button_.palette().color(QPalette::Disabled, QPalette::WindowText));
  EXPECT_EQ(Render(button_).pixelColor(1, 1), QColor(Qt::darkGray));
  button_.setEnabled(true);
  EXPECT_EQ(button_.CaptionColor(), QColor(Qt::white));
}

TEST_F(BitmapButtonTest, HoverEndsAtTheFirstTickAfterLeaving) {
  button_.SetBitmaps(Qt::red, Solid(Qt::blue), QImage(), Solid(Qt::green));
  MoveOver(button_);
  EXPECT_TRUE(button_.hovering());
  EXPECT_TRUE(button_.hover_timer_active());
  EXPECT_EQ(button_.hover_timer_interval(), 100);
  button_.HoverTick();  // still over the button
  EXPECT_TRUE(button_.hovering());
  inside_ = false;  // the pointer left without a move event reaching us
  button_.HoverTick();
  EXPECT_FALSE(button_.hovering());
  EXPECT_FALSE(button_.hover_timer_active());
  EXPECT_EQ(Render(button_).pixelColor(3, 3), QColor(Qt::blue));
}

TEST_F(BitmapButtonTest, TransparentColourLetsTheBackdropThrough) {
  QImage image = Solid(Qt::blue);
  for (int y = 0; y < 10; ++y) image.setPixelColor(0, y, QColor(0xFF, 0x00, 0x00));
  image.setPixelColor(1, 0, QColor(0xFE, 0x00, 0x00));  // near red is not cut
  button_.SetBitmaps(QColor(0xFF, 0, 0), image);
  QImage drawn = Render(button_, Qt::yellow);
  EXPECT_EQ(drawn.pixelColor(0, 5), QColor(Qt::yellow));
  EXPECT_EQ(drawn.pixelColor(1, 0), QColor(0xFE, 0, 0));
  EXPECT_EQ(drawn.pixelColor(5, 5), QColor(Qt::blue));
}

TEST_F(BitmapButtonTest, SetBitmapsResetsCaptionColourAndReportsMissingImages) {
  button_.set_text_color(Qt::white);
  EXPECT_FALSE(button_.SetBitmaps(Qt::red, QImage()));
  EXPECT_EQ(button_.text_color(), QColor(Qt::black));
  EXPECT_TRUE(button_.SetBitmaps(Qt::red, 202));
  EXPECT_FALSE(button_.SetBitmaps(Qt::red, 202, 0, 99999));  // a named picture is missing
  EXPECT_TRUE(button_.has_image(CBitmapButtonEx::kNormal));
  EXPECT_FALSE(button_.has_image(CBitmapButtonEx::kHover));
  EXPECT_FALSE(button_.SetBitmaps(Qt::red, 99999));
}

TEST_F(BitmapButtonTest, SetUpSizesToTheImageAndFontFollowsPoints) {
  ASSERT_TRUE(button_.SetUp(237, 238, QPoint(679, 550), QStringLiteral("Go"), 9, Qt::white));
  EXPECT_EQ(button_.size(), QSize(113, 31));
  EXPECT_EQ(button_.pos(), QPoint(679, 550));
  EXPECT_EQ(button_.text_rect(), QRect(0, 0, 113, 31));
  EXPECT_EQ(button_.text_format(), 37);
  EXPECT_EQ(button_.caption_font().pixelSize(), qRound(9 * button_.logicalDpiY() / 72.0));
  EXPECT_EQ(button_.caption_font().weight(), QFont::Normal);

  button_.SetFont(QString(40, u'x'), 8, 36);
  EXPECT_EQ(button_.caption_font().family().size(), 31);
  EXPECT_EQ(button_.text_format(), 36);
  EXPECT_EQ(QtTextFlags(36) & Qt::AlignHCenter, 0);
  EXPECT_NE(QtTextFlags(37) & Qt::AlignHCenter, 0);
  EXPECT_NE(QtTextFlags(0) & Qt::TextWordWrap, 0);
}

TEST(CtrlButtonTest, TabMovesFocusBothWaysAndLettersAreSwallowed) {
  QWidget window;
  auto* first = new CCtrlButton(&window);
  auto* second = new CCtrlButton(&window);
  auto* third = new CCtrlButton(&window);
  QWidget::setTabOrder(first, second);
  QWidget::setTabOrder(second, third);
  window.show();
  QApplication::setActiveWindow(&window);
  second->setFocus();
  ASSERT_TRUE(second->hasFocus());
  QTest::keyClick(second, Qt::Key_Tab);
  EXPECT_TRUE(third->hasFocus());
  QTest::keyClick(third, Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_TRUE(second->hasFocus());
  QTest::keyClick(second, Qt::Key_Tab, Qt::ShiftModifier);
  EXPECT_TRUE(first->hasFocus());

  QSignalSpy clicks(first, &QAbstractButton::clicked);
  QKeyEvent letter(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
  QApplication::sendEvent(first, &letter);
  EXPECT_TRUE(letter.isAccepted());
  QTest::keyClick(first, Qt::Key_Space);
  EXPECT_EQ(clicks.count(), 1);  // space still presses the button
}

}  // namespace
}  // namespace orvane
