#include "ui/skin/color_static.h"

#include <QPainter>

namespace orvane {
namespace {
constexpr int kMaxFaceLength = 31;
}  // namespace

CXColorStatic::CXColorStatic(const QString& text, QWidget* parent)
    : QLabel(text, parent), label_font_(font()) {
  text_color_ = palette().color(QPalette::ButtonText);
  stored_ = text;
  // A plain label wraps from the top-left; windows ask for centring.
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // Never paint a background: the parent draws its picture under us first,
  // which also wipes the previous text when the text changes.
  setAutoFillBackground(false);
  setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void CXColorStatic::SetFont(const QString& face, int points, int weight) {
  QFont font = face.isEmpty() ? label_font_ : QFont(face.left(kMaxFaceLength));
  font.setPixelSize(std::max(1, qRound(points * logicalDpiY() / 72.0)));
  font.setWeight(static_cast<QFont::Weight>(weight));
  label_font_ = font;
  repaint();
}

void CXColorStatic::SetText(const QString& text) {
  stored_ = text;
  update();
}

void CXColorStatic::set_text_color(QColor color) {
  text_color_ = color;
  update();
}

QString CXColorStatic::ShownText() const {
  if (!stored_.isEmpty() && stored_ != QLatin1String("Static")) return stored_;
  return text();
}

void CXColorStatic::paintEvent(QPaintEvent*) {
  const Qt::Alignment align = alignment();
  int flags = 0;
  if (align & Qt::AlignHCenter) {
    flags |= Qt::AlignHCenter;
  } else if (align & Qt::AlignRight) {
    flags |= Qt::AlignRight;
  } else {
    flags |= Qt::AlignLeft;
  }
  if (align & Qt::AlignVCenter) {
    flags |= Qt::AlignVCenter | Qt::TextSingleLine;
  } else {
    flags |= Qt::AlignTop | Qt::TextWordWrap;
  }
  QPainter painter(this);
  painter.setFont(label_font_);
  painter.setPen(text_color_);
  painter.drawText(rect(), flags, ShownText());
}

CXColorStatic* MakeLabel(QWidget* parent, const QRect& where, const QString& text, int points, int weight,
                         QColor color) {
  auto* label = new CXColorStatic(QString(), parent);
  label->setGeometry(where);
  label->SetFont(QStringLiteral("Arial"), points, weight);
  label->set_text_color(color);
  label->SetText(text);
  return label;
}

}  // namespace orvane
