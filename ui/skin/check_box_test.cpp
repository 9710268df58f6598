#include "ui/skin/check_box.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalSpy>

namespace orvane {
namespace {

class CheckBoxTest : public ::testing::Test {
 protected:
  CheckBoxTest()
      : box_(QStringLiteral("Help Files"), &window_), clicks_(&box_, &QAbstractButton::clicked) {
    box_.setGeometry(10, 10, 160, 21);
    window_.resize(200, 60);
    window_.show();
    QApplication::setActiveWindow(&window_);
    box_.setFocus();
  }

  void Mouse(QEvent::Type type, QPoint at, Qt::MouseButtons held = Qt::NoButton) {
    Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(at), QPointF(box_.mapToGlobal(at)), button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(&box_, &event);
  }
  void Key(QEvent::Type type, int key, bool repeat = false) {
    QKeyEvent event(type, key, Qt::NoModifier, QString(), repeat);
    QApplication::sendEvent(&box_, &event);
  }

  QWidget window_;
  CCheckBox box_;
  QSignalSpy clicks_;
  const QPoint inside_{20, 10};
  const QPoint outside_{400, 10};
};

TEST_F(CheckBoxTest, SpaceTogglesOnReleaseAndAnotherKeyCancels) {
  EXPECT_EQ(box_.look(), CCheckBox::kUnchecked);
  Key(QEvent::KeyPress, Qt::Key_Space);
  EXPECT_EQ(box_.GetCheck(), 0) << "not on press";
  EXPECT_EQ(box_.look(), CCheckBox::kUncheckedPressed);
  Key(QEvent::KeyRelease, Qt::Key_Space, /*repeat=*/true);  // auto-repeat is not a release
  Key(QEvent::KeyPress, Qt::Key_Space, /*repeat=*/true);
  EXPECT_EQ(box_.GetCheck(), 0);
  Key(QEvent::KeyRelease, Qt::Key_Space);
  EXPECT_EQ(box_.GetCheck(), 1);
  EXPECT_EQ(box_.look(), CCheckBox::kChecked);
  EXPECT_EQ(clicks_.count(), 1);

  Key(QEvent::KeyPress, Qt::Key_Space);
  Key(QEvent::KeyPress, Qt::Key_A);
  EXPECT_EQ(box_.look(), CCheckBox::kChecked);
  Key(QEvent::KeyRelease, Qt::Key_Space);
  EXPECT_EQ(box_.GetCheck(), 1) << "cancelled by the other key";
  EXPECT_EQ(clicks_.count(), 1);

  Key(QEvent::KeyPress, Qt::Key_Space);
  QFocusEvent lost(QEvent::FocusOut, Qt::TabFocusReason);
  QApplication::sendEvent(&box_, &lost);
  EXPECT_EQ(box_.look(), CCheckBox::kChecked);
  Key(QEvent::KeyRelease, Qt::Key_Space);
  EXPECT_EQ(box_.GetCheck(), 1) << "cancelled by the focus loss";
}

TEST_F(CheckBoxTest, MouseReleaseOutsideDoesNotToggle) {
  Mouse(QEvent::MouseButtonPress, inside_, Qt::LeftButton);
  EXPECT_EQ(box_.look(), CCheckBox::kUncheckedPressed);
  Mouse(QEvent::MouseMove, outside_, Qt::LeftButton);
  EXPECT_EQ(box_.look(), CCheckBox::kUnchecked);
  Mouse(QEvent::MouseButtonRelease, outside_);
  EXPECT_EQ(box_.GetCheck(), 0);
  EXPECT_EQ(clicks_.count(), 0);

  Mouse(QEvent::MouseButtonPress, inside_, Qt::LeftButton);
  Mouse(QEvent::MouseMove, outside_, Qt::LeftButton);
  Mouse(QEvent::MouseMove, inside_, Qt::LeftButton);  // back in: pressed again
  EXPECT_EQ(box_.look(), CCheckBox::kUncheckedPressed);
  Mouse(QEvent::MouseButtonRelease, inside_);
  EXPECT_EQ(box_.GetCheck(), 1);
  EXPECT_EQ(box_.look(), CCheckBox::kChecked);
  ASSERT_EQ(clicks_.count(), 1);
  EXPECT_TRUE(clicks_.at(0).at(0).toBool());
}

TEST_F(CheckBoxTest, PointerLooksAndSetCheckFollowState) {
  Mouse(QEvent::MouseMove, inside_);
  EXPECT_EQ(box_.look(), CCheckBox::kUncheckedHot);
  box_.SetCheck(1);
  EXPECT_EQ(box_.look(), CCheckBox::kCheckedHot);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&box_, &leave);
  EXPECT_EQ(box_.look(), CCheckBox::kChecked);
  box_.SetCheck(7);  // anything but 1 unchecks
  EXPECT_EQ(box_.GetCheck(), 0);
  EXPECT_EQ(box_.look(), CCheckBox::kUnchecked);
  Key(QEvent::KeyPress, Qt::Key_Space);
  box_.SetCheck(1);
  EXPECT_EQ(box_.look(), CCheckBox::kCheckedPressed);
  EXPECT_EQ(clicks_.count(), 0) << "SetCheck is not a click";
}

TEST_F(CheckBoxTest, DisabledLooksAndBack) {
  box_.SetCheck(1);
  box_.setEnabled(false);
  EXPECT_EQ(box_.look(), CCheckBox::kCheckedDisabled);
  box_.SetCheck(0);
  EXPECT_EQ(box_.look(), CCheckBox::kUncheckedDisabled);
  box_.SetCheck(1);
  box_.setEnabled(true);
  EXPECT_EQ(box_.look(), CCheckBox::kChecked);
  box_.setEnabled(false);
  box_.SetCheck(0);
  box_.setEnabled(true);
  EXPECT_EQ(box_.look(), CCheckBox::kUnchecked);
}

// Columns of a look image that carry any ink.
std::vector<bool> InkColumns(const QImage& image) {
  std::vector<bool> ink(image.width(), false);
  for (int x = 0; x < image.width(); ++x) {
    for (int y = 0; y < image.height(); ++y) {
      if (qAlpha(image.pixel(x, y)) != 0) ink[x] = true;
    }
  }
  return ink;
}

TEST(CheckBoxLooksTest, EmptyTextShowsOnlyTheBoxAndLeftTextPutsTheBoxRight) {
  QWidget window;
  CCheckBox empty(QString(), &window);
  empty.resize(100, 21);
  std::vector<bool> ink = InkColumns(empty.LookImage(CCheckBox::kChecked));
  for (int x = 0; x < 100; ++x) EXPECT_EQ(ink[x], x < 13) << x;

  CCheckBox left(QStringLiteral("Mozilla - Firefox"), &window, /*text_on_left=*/true);
  left.resize(160, 21);
  ink = InkColumns(left.LookImage(CCheckBox::kUnchecked));
  EXPECT_TRUE(ink[159]);
  EXPECT_TRUE(ink[147]);
  for (int x = 160 - 19; x < 147; ++x) EXPECT_FALSE(ink[x]) << "gap before the box " << x;
  EXPECT_TRUE(std::any_of(ink.begin() + 60, ink.begin() + 140, [](bool b) { return b; }));
  EXPECT_FALSE(ink[0]) << "short text ends at the right";

  EXPECT_GE(left.row_height(), 13);
  CCheckBox long_text(QString(100, u'x'), &window);
  EXPECT_EQ(long_text.Text().size(), 64);
}

TEST(CheckBoxLooksTest, StripCellsAreUsedWithMagentaLeftOut) {
  QWidget window;
  QImage strip(104, 13, QImage::Format_RGB32);
  strip.fill(QColor(0xFF, 0x00, 0xFF));
  for (int cell = 0; cell < 8; ++cell) {
    for (int y = 2; y < 11; ++y) {
      for (int x = 2; x < 11; ++x) strip.setPixel(cell * 13 + x, y, qRgb(cell * 30, 10, 10));
    }
  }
  CCheckBox box(QString(), &window);
  box.resize(13, 13);
  box.SetStrip(strip);
  for (int look = 0; look < 8; ++look) {
    QImage image = box.LookImage(look);
    EXPECT_EQ(qRed(image.pixel(6, 6)), look * 30) << look;
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << look;
  }
}

}  // namespace
}  // namespace orvane
