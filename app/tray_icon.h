// The main window's icon in the notification area, with the tray menu:
// "Open Orvane", "Scan PC now", "Check updates", "Languages", "Launch at
// Windows Startup" and "Exit". The icon only reports what the user chose;
// the main window acts. Interface thread only.
#pragma once

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

#include <functional>

namespace orvane::app {

class TrayIcon : public QObject {
  Q_OBJECT

 public:
  // The menu's command ids.
  enum Command {
    kExit = 32773,
    kOpen = 32774,
    kScanNow = 32777,
    kCheckUpdates = 32778,
    kEnglish = 32781,
    kStartYes = 32782,
    kStartNo = 32783,
    // The support service's two windows.
    kSendReport = 32790,
    kCustomSolution = 32791,
  };
  static constexpr char kTip[] = "Orvane Performance";

  // start_with_windows answers whether the program starts with the session;
  // the two check marks follow it each time the menu opens.
  explicit TrayIcon(std::function<bool()> start_with_windows, QObject* parent = nullptr);

  void Add();     // shows the icon (where the desktop has a tray)
  void Remove();  // takes it away

  // A balloon from the icon (the desktop shows it where it can); the last
  // one and how many were shown are kept for the window that asked.
  void Notify(const QString& title, const QString& text);
  const QString& last_notice() const { return last_notice_; }
  int notices() const { return notices_; }

  QMenu* menu() { return &menu_; }
  QAction* action(int id) const;
  // Sets the check marks as the menu is about to open.
  void PrepareMenu();
  // What a click on the icon does: a double-click opens the window; other
  // clicks do nothing here (the right button opens the menu).
  void OnActivated(QSystemTrayIcon::ActivationReason reason);

 signals:
  void commandChosen(int id);
  void openRequested();

 private:
  QAction* AddItem(QMenu* menu, const QString& text, int id);

  std::function<bool()> start_with_windows_;
  QSystemTrayIcon icon_;
  QMenu menu_;
  QMenu languages_;
  QMenu startup_;
  QString last_notice_;
  int notices_ = 0;
};

}  // namespace orvane::app
