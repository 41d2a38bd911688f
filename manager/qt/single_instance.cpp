// The single-instance handshake over a local socket.
#include "manager/qt/single_instance.h"

#include <unistd.h>

#include <QLocalSocket>

#include "manager/string_resources.h"

namespace voltrane::manager {

QString DefaultInstanceName() {
  return QString(kAppTitle).remove(' ') + "-" + QString::number(getuid());
}

SingleInstance::SingleInstance(QString name) : name_(std::move(name)) {}

bool SingleInstance::NotifyRunningCopy() {
  QLocalSocket socket;
  socket.connectToServer(name_);
  if (!socket.waitForConnected(500)) return false;
  socket.write("raise\n");
  socket.waitForBytesWritten(500);
  socket.disconnectFromServer();
  return true;
}

bool SingleInstance::Listen(QWidget* window) {
  window_ = window;
  // A socket file left by a copy that crashed would block listening.
  QLocalServer::removeServer(name_);
  connect(&server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
      connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      if (window_) {
        window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
        window_->show();
        window_->raise();
        window_->activateWindow();
      }
    }
  });
  return server_.listen(name_);
}

}  // namespace voltrane::manager
