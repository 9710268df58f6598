#include "ui/skin/bitmap_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

namespace orvane {
namespace {

// Each pixel says where it is: red = x, green = y.
QImage Coordinates(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgb(x % 256, y % 256, 7));
  }
  return image;
}

void Mouse(QWidget* widget, QEvent::Type type, QPoint at) {
  Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)), button, held,
                    Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

TEST(BitmapDialogTest, LargerPictureIsClippedNeverScaled) {
  CBitmapDialog dialog;
  ASSERT_TRUE(dialog.SetBackground(Coordinates(250, 200)));
  dialog.resize(100, 80);
  QImage shown = dialog.grab().toImage();
  ASSERT_EQ(shown.size(), QSize(100, 80));
  for (QPoint p : {QPoint(0, 0), QPoint(99, 79), QPoint(50, 40), QPoint(99, 0)}) {
    EXPECT_EQ(shown.pixel(p), qRgb(p.x(), p.y(), 7)) << p.x() << "," << p.y();
  }
}

TEST(BitmapDialogTest, MissingPictureLeavesTheDefaultBackground) {
  CBitmapDialog dialog;
  ASSERT_TRUE(dialog.SetBackground(200));
  EXPECT_EQ(dialog.picture().size(), QSize(528, 461));
  EXPECT_FALSE(dialog.SetBackground(4242));
  EXPECT_FALSE(dialog.has_picture());
  dialog.resize(40, 30);
  QImage shown = dialog.grab().toImage();
  EXPECT_EQ(shown.pixelColor(20, 15), dialog.palette().color(QPalette::Window));
}

TEST(BitmapDialogTest, DraggingThePictureMovesTheWindowOnlyWhenAllowed) {
  CBitmapDialog dialog;
  dialog.SetBackground(Coordinates(200, 100));
  dialog.setGeometry(100, 100, 200, 100);
  auto* button = new QPushButton(&dialog);
  button->setGeometry(150, 50, 40, 20);
  dialog.show();
  QApplication::processEvents();
  const QPoint start = dialog.pos();

  Mouse(&dialog, QEvent::MouseButtonPress, {10, 10});
  Mouse(&dialog, QEvent::MouseMove, {40, 30});
  Mouse(&dialog, QEvent::MouseButtonRelease, {40, 30});
  EXPECT_EQ(dialog.pos(), start) << "drag flag off";

  dialog.set_drag(true);
  Mouse(&dialog, QEvent::MouseButtonPress, {10, 10});
  Mouse(&dialog, QEvent::MouseMove, {40, 30});
  Mouse(&dialog, QEvent::MouseButtonRelease, {40, 30});
  EXPECT_EQ(dialog.pos(), start + QPoint(30, 20));

  const QPoint moved = dialog.pos();
  Mouse(button, QEvent::MouseButtonPress, {5, 5});  // a control, not the picture
  Mouse(button, QEvent::MouseMove, {30, 30});
  Mouse(button, QEvent::MouseButtonRelease, {30, 30});
  EXPECT_EQ(dialog.pos(), moved);
}

TEST(BitmapDialogTest, LabelsLetThePictureThroughUnlessTurnedOff) {
  CBitmapDialog dialog;
  auto* label = new QLabel(QStringLiteral("Found on your system"), &dialog);
  label->setAutoFillBackground(true);
  dialog.show();
  EXPECT_FALSE(label->autoFillBackground());
  dialog.set_transparent_labels(false);
  EXPECT_TRUE(label->autoFillBackground());
}

}  // namespace
}  // namespace orvane
