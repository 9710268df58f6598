// The program runs once per user. The first start holds the per-user lock
// and listens on a local socket; a later start finds the lock taken, hands
// "activate" to the running program over that socket and ends without a
// window. The running program then shows, restores and raises its main
// window (the owner connects activateRequested to that). The restarter hands
// "quit" the same way, so that the program makes room for its new version
// (the owner connects quitRequested to the main window's exit).
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

#include <memory>

#include "platform/wine/instance_lock.h"

namespace orvane::app {

// The name the desktop program runs under, shared with the restarter.
inline constexpr char kProgramInstanceName[] = "orvane";

class SingleInstance : public QObject {
  Q_OBJECT

 public:
  // name: the program's; lock_dir: "" for the user's runtime folder.
  explicit SingleInstance(const QString& name, const QString& lock_dir = QString(), QObject* parent = nullptr);

  // True when this process is the one that runs: it holds the lock and
  // listens. False when another instance runs: then "activate" was handed
  // to it (waiting up to about two seconds for it to listen) and this
  // process should end.
  bool Claim();

  // Asks the instance of `name` (locked in lock_dir, "" for the user's
  // runtime folder) to quit. True once the request was handed over; false
  // when nothing listened within timeout_ms. Whether the instance then ends
  // is for its lock to show. Any thread that may block.
  static bool SendQuit(const QString& name, const QString& lock_dir = QString(), int timeout_ms = 2000);

 signals:
  // A later start asked this instance to come to the front.
  void activateRequested();
  // The restarter asked this instance to end.
  void quitRequested();

 private:
  static QString ServerName(const QString& name, const QString& lock_dir);
  // Writes one request line to the server; retries until timeout_ms.
  static bool Send(const QString& server_name, const char* line, int timeout_ms);

  QString server_name_;
  wine::InstanceLock lock_;
  std::unique_ptr<QLocalServer> server_;
};

}  // namespace orvane::app
