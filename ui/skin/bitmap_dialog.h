// `CBitmapDialog`: the base of every window. Its client area shows one
// picture, unscaled and clipped (with the focus ring of a check box too
// small to hold its own); labels over it let the picture show through;
// the window moves when the picture is dragged. Interface thread only.
#pragma once

#include <QDialog>
#include <QImage>
#include <QPoint>

namespace orvane {

class CBitmapDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CBitmapDialog(QWidget* parent = nullptr);

  // Replaces the picture with numbered picture `resource_id`. False when it
  // cannot be loaded: the window is then left without picture and paints the
  // default background.
  bool SetBackground(int resource_id);
  // The same with a picture already at hand; a null image leaves the window
  // without picture and returns false.
  bool SetBackground(const QImage& picture);

  bool has_picture() const { return has_picture_; }
  const QImage& picture() const { return picture_; }

  // Dragging the picture moves the window. Off at construction.
  void set_drag(bool on) { drag_ = on; }
  bool drag() const { return drag_; }

  // Labels show the picture through their background. On at construction;
  // applies to the labels present now and to those added later.
  void set_transparent_labels(bool on);
  bool transparent_labels() const { return transparent_labels_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void childEvent(QChildEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void ApplyLabelLook();

  bool transparent_labels_ = true;
  bool drag_ = false;
  bool has_picture_ = false;
  QImage picture_;
  // A move by hand, for platforms that cannot move a window for us.
  bool moving_ = false;
  QPoint move_grab_;  // pointer position relative to the window's top-left
};

}  // namespace orvane
