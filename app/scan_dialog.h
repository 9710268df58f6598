// `CScanDialog`: the program's main window, "Orvane Performance". The user
// ticks registry sections and scans, reopens the last results, opens the
// tools, asks for updates and reaches the help page; the window owns the
// tray icon and relays every worker event to the window that shows that
// work. Interface thread only.
#pragma once

#include <QLabel>
#include <QUrl>

#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "engine/engine.h"
#include "ui/window_instance.h"
#include "model/events.h"
#include "model/settings_store.h"
#include "ui/messenger.h"
#include "ui/skin/bitmap_dialog.h"
#include "update/auto_find_new_version.h"

namespace orvane {
class CBitmapButtonEx;
class CCheckBox;
class CXColorStatic;
}  // namespace orvane

namespace orvane::ui {
class CScanProgressDialog;
}  // namespace orvane::ui

namespace orvane::app {

class TrayIcon;

// The update check and the download as the main window starts them.
class Updates {
 public:
  virtual ~Updates() = default;
  // Whether an update server is set at all (the user's or the build's).
  virtual bool HasServer() = 0;
  virtual bool Connected() = 0;
  virtual void StartUpdateCheck() = 0;
  // What the check whose NewVersion or NoNewVersion just arrived found
  // (the offered version, or why the server could not be asked); empty
  // when that is not known.
  virtual std::optional<update::CheckResult> LastCheck() = 0;
  virtual void StartDownload() = 0;
  // Runs the download dialog modally.
  virtual void RunDownloadDialog() = 0;
  // A download's progress and end, for the download dialog while it is open.
  virtual void DownloadProgress(const WorkerEvent& event) = 0;
  // Starts the restarter that puts the new version in place.
  virtual void StartRestarter() = 0;
};

// A window that shows a worker's progress: the main window hands it that
// worker's events while it is showing.
struct RelayTarget {
  QWidget* window = nullptr;
  std::function<void(const WorkerEvent&)> handle;
};

// Everything the main window works with; it owns none of it. Every pointer
// must outlive the window; those marked optional may be null or empty.
struct MainWindowParts {
  CSarvelEngine* engine = nullptr;
  SettingsStore* settings = nullptr;
  ui::Messenger* messenger = nullptr;
  ui::CScanProgressDialog* progress = nullptr;
  // Runs the results window over the engine's findings.
  std::function<void()> run_results;
  // The tools, run modally (optional). The junk and privacy scan fills in
  // the sections to scan and answers true for OK.
  std::function<void()> run_settings, run_restore, run_startup, run_uninstall;
  // The support service's windows: the report to the staff and their
  // solution (optional).
  std::function<void()> run_send_report, run_custom_solution;
  std::function<bool(std::array<bool, kSectionCount>*)> run_junk_and_privacy;
  RelayTarget repair;  // optional
  Updates* updates = nullptr;             // optional: no update service
  // Whether the desktop shows tray icons (the real answer when empty).
  std::function<bool()> tray_available;
  // Opens a web page in the user's browser (the desktop's when empty).
  std::function<void(const QUrl&)> open_url;
  QUrl help_page;
  // Where the program is and what it works on, for messages.
  QString machine;
  bool sample_machine = false;
};

class CScanDialog : public CBitmapDialog, public ui::WindowInstance<CScanDialog> {
  Q_OBJECT

 public:
  static constexpr char kTitle[] = "Orvane Performance";
  static constexpr char kAppCaption[] = "Orvane";
  // Said by the tray the first time the window closes to it.
  static constexpr char kStillRunningText[] =
      "Orvane is still running. Double-click its icon here to open it, or right-click it and choose Exit to end it.";

  CScanDialog(MainWindowParts parts, bool scan_at_start, QWidget* parent = nullptr);
  ~CScanDialog() override;

  // Initialisation: settings defaults, tray icon, layout, labels, problems
  // display, then the first paint may start a scan. Call once, before show.
  void Initialise();

  // Starts a scan as the buttons and the tray do: registry mode takes the
  // ticked sections 0..12; privacy mode the privacy selection's 13..21.
  void StartScan(bool privacy);
  // Re-reads the stored problems count into the label and the gauge.
  void RefreshProblemsDisplay();

  // The commands of the buttons and the tray menu.
  void OnSettings();
  void OnRestore();
  void OnStartup();
  void OnUninstall();
  void OnJunkAndPrivacy();
  void OnLastResults();
  void OnUpdate();
  void OnSendReport();
  void OnCustomSolution();
  void OnHelp();
  void OnMinimise();
  void OnClose();
  void OnOpen();
  void OnExit();
  void OnTrayCommand(int id);
  void SetStartWithWindows(bool on);

  // A worker's event, relayed by the table or acted on here.
  void OnWorkerEvent(const WorkerEvent& event);

  // ---- For tests and the program. ----
  CCheckBox* section_box(int id) const { return boxes_[id]; }
  CXColorStatic* section_label(int id) const { return labels_[id]; }
  CXColorStatic* problems_label() const { return problems_; }
  int gauge_image() const { return gauge_id_; }
  CXColorStatic* last_scan_label() const { return last_scan_; }
  CXColorStatic* update_status_label() const { return update_status_; }
  CXColorStatic* title_label() const { return title_; }
  CXColorStatic* machine_label() const { return machine_; }
  CBitmapButtonEx* button(int id) const;
  TrayIcon* tray() const { return tray_.get(); }
  const std::array<bool, kSectionCount>& privacy_selection() const { return privacy_selection_; }
  bool update_requested() const { return update_requested_; }

 signals:
  // The user ended the program; code is the process's exit code.
  void exitRequested(int code);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  void Layout();
  // Names, keys and the Tab order of the controls Layout made.
  void SetUpKeyboard();
  void PlaceWindow();
  CBitmapButtonEx* AddButton(int id, int normal, int hover, QPoint where, const QString& caption = {});
  // The browsers the settings choose for the privacy sections.
  BrowserSelection ChosenBrowsers() const;
  bool TrayAvailable() const;
  void Exit();
  // Tells the user that a change was refused, naming the machine and what
  // to do; nothing when status is Ok.
  void ReportRefusal(const Status& status);
  void Tell(const QString& text, const QString& caption = kAppCaption);
  // Starts an update check when a server is set, showing "Checking..." until
  // its answer; user: the user asked (the Update button, the tray), so a
  // check that cannot start is explained in a message.
  void BeginUpdateCheck(bool user);
  // The "Updates:" line; highlighted for an offer.
  void ShowUpdateStatus(const QString& text, bool highlighted = false);

  MainWindowParts parts_;
  bool scan_at_start_ = false;
  bool first_paint_pending_ = false;
  bool update_requested_ = false;
  bool exiting_ = false;
  bool told_of_tray_ = false;
  std::array<bool, kSectionCount> privacy_selection_{};
  std::array<CCheckBox*, kSectionCount> boxes_{};
  std::array<CXColorStatic*, kSectionCount> labels_{};
  std::vector<std::pair<int, CBitmapButtonEx*>> buttons_;
  CXColorStatic* title_ = nullptr;
  CXColorStatic* machine_ = nullptr;
  CXColorStatic* last_scan_ = nullptr;
  CXColorStatic* problems_ = nullptr;
  CXColorStatic* version_ = nullptr;
  CXColorStatic* update_status_ = nullptr;
  QLabel* gauge_ = nullptr;
  int gauge_id_ = 0;
  std::unique_ptr<TrayIcon> tray_;
};

}  // namespace orvane::app
