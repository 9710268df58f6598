#include "ui/download_dialog.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>
#include <chrono>

#include "ui/testing_windows.h"

namespace orvane::ui {
namespace {

using namespace std::chrono_literals;
using testing::WhileRunning;

class DownloadDialogTest : public ::testing::Test {
 protected:
  DownloadDialogTest() : window_([this] { ++aborts_; }) {
    window_.set_clock([this] { return now_; });
  }

  void Feed(const WorkerEvent& event) { window_.OnWorkerEvent(event); }
  int Run() { return window_.exec(); }

  std::chrono::steady_clock::time_point now_{std::chrono::seconds(1000)};
  int aborts_ = 0;
  CDownloadDialog window_;
};

TEST_F(DownloadDialogTest, TheStartShowsTheAnnouncedSizeAndResetsTheRest) {
  EXPECT_EQ(window_.size(), QSize(450, 393));
  EXPECT_EQ(window_.heading_text(), "DOWNLOADING");
  EXPECT_EQ(window_.explanation_text(), "Please wait while the latest version is being downloaded.");
  EXPECT_EQ(window_.abort_button()->caption(), "Abort");
  EXPECT_EQ(window_.abort_button()->geometry(), QRect(340, 340, 81, 21));
  EXPECT_EQ(window_.progress_bar()->geometry(), QRect(50, 150, 350, 21));

  Feed(DownloadStarts{10 * 1024 + 1023});
  EXPECT_EQ(window_.size_text(), "10 KB");
  EXPECT_EQ(window_.downloaded_text(), "0 KB");
  EXPECT_EQ(window_.speed_text(), "Initializing..");
  EXPECT_EQ(window_.elapsed_text(), "0 mins 0 secs");
  EXPECT_EQ(window_.progress_bar()->minimum(), 0);
  EXPECT_EQ(window_.progress_bar()->maximum(), 10);
  EXPECT_EQ(window_.progress_bar()->value(), 0);
}

TEST_F(DownloadDialogTest, ProgressShowsKilobytesSpeedAndRoundedElapsedTime) {
  Feed(DownloadStarts{4096});
  now_ += 2s;
  Feed(DownloadReceived{1536});
  EXPECT_EQ(window_.downloaded_text(), "1 KB");
  EXPECT_EQ(window_.speed_text(), "0.5 KB per sec");
  EXPECT_EQ(window_.elapsed_text(), "0 mins 2 secs");
  EXPECT_EQ(window_.progress_bar()->value(), 1);

  // Rounded to the nearest second, minutes apart.
  now_ += 123s + 600ms;  // 125.6 s since the start
  Feed(DownloadReceived{3 * 1024});
  EXPECT_EQ(window_.elapsed_text(), "2 mins 6 secs");
  EXPECT_EQ(window_.speed_text(), QString::asprintf("%0.1f KB per sec", 3.0 / 126));

  // More than announced fills the bar instead of leaving it behind.
  Feed(DownloadReceived{9 * 1024});
  EXPECT_EQ(window_.downloaded_text(), "9 KB");
  EXPECT_EQ(window_.progress_bar()->value(), 4);
}

TEST_F(DownloadDialogTest, WithinTheFirstHalfSecondTheSpeedIsStillInitializing) {
  Feed(DownloadStarts{1 << 20});
  now_ += 499ms;
  Feed(DownloadReceived{200 * 1024});
  EXPECT_EQ(window_.speed_text(), "Initializing..");
  EXPECT_EQ(window_.elapsed_text(), "0 mins 0 secs");
  EXPECT_EQ(window_.downloaded_text(), "200 KB");
  now_ += 1ms;  // half a second rounds up
  Feed(DownloadReceived{200 * 1024});
  EXPECT_EQ(window_.speed_text(), "200.0 KB per sec");
  EXPECT_EQ(window_.elapsed_text(), "0 mins 1 secs");
}

TEST_F(DownloadDialogTest, AbortStopsTheWorkerOnceAndClosesAndNothingLateIsShown) {
  Feed(DownloadStarts{4096});
  const int result = WhileRunning(
      window_, [this] { return Run(); },
      [this] {
        EXPECT_TRUE(window_.isVisible());
        window_.abort_button()->click();
      });
  EXPECT_EQ(result, QDialog::Rejected);
  EXPECT_EQ(aborts_, 1);
  EXPECT_FALSE(window_.isVisible());
  EXPECT_TRUE(window_.ended());

  // What the worker posted before it stopped arrives afterwards.
  now_ += 2s;
  Feed(DownloadReceived{2048});
  Feed(DownloadComplete{});
  EXPECT_EQ(window_.downloaded_text(), "0 KB");
  window_.reject();
  EXPECT_EQ(aborts_, 1);
  EXPECT_EQ(Run(), QDialog::Rejected) << "an aborted download's window does not open again";
}

TEST_F(DownloadDialogTest, ClosingTheWindowIsAnAbort) {
  const int result = WhileRunning(
      window_, [this] { return Run(); }, [this] { window_.close(); });
  EXPECT_EQ(result, QDialog::Rejected);
  EXPECT_EQ(aborts_, 1);
  EXPECT_FALSE(window_.isVisible());
}

TEST_F(DownloadDialogTest, TheEndOfTheTransferClosesTheWindowWithoutAnAbort) {
  const int result = WhileRunning(
      window_, [this] { return Run(); },
      [this] {
        Feed(DownloadStarts{2048});
        Feed(DownloadReceived{2048});
        Feed(DownloadComplete{});
      });
  EXPECT_EQ(result, QDialog::Accepted);
  EXPECT_EQ(aborts_, 0);
  EXPECT_FALSE(window_.isVisible());
  EXPECT_EQ(window_.downloaded_text(), "2 KB");
}

TEST_F(DownloadDialogTest, AnEndBeforeTheWindowRunsMakesItReturnAtOnce) {
  // The worker may be quicker than the window: its events are handled
  // before exec() starts.
  Feed(DownloadStarts{2048});
  Feed(DownloadComplete{});
  bool shown = false;
  const int result = WhileRunning(
      window_, [this] { return Run(); }, [&] { shown = window_.isVisible(); });
  EXPECT_EQ(result, QDialog::Accepted);
  EXPECT_FALSE(shown);
  EXPECT_EQ(aborts_, 0);
}

TEST_F(DownloadDialogTest, AFailedTransferClosesTheWindowThoughNoCompletionCame) {
  const int result = WhileRunning(
      window_, [this] { return Run(); },
      [this] {
        Feed(DownloadStarts{8192});
        Feed(DownloadReceived{4096});
        Feed(DownloadFailed{});
      });
  EXPECT_EQ(result, QDialog::Accepted);
  EXPECT_EQ(aborts_, 0);
}

// ORVANE_SHOT=/path/shot.png: the window after 1536 bytes in 2 seconds, drawn
// into that file for a person to look at.
TEST_F(DownloadDialogTest, Screenshot) {
  const QString path = qEnvironmentVariable("ORVANE_SHOT");
  if (path.isEmpty()) GTEST_SKIP() << "ORVANE_SHOT is not set";
  Feed(DownloadStarts{4096});
  now_ += 2s;
  Feed(DownloadReceived{1536});
  window_.show();
  testing::WaitUntil([this] { return window_.isVisible(); });
  QCoreApplication::processEvents(QEventLoop::AllEvents, 200);
  ASSERT_TRUE(window_.grab().save(path));
  window_.hide();
}

}  // namespace
}  // namespace orvane::ui
