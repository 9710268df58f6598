#include "app/single_instance.h"

#include <QElapsedTimer>
#include <QLocalSocket>
#include <QThread>

namespace orvane::app {
namespace {

constexpr char kActivate[] = "activate\n";
constexpr char kQuit[] = "quit\n";
constexpr int kHandOverMs = 2000;

}  // namespace

SingleInstance::SingleInstance(const QString& name, const QString& lock_dir, QObject* parent)
    : QObject(parent), server_name_(ServerName(name, lock_dir)), lock_(name.toStdString(), lock_dir.toStdString()) {}

QString SingleInstance::ServerName(const QString& name, const QString& lock_dir) {
  const QString per_user = QString::fromStdString(wine::PerUserName(name.toStdString()));
  // The socket lies beside the lock. A bare name would put it in $TMPDIR or
  // /tmp, shared by sessions whose runtime folders (and so whose locks)
  // differ: a second session's program would take over the first one's
  // socket and receive its requests.
  const QString dir = lock_dir.isEmpty() ? QString::fromStdString(wine::RuntimeFolder()) : lock_dir;
  return dir + "/" + per_user + ".socket";
}

bool SingleInstance::Claim() {
  if (server_) return true;
  if (!lock_.TryAcquire()) {
    if (!Send(server_name_, kActivate, kHandOverMs))
      qWarning("orvane: another instance runs but did not answer on %s", qPrintable(server_name_));
    return false;
  }
  // The lock is ours, so a socket left behind belongs to a program that
  // died: it goes before we listen.
  QLocalServer::removeServer(server_name_);
  server_ = std::make_unique<QLocalServer>();
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(server_name_)) {
    // Still the only instance (the lock says so); it just cannot be asked
    // to come to the front.
    qWarning("orvane: cannot listen on %s: %s", qPrintable(server_name_), qPrintable(server_->errorString()));
    return true;
  }
  connect(server_.get(), &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* client = server_->nextPendingConnection()) {
      connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
      connect(client, &QLocalSocket::readyRead, this, [this, client] {
        while (client->canReadLine()) {
          const QByteArray line = client->readLine();
          if (line == kActivate) emit activateRequested();
          else if (line == kQuit) emit quitRequested();
        }
      });
    }
  });
  return true;
}

bool SingleInstance::SendQuit(const QString& name, const QString& lock_dir, int timeout_ms) {
  return Send(ServerName(name, lock_dir), kQuit, timeout_ms);
}

bool SingleInstance::Send(const QString& server_name, const char* line, int timeout_ms) {
  // The running instance may have taken the lock a moment ago and not yet
  // listen: try again until the time is up.
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < timeout_ms) {
    QLocalSocket socket;
    socket.connectToServer(server_name);
    if (socket.waitForConnected(200)) {
      socket.write(line);
      bool sent = socket.waitForBytesWritten(500);
      socket.disconnectFromServer();
      return sent;
    }
    QThread::msleep(50);
  }
  return false;
}

}  // namespace orvane::app
