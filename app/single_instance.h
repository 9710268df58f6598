// The program runs once per user. The first start holds the per-user lock
// and listens on a local socket; a later start finds the lock taken, hands
// "activate" to the running program over that socket and ends without a
// window. The running program then shows, restores and raises its main
// window (the owner connects activateRequested to that).
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

#include <memory>

#include "platform/wine/instance_lock.h"

namespace orvane::app {

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

 signals:
  // A later start asked this instance to come to the front.
  void activateRequested();

 private:
  bool SendActivate(int timeout_ms);

  QString server_name_;
  wine::InstanceLock lock_;
  std::unique_ptr<QLocalServer> server_;
};

}  // namespace orvane::app
