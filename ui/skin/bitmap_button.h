// Skinned push buttons. `CCtrlButton` carries the keyboard behaviour shared
// by them; `CBitmapButtonEx` draws itself from up to four pictures with an
// optional caption. Interface thread only.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPushButton>
#include <QRect>
#include <QTimer>
#include <array>
#include <functional>

namespace orvane {

// Tab and Shift+Tab move the focus through the parent's tab order; character
// keys and Alt+character keys that are no button's mnemonic are swallowed
// (no beep). Space and Enter still press it.
class CCtrlButton : public QPushButton {
  Q_OBJECT

 public:
  explicit CCtrlButton(QWidget* parent = nullptr);

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

// Caption format bits (the windows pass them as numbers: 36, 37).
enum TextFormat : int {
  kTextCenter = 1,      // centred horizontally, else left-aligned
  kTextVCenter = 4,     // centred vertically (single line only), else at the top
  kTextSingleLine = 32  // one line, else wrapped at word boundaries
};

class CBitmapButtonEx : public CCtrlButton {
  Q_OBJECT

 public:
  enum Slot { kNormal = 0, kPressed = 1, kHover = 2, kDisabled = 3 };
  static constexpr int kHoverIntervalMs = 100;

  explicit CBitmapButtonEx(QWidget* parent = nullptr);

  // Takes the transparent colour and the four images (a null image is an
  // empty slot) and resets the caption colour to black. True when the normal
  // image is present.
  bool SetBitmaps(QColor transparent, const QImage& normal, const QImage& pressed = {},
                  const QImage& hover = {}, const QImage& disabled = {});
  // The same with numbered pictures (0 for an empty slot). False when the
  // normal picture or any other picture named cannot be loaded; what loaded
  // is kept.
  bool SetBitmaps(QColor transparent, int normal, int pressed = 0, int hover = 0, int disabled = 0);

  // Caption font from `face` (at most 31 characters; the button's current
  // family when empty) at `points` on this screen, normal weight; stores the
  // caption format and repaints at once.
  void SetFont(const QString& face, int points, int format);

  // The caption drawn, taken literally (an '&' is shown as it is).
  void set_caption(const QString& caption);
  // Alt+`letter` presses the button from anywhere in its window; the first
  // such letter of the caption is drawn underlined. Buttons whose caption is
  // drawn in the artwork take one too. A null letter removes it.
  void SetMnemonic(QChar letter);
  QChar mnemonic() const { return mnemonic_; }
  const QString& caption() const { return caption_; }
  void set_text_color(QColor color);
  QColor text_color() const { return text_color_; }
  void set_text_rect(const QRect& rect);
  QRect text_rect() const { return text_rect_; }
  int text_format() const { return text_format_; }
  const QFont& caption_font() const { return caption_font_; }

  // The usual set-up every window does: images (red transparent colour),
  // size of the normal image, position, Arial caption in the whole button.
  bool SetUp(int normal, int hover, QPoint where, const QString& caption, int points,
             QColor text = Qt::black, int format = kTextCenter | kTextVCenter | kTextSingleLine,
             QColor transparent = QColor(0xFF, 0x00, 0x00));

  bool hovering() const { return hovering_; }
  bool has_image(Slot slot) const { return !images_[slot].isNull(); }

  // Which slot the next repaint draws from, and the caption colour it uses;
  // -1 when that slot is empty and nothing is drawn.
  int ChosenSlot() const;
  QColor CaptionColor() const;

  // The hover timer's tick: ends hovering once the pointer is outside. The
  // 100 ms timer calls it; tests call it directly instead of waiting.
  void HoverTick();
  bool hover_timer_active() const { return hover_timer_.isActive(); }
  int hover_timer_interval() const { return hover_timer_.interval(); }
  // Where the pointer is on the screen; the real cursor unless replaced.
  void set_pointer_source(std::function<QPoint()> source) { pointer_ = std::move(source); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  // Gives QAbstractButton the caption with the mnemonic marked, so the
  // shortcut and the accessible name follow it.
  void ApplyCaption();

  QChar mnemonic_;
  QColor text_color_ = Qt::black;
  std::array<QImage, 4> images_;  // transparent colour already cut out
  QColor transparent_;
  QString caption_;
  QFont caption_font_;
  int text_format_ = kTextVCenter | kTextSingleLine;  // 36
  QRect text_rect_;
  bool hovering_ = false;
  QTimer hover_timer_;
  std::function<QPoint()> pointer_;
};

// The windows' usual button: picture `image` in every state (stretched when
// `where` has another size, never half drawn), an Arial caption centred on
// one line, named `id` when one is given. Enter in the window does not press
// it, so a list's Enter never triggers a change.
CBitmapButtonEx* MakeButton(QWidget* parent, int image, const QRect& where, const QString& caption, int id = 0,
                            QColor text = Qt::black, int points = 8);

// For a button whose caption is drawn in its artwork: `name` is what screen
// readers say, Alt+`mnemonic` presses it, and a button without a tooltip
// gets one naming the key (the artwork cannot underline it).
void NameArtworkButton(CBitmapButtonEx* button, const QString& name, QChar mnemonic);

// Qt alignment and wrapping flags for a caption format.
int QtTextFlags(int format);

}  // namespace orvane
