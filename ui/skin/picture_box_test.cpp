#include "ui/skin/picture_box.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QTemporaryDir>
#include <atomic>
#include <thread>

#include "ui/skin/skin_images.h"
#include "ui/skin/testing_gif.h"

namespace orvane {
namespace {

using testing::TestFrame;
using testing::MakeGif;
using namespace std::chrono_literals;

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);
const QColor kBlue(0, 0, 255);

// Records every requested wait. The first `instant` frame waits return at
// once as if their time had passed; later ones block until the stop event.
class RecordingClock : public WaitClock {
 public:
  explicit RecordingClock(int instant) : instant_(instant) {}

  bool WaitFor(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
               std::chrono::milliseconds timeout, const std::function<bool()>& done) override {
    int calls;
    {
      std::lock_guard guard(mutex_);
      waits_.push_back(static_cast<int>(timeout.count()));
      calls = static_cast<int>(waits_.size());
    }
    seen_.notify_all();
    if (done()) return true;
    if (timeout.count() != CPictureBoxEx::kStopWaitMs && calls <= instant_) return false;
    cv.wait(lock, done);
    return true;
  }

  std::vector<int> waits() {
    std::lock_guard guard(mutex_);
    return waits_;
  }

  // Waits (bounded) until at least `count` waits were requested.
  bool AwaitWaits(size_t count) {
    std::unique_lock guard(mutex_);
    return seen_.wait_for(guard, 5s, [&] { return waits_.size() >= count; });
  }

 private:
  const int instant_;
  std::mutex mutex_;
  std::condition_variable seen_;
  std::vector<int> waits_;
};

// A frame wait that ignores the stop event until released: a thread that
// does not end in time. The bounded stop wait "times out" at once.
class StuckClock : public WaitClock {
 public:
  bool WaitFor(std::condition_variable&, std::unique_lock<std::mutex>& lock,
               std::chrono::milliseconds timeout, const std::function<bool()>& done) override {
    if (timeout.count() == CPictureBoxEx::kStopWaitMs) {
      stop_waits_++;
      return done();
    }
    entered_ = true;
    while (!released_) {
      lock.unlock();
      std::this_thread::sleep_for(1ms);
      lock.lock();
    }
    return done();
  }
  std::atomic<bool> entered_{false};
  std::atomic<bool> released_{false};
  std::atomic<int> stop_waits_{0};
};

bool Eventually(const std::function<bool()>& condition) {
  for (int i = 0; i < 5000 && !condition(); ++i) std::this_thread::sleep_for(1ms);
  return condition();
}

TEST(PictureBoxTest, OneImageGifIsAStillPictureWithoutThread) {
  RecordingClock clock(0);
  CPictureBoxEx box(nullptr, &clock);
  ASSERT_TRUE(box.LoadData(MakeGif(3, 2, {{0, 0, 3, 2, /*colour=*/1, 10, 0}})));
  EXPECT_TRUE(box.is_gif());
  EXPECT_EQ(box.size(), QSize(3, 2));  // the control takes the picture's size
  EXPECT_TRUE(box.frames().empty());
  box.Draw();
  EXPECT_FALSE(box.thread_started());
  EXPECT_FALSE(box.playing());
  EXPECT_EQ(box.Canvas().pixelColor(2, 1), kRed);
  EXPECT_TRUE(clock.waits().empty());
}

TEST(PictureBoxTest, ShortDelaysShowForAHundredMilliseconds) {
  RecordingClock clock(/*instant=*/6);
  CPictureBoxEx box(nullptr, &clock);
  std::vector<TestFrame> frames;
  for (int delay : {0, 1, 4, 5, 12, -1}) frames.push_back({0, 0, 2, 2, 1, delay, 0});
  ASSERT_TRUE(box.LoadData(MakeGif(2, 2, frames)));
  ASSERT_EQ(box.frames().size(), 6u);
  box.Draw();
  ASSERT_TRUE(clock.AwaitWaits(7));
  EXPECT_TRUE(box.playing());
  std::vector<int> waits = clock.waits();
  waits.resize(7);
  // 0-4 hundredths (and no control block) show 100 ms; 5 shows 50 ms and 12
  // shows 120 ms; then the animation starts over.
  EXPECT_EQ(waits, (std::vector<int>{100, 100, 100, 50, 120, 100, 100}));
  EXPECT_TRUE(box.Stop());
  EXPECT_FALSE(box.playing());
  EXPECT_EQ(clock.waits().back(), CPictureBoxEx::kStopWaitMs);
}

TEST(PictureBoxTest, AnyVersionLettersAfterGifLoad) {
  for (QByteArray version : {"89a", "87a", "9zz"}) {
    CPictureBoxEx box;
    EXPECT_TRUE(box.LoadData(MakeGif(2, 2, {{0, 0, 2, 2, 2, 10, 0}}, version))) << version.data();
    EXPECT_TRUE(
        box.LoadData(MakeGif(2, 2, {{0, 0, 2, 2, 2, 10, 0}, {0, 0, 1, 1, 3, 10, 0}}, version)))
        << version.data();
    EXPECT_EQ(box.frames().size(), 2u) << version.data();
  }
}

TEST(PictureBoxTest, DisposalRestoresBackgroundOrPreviousArea) {
  // Restore to background: the frame's area takes the background colour.
  {
    RecordingClock clock(/*instant=*/1);
    CPictureBoxEx box(nullptr, &clock);
    ASSERT_TRUE(box.LoadData(MakeGif(4, 4, {{0, 0, 2, 2, 2, 10, 2}, {2, 2, 2, 2, 3, 10, 0}})));
    const QColor light = box.Canvas().pixelColor(3, 0);
    box.Draw();
    ASSERT_TRUE(clock.AwaitWaits(2));  // the second frame is on show
    QImage canvas = box.Canvas();
    EXPECT_EQ(canvas.pixelColor(0, 0), box.background());
    EXPECT_EQ(canvas.pixelColor(3, 3), kBlue);
    EXPECT_EQ(canvas.pixelColor(3, 0), light);
    box.Stop();
  }
  // Restore to previous: what lay under the frame comes back.
  {
    RecordingClock clock(/*instant=*/2);
    CPictureBoxEx box(nullptr, &clock);
    ASSERT_TRUE(box.LoadData(
        MakeGif(4, 4, {{0, 0, 4, 4, 1, 10, 0}, {0, 0, 2, 2, 2, 10, 3}, {3, 3, 1, 1, 3, 10, 0}})));
    box.Draw();
    ASSERT_TRUE(clock.AwaitWaits(3));
    QImage canvas = box.Canvas();
    EXPECT_EQ(canvas.pixelColor(0, 0), kRed);
    EXPECT_EQ(canvas.pixelColor(3, 3), kBlue);
    box.Stop();
  }
  // After the last frame the whole canvas takes the background colour.
  {
    RecordingClock clock(/*instant=*/2);
    CPictureBoxEx box(nullptr, &clock);
    ASSERT_TRUE(box.LoadData(MakeGif(4, 4, {{0, 0, 1, 1, 1, 10, 0}, {1, 1, 1, 1, 2, 10, 0}})));
    box.Draw();
    ASSERT_TRUE(clock.AwaitWaits(3));  // frame 0 again, on a cleared canvas
    QImage canvas = box.Canvas();
    EXPECT_EQ(canvas.pixelColor(0, 0), kRed);
    EXPECT_EQ(canvas.pixelColor(1, 1), box.background());
    box.Stop();
  }
}

TEST(PictureBoxTest, UnloadWhilePlayingStopsTheThreadFirst) {
  RecordingClock clock(/*instant=*/0);
  CPictureBoxEx box(nullptr, &clock);
  ASSERT_TRUE(box.LoadData(MakeGif(2, 2, {{0, 0, 2, 2, 1, 10, 0}, {0, 0, 2, 2, 2, 10, 0}})));
  box.Draw();
  box.Draw();  // a second Draw while playing starts no second thread
  ASSERT_TRUE(clock.AwaitWaits(1));
  ASSERT_TRUE(box.playing());
  box.Unload();
  EXPECT_FALSE(box.playing());
  EXPECT_FALSE(box.thread_started());
  EXPECT_FALSE(box.canvas_ready());
  EXPECT_TRUE(box.frames().empty());
  EXPECT_EQ(box.background(), QColor(Qt::white));
  EXPECT_EQ(CPictureBoxEx::RunningThreads(), 0);
  box.Draw();  // nothing loaded: nothing happens
  EXPECT_FALSE(box.thread_started());
}

TEST(PictureBoxTest, AThreadThatMissesTheStopWaitIsLeftAloneSafely) {
  StuckClock clock;
  {
    CPictureBoxEx box(nullptr, &clock);
    ASSERT_TRUE(box.LoadData(MakeGif(2, 2, {{0, 0, 2, 2, 1, 10, 0}, {0, 0, 2, 2, 2, 10, 0}})));
    box.Draw();
    ASSERT_TRUE(Eventually([&] { return clock.entered_.load(); }));
    EXPECT_FALSE(box.Stop());  // gave up after the bounded wait
    EXPECT_EQ(clock.stop_waits_, 1);
    EXPECT_FALSE(box.thread_started());
    EXPECT_TRUE(box.canvas_ready());  // the control goes on working
    EXPECT_EQ(box.frames().size(), 2u);
    box.Unload();
  }  // the control is gone while its old thread still waits
  clock.released_ = true;
  EXPECT_TRUE(Eventually([] { return CPictureBoxEx::RunningThreads() == 0; }));
}

TEST(PictureBoxTest, RefusesWhatCannotBeShown) {
  CPictureBoxEx box;
  EXPECT_FALSE(box.Load(QStringLiteral("/nonexistent/Loading.gif")));
  EXPECT_FALSE(box.LoadData(QByteArray("not a picture at all")));
  EXPECT_FALSE(box.LoadData(MakeGif(4, 4, {})));                                // no image
  EXPECT_FALSE(box.LoadData(MakeGif(0, 4, {{0, 0, 1, 1, 1, 10, 0}})));          // empty screen
  EXPECT_FALSE(box.LoadData(MakeGif(60000, 60000, {{0, 0, 1, 1, 1, 10, 0}})));  // absurd screen
  // Frames that all fail to decode (empty images).
  EXPECT_FALSE(box.LoadData(MakeGif(4, 4, {{0, 0, 0, 0, 1, 10, 0}, {0, 0, 0, 0, 1, 10, 0}})));
  EXPECT_FALSE(box.canvas_ready());
  // One bad frame among good ones is left out.
  ASSERT_TRUE(box.LoadData(
      MakeGif(4, 4, {{0, 0, 2, 2, 1, 10, 0}, {0, 0, 0, 0, 1, 10, 0}, {0, 0, 2, 2, 3, 10, 0}})));
  EXPECT_EQ(box.frames().size(), 2u);
}

TEST(PictureBoxTest, LoadsOtherPicturesAndTheProgramsAnimation) {
  QImage png(5, 3, QImage::Format_RGB32);
  png.fill(kGreen);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  png.save(&buffer, "PNG");
  QTemporaryDir dir;
  const QString path = dir.filePath("still.png");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
  file.close();

  CPictureBoxEx box;
  ASSERT_TRUE(box.Load(path));
  EXPECT_FALSE(box.is_gif());
  EXPECT_EQ(box.picture_size(), QSize(5, 3));
  box.Draw();
  EXPECT_EQ(box.Canvas().pixelColor(4, 2), kGreen);

  ASSERT_TRUE(box.Load(LoadingGifPath()));
  EXPECT_TRUE(box.is_gif());
  EXPECT_GE(box.frames().size(), 2u);
  for (const CPictureBoxEx::Frame& frame : box.frames()) {
    EXPECT_GE(frame.delay, 0) << "every frame has a graphic control block";
  }
}

}  // namespace
}  // namespace orvane
