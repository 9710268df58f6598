// `CSettingsDialog`: the program's options, the browsers the privacy
// sections clean, the scheduled scan, and the way to the folder of HTML scan
// reports. The options are the user's, for every machine; the browsers and
// the scheduled scan are the machine's the dialog was opened on, and no
// other machine's schedule is shown or saved. Every opening reads the
// settings, the session's start-up entry and the task afresh; nothing is kept
// between showings. Save writes them all; Cancel and Escape write nothing.
// Interface thread only.
#pragma once

#include <QComboBox>
#include <QTimeEdit>
#include <QUrl>
#include <functional>
#include <map>

#include "engine/engine.h"
#include "ui/window_instance.h"
#include "model/settings_store.h"
#include "ui/messenger.h"
#include "ui/skin/bitmap_button.h"
#include "ui/skin/bitmap_dialog.h"
#include "ui/skin/check_box.h"
#include "ui/skin/color_static.h"

namespace orvane::app {

class CSettingsDialog : public CBitmapDialog, public ui::WindowInstance<CSettingsDialog> {
  Q_OBJECT

 public:
  // The client area is the picture's size; the position is reckoned from the
  // window's outer size, as the other windows do.
  static constexpr int kWidth = 550;
  static constexpr int kHeight = 440;
  static constexpr int kOuterWidth = 555;
  static constexpr int kOuterHeight = 465;

  // Check box ids.
  static constexpr int kStartWithWindows = 1027;
  static constexpr int kScanAtStartup = 1028;
  static constexpr int kTrayOnClose = 1029;
  static constexpr int kAutoUpdates = 1030;
  static constexpr int kInternetExplorer = 1245;
  static constexpr int kFirefox = 1244;
  static constexpr int kChrome = 1243;

  // settings, engine and messenger must outlive the dialog. open_url is how
  // a folder is shown to the user (the desktop's file manager).
  CSettingsDialog(SettingsStore& settings, CSarvelEngine& engine, ui::Messenger& messenger,
                  std::function<void(const QUrl&)> open_url, QWidget* parent = nullptr);

  // Opens afresh and runs modally: Accepted after a save, Rejected after
  // Cancel, Escape or closing.
  int Run();

  // The opening: fills missing settings in the dialog's own form, then shows
  // what is stored. Run does it; tests call it to look without running.
  void Open();
  // Save: writes everything the dialog shows. A machine that may not be
  // changed now (or a write that fails) is told with the reason and the
  // dialog stays open, having claimed nothing; the schedule's own failure
  // is told after the settings are stored.
  void Save();
  // Shows the reports folder through open_url, making it when missing.
  void ViewReports();
  // The time picker serves Daily and Weekly, the day boxes Weekly only.
  void ApplyEnabling();

  // A check box by its id (the options, the browsers, the days 1138..1145).
  CCheckBox* check_box(int id) const;
  // The day box of a day bit (kMondayBit, ...).
  CCheckBox* day_box(int day_bit) const;
  QComboBox* schedule_list() const { return schedule_; }
  QComboBox* language_list() const { return language_; }
  QTimeEdit* time_picker() const { return time_; }
  CBitmapButtonEx* save_button() const { return save_; }
  CBitmapButtonEx* cancel_button() const { return cancel_; }
  CBitmapButtonEx* reports_button() const { return reports_; }

 private:
  CXColorStatic* Label(int id, const QRect& where, const QString& text, bool caption);
  CCheckBox* Box(int id, QPoint where);
  void Lay();

  SettingsStore& settings_;
  CSarvelEngine& engine_;
  ui::Messenger& messenger_;
  std::function<void(const QUrl&)> open_url_;
  std::map<int, CCheckBox*> boxes_;
  std::map<int, CCheckBox*> days_;  // by day bit
  QComboBox* schedule_ = nullptr;
  QComboBox* language_ = nullptr;
  QTimeEdit* time_ = nullptr;
  CBitmapButtonEx* reports_ = nullptr;
  CBitmapButtonEx* save_ = nullptr;
  CBitmapButtonEx* cancel_ = nullptr;
};

}  // namespace orvane::app
