// `CXColorStatic`: a text label with its own font and colour and no
// background, so the window's picture shows through. Interface thread only.
#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>

namespace orvane {

class CXColorStatic : public QLabel {
  Q_OBJECT

 public:
  // `text` is the control's own text, shown while no other text is stored.
  explicit CXColorStatic(const QString& text = {}, QWidget* parent = nullptr);

  // Font from `face` (at most 31 characters; the current family when empty)
  // at `points` on this screen and `weight` (400 normal, 700 bold); repaints
  // at once.
  void SetFont(const QString& face, int points, int weight = 400);
  // Stores the text shown and repaints.
  void SetText(const QString& text);

  void set_text_color(QColor color);
  QColor text_color() const { return text_color_; }
  const QFont& label_font() const { return label_font_; }
  const QString& stored_text() const { return stored_; }

  // What the label shows: the stored text unless it is empty or the
  // placeholder "Static", else the control's own text.
  QString ShownText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QFont label_font_;
  QColor text_color_;
  QString stored_;
};

// A label of parent placed at where, in Arial at points and weight, in
// color, showing text: the way every window sets its labels up.
CXColorStatic* MakeLabel(QWidget* parent, const QRect& where, const QString& text, int points, int weight,
                         QColor color);

}  // namespace orvane
