#include "ui/skin/check_box.h"

#include <QAccessible>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "ui/skin/focus_frame.h"
#include "ui/skin/skin_images.h"

namespace orvane {
namespace {

constexpr QRgb kTextColor = 0xFF2D363F;
constexpr QRgb kKey = 0x00FF00FF;  // magenta: left out of the cells
// Space between box and text: 5 pixels when the text is on the right, 6 when
// it is on the left.
constexpr int kGapRight = 5;
constexpr int kGapLeft = 6;
constexpr int kTextPixels = 13;

QImage CutMagenta(const QImage& strip) {
  if (strip.isNull()) return {};
  QImage out = strip.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < out.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x) {
      if (qAlpha(line[x]) == 255 && (line[x] & 0x00FFFFFF) == kKey) line[x] = 0;
    }
  }
  return out;
}

}  // namespace

CCheckBox::CCheckBox(const QString& text, QWidget* parent, bool text_on_left)
    : QAbstractButton(parent), text_on_left_(text_on_left), text_(text.left(kMaxText)) {
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setCheckable(false);  // the check state is ours: it changes on release only
  QAbstractButton::setText(text_);
  strip_ = CutMagenta(SkinImage(kStripId));
  if (!isEnabled()) {
    disabled_ = true;
    look_ = kUncheckedDisabled;
  }
}

void CCheckBox::SetStrip(const QImage& strip) {
  strip_ = CutMagenta(strip);
  InvalidateLooks();
  update();
}

void CCheckBox::SetText(const QString& text) {
  text_ = text.left(kMaxText);
  QAbstractButton::setText(text_);
  InvalidateLooks();
  update();
}

int CCheckBox::row_height() const {
  QFont parent_font = parentWidget() ? parentWidget()->font() : font();
  return std::max(kCell, QFontMetrics(parent_font).height() + 1);
}

void CCheckBox::PrepareLooks() {
  const int row = row_height();
  const int width = std::max(1, this->width());
  QFont text_font(QStringLiteral("Verdana"));
  text_font.setPixelSize(kTextPixels);
  text_font.setWeight(QFont::Bold);
  const int box_x = text_on_left_ ? width - kCell : 0;
  const int box_y = (row - kCell) / 2;
  // Single line, vertically centred, one pixel shorter than the row.
  QRect text_rect = text_on_left_
                        ? QRect(0, 0, width - (kCell + kGapLeft), row - 1)
                        : QRect(kCell + kGapRight, 0, width - (kCell + kGapRight), row - 1);
  const int align =
      Qt::TextSingleLine | Qt::AlignVCenter | (text_on_left_ ? Qt::AlignRight : Qt::AlignLeft);

  for (int i = 0; i < 8; ++i) {
    // Transparent background: the window's picture under the control shows
    // through, so a look never carries a stale copy of it.
    QImage look(width, row, QImage::Format_ARGB32_Premultiplied);
    look.fill(Qt::transparent);
    QPainter painter(&look);
    if (!strip_.isNull()) {
      painter.drawImage(QPoint(box_x, box_y), strip_, QRect(kCell * i, 0, kCell, kCell));
    }
    if (!text_.isEmpty()) {
      painter.setFont(text_font);
      if (i >= kCheckedDisabled) {
        // Embossed: highlight one pixel right and down, shadow in place.
        painter.setPen(palette().color(QPalette::Light));
        painter.drawText(text_rect.translated(1, 1), align, text_);
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawText(text_rect, align, text_);
      } else {
        painter.setPen(QColor::fromRgba(kTextColor));
        painter.drawText(text_rect, align, text_);
      }
    }
    painter.end();
    looks_[i] = look;
  }
  face_ = palette().color(QPalette::Button);
  looks_ready_ = true;
}

QImage CCheckBox::LookImage(int look) {
  if (!looks_ready_ || face_ != palette().color(QPalette::Button)) PrepareLooks();
  return looks_[look & 7];
}

void CCheckBox::paintEvent(QPaintEvent*) {
  QImage image = LookImage(look_);
  QPainter painter(this);
  painter.drawImage(QPoint(0, std::max(0, (height() - image.height()) / 2)), image);
  if (hasFocus() && !RingOutside()) PaintFocusFrame(painter, rect());
}

bool CCheckBox::RingOutside() const { return width() <= kCell + 2 * kFocusFrameWidth; }

void CCheckBox::focusInEvent(QFocusEvent* event) {
  if (RingOutside() && parentWidget()) parentWidget()->update(geometry().adjusted(-4, -4, 4, 4));
  QAbstractButton::focusInEvent(event);
}

void CCheckBox::SetLook(int look) {
  if (look_ == look) return;
  look_ = look;
  repaint();
}

void CCheckBox::Toggle() {
  checked_ = !checked_;
  if (!button_held_ && !space_held_) SetLook(NormalLook());
  TellCheckChanged();
  emit clicked(checked_);
}

void CCheckBox::TellCheckChanged() {
  if (!QAccessible::isActive()) return;
  QAccessible::State changed;
  changed.checked = true;
  QAccessibleStateChangeEvent event(this, changed);
  QAccessible::updateAccessibility(&event);
}

bool CCheckBox::hitButton(const QPoint& pos) const { return rect().contains(pos); }

void CCheckBox::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    event->ignore();
    return;
  }
  setFocus(Qt::MouseFocusReason);
  button_held_ = true;
  inside_ = true;
  SetLook(PressedLook());
}

void CCheckBox::mouseDoubleClickEvent(QMouseEvent* event) { mousePressEvent(event); }

void CCheckBox::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !button_held_) {
    event->ignore();
    return;
  }
  button_held_ = false;
  if (rect().contains(event->position().toPoint())) {
    Toggle();
    SetLook(space_held_ ? PressedLook() : NormalLook());
  } else if (space_held_) {
    SetLook(PressedLook());
  }
}

void CCheckBox::mouseMoveEvent(QMouseEvent* event) {
  const bool in = rect().contains(event->position().toPoint());
  if (!tracking_) tracking_ = true;  // Qt always tells us when the pointer leaves
  if (!button_held_) {
    if (in) {
      inside_ = true;
      SetLook(checked_ ? kCheckedHot : kUncheckedHot);
    } else {
      SetLook(NormalLook());
      inside_ = false;
    }
    return;
  }
  if (!in) {
    SetLook(NormalLook());
    inside_ = false;
  } else if (!inside_) {
    inside_ = true;
    SetLook(PressedLook());
  }
}

void CCheckBox::leaveEvent(QEvent*) {
  if (!disabled_) SetLook(NormalLook());
  tracking_ = false;
}

void CCheckBox::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space) {
    if (event->isAutoRepeat()) return;
    space_held_ = true;
    if (!button_held_) SetLook(PressedLook());
    return;
  }
  if (space_held_) {
    // Any other key cancels the pending toggle.
    space_held_ = false;
    if (!button_held_) SetLook(NormalLook());
  }
  QAbstractButton::keyPressEvent(event);
}

void CCheckBox::keyReleaseEvent(QKeyEvent* event) {
  if (event->key() != Qt::Key_Space) {
    QAbstractButton::keyReleaseEvent(event);
    return;
  }
  // A held key repeats as release/press pairs; only the real release counts.
  if (event->isAutoRepeat() || !space_held_) return;
  space_held_ = false;
  if (!button_held_) {
    Toggle();
    SetLook(NormalLook());
  }
}

void CCheckBox::focusOutEvent(QFocusEvent* event) {
  if (space_held_) {
    space_held_ = false;
    SetLook(NormalLook());
  }
  if (RingOutside() && parentWidget()) parentWidget()->update(geometry().adjusted(-4, -4, 4, 4));
  QAbstractButton::focusOutEvent(event);
}

void CCheckBox::changeEvent(QEvent* event) {
  switch (event->type()) {
    case QEvent::EnabledChange:
      if (!isEnabled()) {
        disabled_ = true;
        SetLook(checked_ ? kCheckedDisabled : kUncheckedDisabled);
      } else {
        disabled_ = false;
        SetLook(look_ == kCheckedDisabled ? kChecked : kUnchecked);
      }
      break;
    case QEvent::FontChange:
    case QEvent::PaletteChange:
    case QEvent::ParentChange:
      InvalidateLooks();
      break;
    default:
      break;
  }
  QAbstractButton::changeEvent(event);
}

void CCheckBox::resizeEvent(QResizeEvent* event) {
  InvalidateLooks();
  QAbstractButton::resizeEvent(event);
}

void CCheckBox::SetCheck(int state) {
  const bool was = checked_;
  checked_ = state == 1;
  if (was != checked_) TellCheckChanged();
  int look;
  if (disabled_) {
    look = checked_ ? kCheckedDisabled : kUncheckedDisabled;
  } else if (inside_ && tracking_) {
    look = checked_ ? kCheckedHot : kUncheckedHot;
  } else if (space_held_ || (button_held_ && inside_)) {
    look = PressedLook();
  } else {
    look = NormalLook();
  }
  SetLook(look);
}

}  // namespace orvane
