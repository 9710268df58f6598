#include "ui/skin/color_static.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>
#include <QWindow>

#include "ui/skin/bitmap_dialog.h"

namespace orvane {
namespace {

TEST(ColorStaticTest, StoredStaticOrEmptyShowsTheControlsOwnText) {
  CXColorStatic label(QStringLiteral("Own"));
  EXPECT_EQ(label.ShownText(), QStringLiteral("Own"));
  label.SetText(QStringLiteral("Static"));
  EXPECT_EQ(label.ShownText(), QStringLiteral("Own"));
  label.SetText(QString());
  EXPECT_EQ(label.ShownText(), QStringLiteral("Own"));
  label.SetText(QStringLiteral("12 errors"));
  EXPECT_EQ(label.ShownText(), QStringLiteral("12 errors"));
  label.SetText(QStringLiteral("static"));  // only the exact placeholder
  EXPECT_EQ(label.ShownText(), QStringLiteral("static"));
}

TEST(ColorStaticTest, FontFromFacePointsAndWeight) {
  CXColorStatic label;
  label.SetFont(QStringLiteral("Arial"), 11, 700);
  EXPECT_EQ(label.label_font().family(), QStringLiteral("Arial"));
  EXPECT_EQ(label.label_font().pixelSize(), qRound(11 * label.logicalDpiY() / 72.0));
  EXPECT_EQ(label.label_font().weight(), QFont::Bold);
  label.SetFont(QString(), 8, 400);  // keeps the face
  EXPECT_EQ(label.label_font().family(), QStringLiteral("Arial"));
  EXPECT_EQ(label.label_font().weight(), QFont::Normal);
}

// The leftmost and rightmost columns and the number of rows with ink.
struct Ink {
  int left = -1, right = -1, rows = 0;
};
Ink InkOf(CXColorStatic& label) {
  QImage image(label.size(), QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  label.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
  Ink ink;
  for (int y = 0; y < image.height(); ++y) {
    bool row = false;
    for (int x = 0; x < image.width(); ++x) {
      if (qAlpha(image.pixel(x, y)) == 0) continue;
      row = true;
      if (ink.left < 0 || x < ink.left) ink.left = x;
      ink.right = std::max(ink.right, x);
    }
    ink.rows += row;
  }
  return ink;
}

TEST(ColorStaticTest, AlignmentAndWrappingFollowTheStyle) {
  CXColorStatic label(QStringLiteral("word word word word word word word"));
  label.resize(120, 60);
  label.SetFont(QStringLiteral("Arial"), 9, 400);
  Ink wrapped = InkOf(label);
  EXPECT_LT(wrapped.left, 5);

  label.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  label.SetText(QStringLiteral("short"));
  Ink right = InkOf(label);
  EXPECT_GT(right.left, 60);
  EXPECT_GT(right.right, 110);
  EXPECT_GT(wrapped.rows, right.rows * 3 / 2) << "wrapped onto several lines";

  label.setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
  Ink centred = InkOf(label);
  EXPECT_NEAR((centred.left + centred.right) / 2.0, 60, 4);
}

TEST(ColorStaticTest, NewTextDoesNotSmearOverOldText) {
  CBitmapDialog dialog;
  QImage picture(200, 60, QImage::Format_RGB32);
  picture.fill(QColor(0x20, 0x40, 0x60));
  dialog.SetBackground(picture);
  dialog.resize(200, 60);
  auto* label = new CXColorStatic(QString(), &dialog);
  label->setGeometry(10, 10, 180, 30);
  label->SetFont(QStringLiteral("Arial"), 14, 700);
  label->set_text_color(Qt::white);
  label->SetText(QStringLiteral("WWWWWWWWWW"));
  dialog.show();
  QApplication::processEvents();
  label->SetText(QStringLiteral("i"));
  QApplication::processEvents();
  // What the window shows after the incremental repaint.
  QImage shown = dialog.windowHandle()->screen()->grabWindow(dialog.winId()).toImage();
  if (shown.isNull()) shown = dialog.grab().toImage();
  ASSERT_FALSE(shown.isNull());
  for (int x = 60; x < 180; ++x) {
    for (int y = 12; y < 38; ++y) {
      ASSERT_EQ(shown.pixelColor(x, y), QColor(0x20, 0x40, 0x60)) << x << "," << y;
    }
  }
}

}  // namespace
}  // namespace orvane
