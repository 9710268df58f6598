// `CPictureBoxEx`: shows a still picture or plays an animated GIF on a
// thread of its own. The GIF's blocks are walked by our own code; each frame
// is cut into a one-image GIF that Qt's image reader decodes. Load, Draw,
// Stop and Unload are for the interface thread.
#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "ui/skin/wait_clock.h"

namespace orvane {

class CPictureBoxEx : public QWidget {
  Q_OBJECT

 public:
  struct Frame {
    QImage picture;
    int width = 0;
    int height = 0;
    int left = 0;
    int top = 0;
    int delay = -1;  // hundredths of a second; -1 without a control block
    int disposal = 0;
  };

  // Pictures larger than this on either side are refused: the canvas alone
  // would take gigabytes.
  static constexpr int kMaxSide = 4096;
  // Decoded frames stop being kept beyond this many pixels in all.
  static constexpr qint64 kMaxFramePixels = 64LL * 1024 * 1024;
  static constexpr int kStopWaitMs = 5000;

  // `clock` times the frames and the bounded stop; it must outlive every
  // animation thread this control starts (the default one lives forever).
  explicit CPictureBoxEx(QWidget* parent = nullptr, WaitClock* clock = &DefaultWaitClock());
  ~CPictureBoxEx() override;

  // Unloads, then reads and loads the file (a path or a ":/" resource). False
  // when it cannot be read, a GIF has no image (or none of its frames
  // decodes), the picture is empty or too large, or the data is no picture.
  bool Load(const QString& path);
  bool LoadData(const QByteArray& data);
  // Starts showing: an animation with several frames starts its thread; a
  // still picture is drawn once. Nothing before a successful Load.
  void Draw();
  // Ends the animation: signals the thread and waits at most 5 s for it. A
  // thread that does not end in time is left to finish alone on its own copy
  // of the state; it never touches this control again. Returns false then.
  bool Stop();
  // Stop, then forget the pictures and the canvas.
  void Unload();

  bool is_gif() const { return is_gif_; }
  bool canvas_ready() const;
  bool playing() const;
  bool thread_started() const { return thread_.joinable(); }
  QSize picture_size() const { return QSize(width_, height_); }
  const std::vector<Frame>& frames() const;
  QColor background() const;
  // A copy of what the control shows now.
  QImage Canvas() const;

  // Animation threads of any control still running (left-alone ones too).
  static int RunningThreads();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  struct Shared;
  static void Animate(std::shared_ptr<Shared> shared);
  void PrepareCanvas(int width, int height);
  std::function<void()> RepaintRequest();

  WaitClock* clock_;
  bool is_gif_ = false;
  int width_ = 0;
  int height_ = 0;
  QImage single_;
  std::shared_ptr<Shared> shared_;
  std::thread thread_;
};

}  // namespace orvane
