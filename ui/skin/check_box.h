// `CCheckBox`: a check box drawn from the eight 13 x 13 cells of picture 197
// with its text in bold Verdana. A toggle by mouse or space reaches the
// parent as an ordinary click. Interface thread only.
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QImage>
#include <array>

namespace orvane {

class CCheckBox : public QAbstractButton {
  Q_OBJECT

 public:
  // The cells of the strip, which are also the looks.
  enum Look {
    kChecked = 0,
    kUnchecked = 1,
    kCheckedHot = 2,
    kUncheckedHot = 3,
    kCheckedPressed = 4,
    kUncheckedPressed = 5,
    kCheckedDisabled = 6,
    kUncheckedDisabled = 7,
  };
  static constexpr int kCell = 13;
  static constexpr int kMaxText = 64;
  static constexpr int kStripId = 197;

  // `text` is cut to 64 characters. With `text_on_left` the box stands at the
  // right edge and the text ends to its left.
  explicit CCheckBox(const QString& text = {}, QWidget* parent = nullptr,
                     bool text_on_left = false);

  // 1 checked, 0 unchecked.
  int GetCheck() const { return checked_ ? 1 : 0; }
  // 1 checks; any other value unchecks. Not a click.
  void SetCheck(int state);
  // Flips the state and tells the parent with a click, as the mouse and
  // Space do (assistive tools toggle through this).
  void Toggle();

  void SetText(const QString& text);
  QString Text() const { return text_; }
  bool text_on_left() const { return text_on_left_; }
  int look() const { return look_; }
  int row_height() const;
  // A box no larger than its cell has no room for the focus ring inside:
  // its window draws the ring around it (CBitmapDialog does).
  bool RingOutside() const;

  // Replaces the strip (104 x 13, magenta transparent); used before the first
  // paint when a window brings its own.
  void SetStrip(const QImage& strip);
  // Look `look` as it is drawn, one row high and as wide as the control.
  QImage LookImage(int look);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool hitButton(const QPoint& pos) const override;

 private:
  void SetLook(int look);
  int NormalLook() const { return checked_ ? kChecked : kUnchecked; }
  int PressedLook() const { return checked_ ? kCheckedPressed : kUncheckedPressed; }
  void TellCheckChanged();
  void PrepareLooks();
  void InvalidateLooks() { looks_ready_ = false; }

  QImage strip_;
  bool text_on_left_ = false;
  bool disabled_ = false;
  bool checked_ = false;
  int look_ = kUnchecked;
  bool tracking_ = false;
  bool inside_ = false;
  bool space_held_ = false;
  bool button_held_ = false;
  std::array<QImage, 8> looks_;
  bool looks_ready_ = false;
  QColor face_;  // the face colour the looks were prepared for
  QString text_;
};

}  // namespace orvane
