#include "ui/skin/picture_box.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <functional>
#include <mutex>
#include <string_view>

#include "ui/skin/gif_walk.h"

namespace orvane {
namespace {

std::atomic<int> g_running_threads{0};
constexpr size_t kMaxFrames = 1024;

// The time a frame stays: its delay when 5 hundredths or more, else 100 ms
// (many files say 0 and mean "as fast as sensible").
std::chrono::milliseconds FrameTime(int delay) {
  return std::chrono::milliseconds(delay >= 5 ? delay * 10 : 100);
}

// The walk accepts any version letters after "GIF"; the decoder may not, so
// it is handed the data as the version it understands.
QImage DecodeGif(const QByteArray& bytes) {
  QByteArray copy = bytes;
  if (copy.size() >= 6) copy.replace(3, 3, "89a");
  QBuffer buffer(&copy);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "gif");
  return reader.read();
}

}  // namespace

// What the animation thread and the control share. The thread keeps its own
// reference, so a thread that outlives a Stop still has valid state to end on.
struct CPictureBoxEx::Shared {
  explicit Shared(WaitClock* c) : clock(c) {}
  WaitClock* clock;
  std::mutex mutex;  // guards everything below
  std::condition_variable cv;
  bool stop_event = false;  // manual reset: stays set until Stop resets it
  bool stop_flag = false;
  bool playing = false;
  bool thread_done = true;
  QImage canvas;
  bool canvas_ready = false;
  QColor background = Qt::white;
  std::vector<Frame> frames;
  size_t current = 0;
  QImage saved;
  // Asks the control to repaint; cleared before the control lets go.
  std::function<void()> repaint;
};

CPictureBoxEx::CPictureBoxEx(QWidget* parent, WaitClock* clock)
    : QWidget(parent), clock_(clock), shared_(std::make_shared<Shared>(clock)) {
  shared_->repaint = RepaintRequest();
}

std::function<void()> CPictureBoxEx::RepaintRequest() {
  // Queued: the animation thread never paints; the interface thread does.
  return [this] {
    QMetaObject::invokeMethod(
        this, [this] { update(); }, Qt::QueuedConnection);
  };
}

CPictureBoxEx::~CPictureBoxEx() {
  Stop();
  std::lock_guard lock(shared_->mutex);
  shared_->repaint = nullptr;
}

int CPictureBoxEx::RunningThreads() { return g_running_threads.load(); }

bool CPictureBoxEx::canvas_ready() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->canvas_ready;
}

bool CPictureBoxEx::playing() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->playing;
}

const std::vector<CPictureBoxEx::Frame>& CPictureBoxEx::frames() const { return shared_->frames; }

QColor CPictureBoxEx::background() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->background;
}

QImage CPictureBoxEx::Canvas() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->canvas.copy();
}

bool CPictureBoxEx::Load(const QString& path) {
  Unload();
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  QByteArray data = file.readAll();
  if (file.error() != QFileDevice::NoError ||
      (!file.isSequential() && data.size() != file.size())) {
    return false;
  }
  return LoadData(data);
}

bool CPictureBoxEx::LoadData(const QByteArray& data) {
  Unload();
  std::string_view view(data.constData(), static_cast<size_t>(data.size()));
  int width = 0;
  int height = 0;
  std::vector<Frame> frames;
  QImage single;
  if (LooksLikeGif(view)) {
    std::optional<GifLayout> layout = WalkGif(view);
    if (!layout || layout->images.empty()) return false;
    width = layout->screen_width;
    height = layout->screen_height;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return false;
    if (layout->images.size() == 1) {
      single = DecodeGif(data);
      if (single.isNull()) return false;
    } else {
      qint64 pixels_left = kMaxFramePixels;
      for (const GifImage& image : layout->images) {
        if (frames.size() >= kMaxFrames) break;
        const qint64 pixels = qint64(image.width) * image.height;
        if (pixels <= 0 || pixels > pixels_left) continue;  // undecodable or too costly
        // The copy's screen is the image itself, so the decoder hands back
        // exactly the image and we place it at its own left and top.
        std::string one = CutGifImage(view, *layout, image, /*screen_is_image=*/true);
        if (one.empty()) continue;
        QImage picture = DecodeGif(QByteArray(one.data(), static_cast<qsizetype>(one.size())));
        if (picture.isNull()) continue;
        pixels_left -= pixels;
        frames.push_back(Frame{picture.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                               image.width, image.height, image.left, image.top, image.delay,
                               image.disposal});
      }
      if (frames.empty()) return false;
    }
    is_gif_ = true;
  } else {
    if (!single.loadFromData(data) || single.isNull()) return false;
    width = single.width();
    height = single.height();
    if (width > kMaxSide || height > kMaxSide) return false;
  }
  single_ = single;
  width_ = width;
  height_ = height;
  {
    std::lock_guard lock(shared_->mutex);
    shared_->frames = std::move(frames);
    shared_->current = 0;
  }
  PrepareCanvas(width, height);
  return true;
}

void CPictureBoxEx::PrepareCanvas(int width, int height) {
  resize(width, height);  // the position stays
  std::lock_guard lock(shared_->mutex);
  shared_->canvas = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
  shared_->canvas.fill(palette().color(QPalette::Light));
  shared_->background = palette().color(QPalette::Button);
  shared_->canvas_ready = true;
}

void CPictureBoxEx::Draw() {
  std::unique_lock lock(shared_->mutex);
  if (!shared_->canvas_ready) return;
  if (shared_->frames.size() > 1) {
    if (thread_.joinable()) return;  // already playing: one thread per control
    shared_->thread_done = false;
    shared_->stop_flag = false;
    thread_ = std::thread(&CPictureBoxEx::Animate, shared_);
    return;
  }
  QPainter painter(&shared_->canvas);
  if (shared_->frames.size() == 1) {
    const Frame& frame = shared_->frames.front();
    painter.drawImage(QRect(frame.left, frame.top, frame.width, frame.height), frame.picture);
  } else {
    painter.drawImage(QPoint(0, 0), single_);
  }
  painter.end();
  lock.unlock();
  update();
}

void CPictureBoxEx::Animate(std::shared_ptr<Shared> s) {
  ++g_running_threads;
  std::unique_lock lock(s->mutex);
  s->playing = true;
  while (!s->stop_flag && !s->frames.empty()) {
    const Frame& frame = s->frames[s->current];
    const QRect area(frame.left, frame.top, frame.width, frame.height);
    if (frame.disposal == 3) s->saved = s->canvas.copy(area);
    {
      QPainter painter(&s->canvas);
      painter.drawImage(area, frame.picture);
    }
    if (s->repaint) s->repaint();
    s->clock->WaitFor(s->cv, lock, FrameTime(frame.delay), [&] { return s->stop_event; });
    if (s->stop_flag) break;
    if (frame.disposal == 2) {
      QPainter painter(&s->canvas);
      painter.fillRect(area, s->background);
    } else if (frame.disposal == 3 && !s->saved.isNull()) {
      QPainter painter(&s->canvas);
      painter.setCompositionMode(QPainter::CompositionMode_Source);
      painter.drawImage(area.topLeft(), s->saved);
      s->saved = QImage();
    }
    if (++s->current >= s->frames.size()) {
      s->current = 0;
      s->canvas.fill(s->background);
    }
  }
  s->playing = false;
  s->thread_done = true;
  s->cv.notify_all();
  lock.unlock();
  --g_running_threads;
}

bool CPictureBoxEx::Stop() {
  bool ended = true;
  {
    std::unique_lock lock(shared_->mutex);
    shared_->playing = false;
    shared_->stop_flag = true;
    shared_->stop_event = true;
    shared_->cv.notify_all();
    if (thread_.joinable()) {
      Shared* s = shared_.get();
      ended = clock_->WaitFor(s->cv, lock, std::chrono::milliseconds(kStopWaitMs),
                              [s] { return s->thread_done; });
    }
    if (!ended) {
      // Leave the late thread its state, stop flag still set, and carry on
      // with a copy: it can neither reach this control nor run again.
      shared_->repaint = nullptr;
      auto fresh = std::make_shared<Shared>(clock_);
      fresh->canvas = shared_->canvas.copy();
      fresh->canvas_ready = shared_->canvas_ready;
      fresh->background = shared_->background;
      fresh->frames = shared_->frames;
      fresh->repaint = RepaintRequest();
      lock.unlock();
      shared_ = std::move(fresh);
      thread_.detach();
      return false;
    }
  }
  if (thread_.joinable()) thread_.join();
  std::lock_guard lock(shared_->mutex);
  shared_->stop_event = false;
  shared_->stop_flag = false;
  return true;
}

void CPictureBoxEx::Unload() {
  Stop();
  {
    std::lock_guard lock(shared_->mutex);
    shared_->frames.clear();
    shared_->current = 0;
    shared_->canvas = QImage();
    shared_->saved = QImage();
    shared_->canvas_ready = false;
    shared_->background = Qt::white;
  }
  single_ = QImage();
  is_gif_ = false;
  width_ = 0;
  height_ = 0;
  update();
}

void CPictureBoxEx::paintEvent(QPaintEvent*) {
  std::lock_guard lock(shared_->mutex);
  if (!shared_->canvas_ready) return;
  QPainter painter(this);
  painter.drawImage(QPoint(0, 0), shared_->canvas, QRect(0, 0, width_, height_));
}

}  // namespace orvane
