#include "ui/skin/bitmap_button.h"

#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "ui/skin/focus_frame.h"
#include "ui/skin/skin_images.h"

namespace orvane {
namespace {

constexpr int kMaxFaceLength = 31;

// Pixels of exactly the transparent colour become fully transparent, so the
// window's picture shows there.
QImage CutOut(const QImage& image, QColor transparent) {
  if (image.isNull()) return {};
  QImage out = image.convertToFormat(QImage::Format_ARGB32);
  const QRgb key = transparent.rgb() & 0x00FFFFFF;
  for (int y = 0; y < out.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x) {
      if (qAlpha(line[x]) == 255 && (line[x] & 0x00FFFFFF) == key) line[x] = 0;
    }
  }
  return out;
}

QString EscapeMnemonic(QString text) { return text.replace(u'&', QStringLiteral("&&")); }

}  // namespace

void NameArtworkButton(CBitmapButtonEx* button, const QString& name, QChar mnemonic) {
  button->setAccessibleName(name);
  button->SetMnemonic(mnemonic);
  if (button->toolTip().isEmpty() && !mnemonic.isNull())
    button->setToolTip(QStringLiteral("%1 (Alt+%2)").arg(name, QString(mnemonic.toUpper())));
}

int QtTextFlags(int format) {
  int flags = (format & kTextCenter) ? Qt::AlignHCenter : Qt::AlignLeft;
  if (format & kTextSingleLine) {
    flags |= Qt::TextSingleLine;
    flags |= (format & kTextVCenter) ? Qt::AlignVCenter : Qt::AlignTop;
  } else {
    flags |= Qt::TextWordWrap | Qt::AlignTop;
  }
  return flags;
}

CCtrlButton::CCtrlButton(QWidget* parent) : QPushButton(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setAutoDefault(false);
}

bool CCtrlButton::event(QEvent* event) {
  // Tab reaches the button itself (rather than the window's shortcut
  // handling) so the move follows the parent's own order.
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
      bool back = key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier);
      focusNextPrevChild(!back);
      return true;
    }
  }
  return QPushButton::event(event);
}

void CCtrlButton::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
    QPushButton::keyPressEvent(event);
    return;
  }
  bool character = !event->text().isEmpty() && event->text().at(0).isPrint();
  bool alt_character =
      (event->modifiers() & Qt::AltModifier) && key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde;
  if (character || alt_character) {
    event->accept();
    return;
  }
  QPushButton::keyPressEvent(event);
}

CBitmapButtonEx::CBitmapButtonEx(QWidget* parent) : CCtrlButton(parent) {
  setMouseTracking(true);
  setAttribute(Qt::WA_Hover, false);
  hover_timer_.setInterval(kHoverIntervalMs);
  connect(&hover_timer_, &QTimer::timeout, this, &CBitmapButtonEx::HoverTick);
  pointer_ = [] { return QCursor::pos(); };
}

bool CBitmapButtonEx::SetBitmaps(QColor transparent, const QImage& normal, const QImage& pressed,
                                 const QImage& hover, const QImage& disabled) {
  transparent_ = transparent;
  text_color_ = Qt::black;
  images_ = {CutOut(normal, transparent), CutOut(pressed, transparent), CutOut(hover, transparent),
             CutOut(disabled, transparent)};
  update();
  return !images_[kNormal].isNull();
}

bool CBitmapButtonEx::SetBitmaps(QColor transparent, int normal, int pressed, int hover,
                                 int disabled) {
  const std::array<int, 4> ids = {normal, pressed, hover, disabled};
  std::array<QImage, 4> loaded;
  bool all = normal != 0;
  for (size_t i = 0; i < ids.size(); ++i) {
    if (ids[i] == 0) continue;
    loaded[i] = SkinImage(ids[i], devicePixelRatioF());
    if (loaded[i].isNull()) all = false;
  }
  bool has_normal = SetBitmaps(transparent, loaded[0], loaded[1], loaded[2], loaded[3]);
  return all && has_normal;
}

void CBitmapButtonEx::SetFont(const QString& face, int points, int format) {
  text_format_ = format;
  QFont font = face.isEmpty() ? this->font() : QFont(face.left(kMaxFaceLength));
  font.setPixelSize(std::max(1, qRound(points * logicalDpiY() / 72.0)));
  font.setWeight(QFont::Normal);
  caption_font_ = font;
  repaint();
}

void CBitmapButtonEx::set_caption(const QString& caption) {
  caption_ = caption;
  ApplyCaption();
}

void CBitmapButtonEx::SetMnemonic(QChar letter) {
  mnemonic_ = letter;
  ApplyCaption();
}

void CBitmapButtonEx::ApplyCaption() {
  QString marked = EscapeMnemonic(caption_);
  const int at = mnemonic_.isNull() ? -1 : marked.indexOf(mnemonic_, 0, Qt::CaseInsensitive);
  if (at >= 0 && mnemonic_ != u'&') marked.insert(at, u'&');
  setText(marked);
  // A caption without the letter (or one drawn in the artwork) still gets
  // the key; setText has just set the shortcut from the marked text.
  if (!mnemonic_.isNull() && at < 0)
    setShortcut(QKeySequence(QKeyCombination(Qt::AltModifier, static_cast<Qt::Key>(mnemonic_.toUpper().unicode()))));
  update();
}

void CBitmapButtonEx::set_text_color(QColor color) {
  text_color_ = color;
  update();
}

void CBitmapButtonEx::set_text_rect(const QRect& rect) {
  text_rect_ = rect;
  update();
}

bool CBitmapButtonEx::SetUp(int normal, int hover, QPoint where, const QString& caption, int points,
                            QColor text, int format, QColor transparent) {
  bool ok = SetBitmaps(transparent, normal, 0, hover, 0);
  if (has_image(kNormal)) resize(LogicalSize(images_[kNormal]));
  move(where);
  SetFont(QStringLiteral("Arial"), points, format);
  set_caption(caption);
  set_text_rect(rect());
  set_text_color(text);
  return ok;
}

int CBitmapButtonEx::ChosenSlot() const {
  int slot = kNormal;
  if (isDown() && has_image(kPressed)) {
    slot = kPressed;
  } else if (hovering_ && has_image(kHover)) {
    // A button without a hover picture keeps its own under the pointer
    // (the underlined caption still shows the hover); it must not vanish.
    slot = kHover;
  } else if (!isEnabled()) {
    slot = kDisabled;
  }
  return has_image(static_cast<Slot>(slot)) ? slot : -1;
}

QColor CBitmapButtonEx::CaptionColor() const {
  if (ChosenSlot() == kDisabled) return palette().color(QPalette::Disabled, QPalette::WindowText);
  return text_color_;
}

void CBitmapButtonEx::paintEvent(QPaintEvent*) {
  const int slot = ChosenSlot();
  if (slot < 0) return;  // an empty slot draws neither image nor caption
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(rect(), images_[slot]);
  if (!caption_.isEmpty()) {
    QFont font = caption_font_;
    if (hovering_) font.setUnderline(true);
    painter.setFont(font);
    painter.setPen(CaptionColor());
    // text() is the caption with its '&'s doubled and the mnemonic marked.
    painter.drawText(text_rect_, QtTextFlags(text_format_) | Qt::TextShowMnemonic, text());
  }
  if (hasFocus()) PaintFocusFrame(painter, rect());
}

void CBitmapButtonEx::mouseMoveEvent(QMouseEvent* event) {
  setCursor(Qt::PointingHandCursor);
  if (!hovering_) {
    hovering_ = true;
    update();
    hover_timer_.start();
  }
  CCtrlButton::mouseMoveEvent(event);
}

void CBitmapButtonEx::HoverTick() {
  if (rect().contains(mapFromGlobal(pointer_()))) return;
  hovering_ = false;
  hover_timer_.stop();
  update();
}

void CBitmapButtonEx::leaveEvent(QEvent* event) {
  setCursor(Qt::ArrowCursor);
  CCtrlButton::leaveEvent(event);
}

void CBitmapButtonEx::changeEvent(QEvent* event) {
  // The parent draws its picture again under our transparent pixels.
  if (event->type() == QEvent::EnabledChange && parentWidget()) {
    parentWidget()->update(geometry());
  }
  CCtrlButton::changeEvent(event);
}

CBitmapButtonEx* MakeButton(QWidget* parent, int image, const QRect& where, const QString& caption, int id,
                            QColor text, int points) {
  auto* button = new CBitmapButtonEx(parent);
  if (id != 0) button->setObjectName(QString::number(id));
  // Rendered from its vector source at the button's own size, never
  // stretched from pixels.
  QImage picture = SkinImage(image, button->devicePixelRatioF(), where.size());
  button->SetBitmaps(QColor(0xFF, 0x00, 0x00), picture, picture, picture, picture);
  button->setGeometry(where);
  button->SetFont(QStringLiteral("Arial"), points, kTextCenter | kTextVCenter | kTextSingleLine);
  button->set_caption(caption);
  button->set_text_color(text);
  button->set_text_rect(button->rect());
  button->setAutoDefault(false);
  return button;
}

}  // namespace orvane
