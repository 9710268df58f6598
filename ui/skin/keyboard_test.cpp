// The skinned controls as a keyboard and a screen reader meet them: the
// focus ring, mnemonics, Space on a check box, names, roles and states; and
// the artwork drawn at the screen's pixel ratio.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include "ui/skin/accessible.h"
#include "ui/skin/bitmap_button.h"
#include "ui/skin/bitmap_dialog.h"
#include "ui/skin/check_box.h"
#include "ui/skin/color_static.h"
#include "ui/skin/focus_frame.h"
#include "ui/skin/item_list.h"
#include "ui/skin/skin_images.h"

namespace orvane {
namespace {

QImage Render(QWidget &widget) {
  QImage out(widget.size(), QImage::Format_RGB32);
  out.fill(Qt::magenta);
  widget.render(&out, QPoint(), QRegion(), QWidget::DrawChildren);
  return out;
}

QImage RenderViewport(CItemListCtrl &list) {
  QImage out(list.viewport()->size(), QImage::Format_RGB32);
  out.fill(Qt::magenta);
  list.viewport()->render(&out);
  return out;
}

// A ring is drawn when the corner pixels are the ring's two colours.
bool HasRing(const QImage &image) {
  const QRgb outer = kFocusOuterColor & 0xFFFFFF, inner = kFocusInnerColor & 0xFFFFFF;
  const int r = image.width() - 1, b = image.height() - 1;
  return (image.pixel(0, 0) & 0xFFFFFF) == outer && (image.pixel(r, b) & 0xFFFFFF) == outer &&
         (image.pixel(1, 1) & 0xFFFFFF) == inner && (image.pixel(r - 1, b - 1) & 0xFFFFFF) == inner;
}

class KeyboardTest : public ::testing::Test {
 protected:
  KeyboardTest() {
    InstallSkinAccessibility();
    window_.resize(400, 300);
    scan_ = MakeButton(&window_, 202, QRect(10, 10, 81, 21), QStringLiteral("Scan"));
    scan_->SetMnemonic(u's');
    box_ = new CCheckBox(QStringLiteral("Help Files"), &window_);
    box_->setGeometry(10, 40, 160, 21);
    list_ = new CItemListCtrl(&window_);
    list_->setGeometry(10, 70, 300, 120);
    list_->InsertColumn(0, QStringLiteral("Name"), 200);
    list_->InsertItem(0, QStringLiteral("one"));
    artwork_ = new CBitmapButtonEx(&window_);
    artwork_->SetUp(196, 187, QPoint(10, 200), QString(), 9);
    artwork_->setAccessibleName(QStringLiteral("Scan now"));
    artwork_->SetMnemonic(u'n');
    window_.show();
    QApplication::setActiveWindow(&window_);
    scan_->setFocus(Qt::TabFocusReason);
  }

  QWidget window_;
  CBitmapButtonEx *scan_;
  CCheckBox *box_;
  CItemListCtrl *list_;
  CBitmapButtonEx *artwork_;
};

TEST_F(KeyboardTest, TabMovesAVisibleRingFromControlToControl) {
  ASSERT_TRUE(scan_->hasFocus());
  EXPECT_TRUE(HasRing(Render(*scan_)));
  EXPECT_FALSE(HasRing(Render(*box_)));

  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  ASSERT_TRUE(box_->hasFocus());
  EXPECT_FALSE(HasRing(Render(*scan_)));
  EXPECT_TRUE(HasRing(Render(*box_)));

  const QImage list_before = RenderViewport(*list_);
  EXPECT_FALSE(HasRing(list_before));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  ASSERT_TRUE(list_->hasFocus());
  EXPECT_TRUE(HasRing(RenderViewport(*list_)));

  // Shift+Tab from a button goes back the same way.
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  ASSERT_TRUE(artwork_->hasFocus());
  EXPECT_TRUE(HasRing(Render(*artwork_)));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
  EXPECT_TRUE(list_->hasFocus());
}

TEST_F(KeyboardTest, MnemonicsPressButtonsFromAnywhereInTheWindow) {
  QSignalSpy scans(scan_, &QAbstractButton::clicked), artwork(artwork_, &QAbstractButton::clicked);
  EXPECT_EQ(scan_->text(), QStringLiteral("&Scan"));
  EXPECT_EQ(scan_->caption(), QStringLiteral("Scan"));

  box_->setFocus();
  QTest::keyClick(box_, Qt::Key_S, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return scans.count() == 1; }, 2000));
  // A letter drawn in the artwork has its key all the same.
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_N, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return artwork.count() == 1; }, 2000));

  // A literal '&' stays one, and the caption marks the letter's first place.
  scan_->set_caption(QStringLiteral("Junk & Privacy scan"));
  scan_->SetMnemonic(u'p');
  EXPECT_EQ(scan_->text(), QStringLiteral("Junk && &Privacy scan"));
  // A caption drawn with its letter underlined differs from one without.
  const QImage underlined = Render(*scan_);
  scan_->SetMnemonic(QChar());
  EXPECT_EQ(scan_->text(), QStringLiteral("Junk && Privacy scan"));
  EXPECT_NE(Render(*scan_), underlined);
}

TEST_F(KeyboardTest, SpaceOnAFocusedBoxTogglesItVisiblyAndTellsTheReader) {
  box_->SetCheck(1);
  box_->setFocus();
  QSignalSpy clicks(box_, &QAbstractButton::clicked);
  const QImage checked = Render(*box_);
  QTest::keyClick(box_, Qt::Key_Space);
  EXPECT_EQ(box_->GetCheck(), 0);
  EXPECT_EQ(clicks.count(), 1);
  EXPECT_NE(Render(*box_), checked);

  QAccessibleInterface *a = QAccessible::queryAccessibleInterface(box_);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->role(), QAccessible::CheckBox);
  EXPECT_EQ(a->text(QAccessible::Name), QStringLiteral("Help Files"));
  EXPECT_TRUE(a->state().checkable);
  EXPECT_FALSE(a->state().checked);
  EXPECT_TRUE(a->state().focused);
  // The reader's toggle is a click, as Space is.
  a->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
  EXPECT_EQ(box_->GetCheck(), 1);
  EXPECT_TRUE(a->state().checked);
  EXPECT_EQ(clicks.count(), 2);
}

TEST_F(KeyboardTest, SkinnedControlsHaveNamesAndRoles) {
  QAccessibleInterface *scan = QAccessible::queryAccessibleInterface(scan_);
  EXPECT_EQ(scan->role(), QAccessible::Button);
  EXPECT_EQ(scan->text(QAccessible::Name), QStringLiteral("Scan"));
  QAccessibleInterface *artwork = QAccessible::queryAccessibleInterface(artwork_);
  EXPECT_EQ(artwork->text(QAccessible::Name), QStringLiteral("Scan now"));

  auto *label = new CXColorStatic(QString(), &window_);
  label->SetText(QStringLiteral("12 problems"));
  QAccessibleInterface *text = QAccessible::queryAccessibleInterface(label);
  EXPECT_EQ(text->role(), QAccessible::StaticText);
  EXPECT_EQ(text->text(QAccessible::Name), QStringLiteral("12 problems"));
}

TEST(FocusRingTest, ABoxAsSmallAsItsCellHasItsRingDrawnAroundIt) {
  CBitmapDialog window;
  window.SetBackground(200);
  window.resize(200, 100);
  auto* box = new CCheckBox(QString(), &window);
  box->setGeometry(50, 40, CCheckBox::kCell, CCheckBox::kCell);
  auto* other = new CCheckBox(QString(), &window);
  other->setGeometry(100, 40, CCheckBox::kCell, CCheckBox::kCell);
  window.show();
  QApplication::setActiveWindow(&window);
  box->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(box->RingOutside());
  const QImage focused = Render(window).copy(box->geometry().adjusted(-3, -3, 3, 3));
  EXPECT_TRUE(HasRing(focused));
  other->setFocus(Qt::TabFocusReason);
  EXPECT_FALSE(HasRing(Render(window).copy(box->geometry().adjusted(-3, -3, 3, 3))));
  EXPECT_TRUE(HasRing(Render(window).copy(other->geometry().adjusted(-3, -3, 3, 3))));
}

TEST(SkinImageTest, PicturesRenderAtTheScreensPixelRatio) {
  const QSize own = SkinImageSize(202);
  ASSERT_FALSE(own.isEmpty());
  const QImage sharp = SkinImage(202, 2.0);
  EXPECT_EQ(sharp.size(), own * 2);
  EXPECT_EQ(sharp.devicePixelRatio(), 2.0);
  EXPECT_EQ(LogicalSize(sharp), own);
  // At a given size, from the vector source rather than stretched pixels.
  const QImage sized = SkinImage(202, 1.5, QSize(100, 30));
  EXPECT_EQ(sized.size(), QSize(150, 45));
  EXPECT_EQ(LogicalSize(sized), QSize(100, 30));
  EXPECT_TRUE(SkinImage(99999, 2.0).isNull());
}

}  // namespace
}  // namespace orvane
