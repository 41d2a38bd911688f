// One wizard per user session: the first copy listens on a local socket named
// after the application title; a second copy connects, asks the first to
// bring its window to the front, and ends.
#ifndef VOLTRANE_MANAGER_QT_SINGLE_INSTANCE_H_
#define VOLTRANE_MANAGER_QT_SINGLE_INSTANCE_H_

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QWidget>

namespace voltrane::manager {

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  explicit SingleInstance(QString name);
  // True when another copy answered (and was asked to come to the front).
  bool NotifyRunningCopy();
  // Listens for later copies; each one brings `window` to the front.
  bool Listen(QWidget* window);

 private:
  QString name_;
  QLocalServer server_;
  QWidget* window_ = nullptr;
};

// The socket name for this user.
QString DefaultInstanceName();

}  // namespace voltrane::manager

#endif  // VOLTRANE_MANAGER_QT_SINGLE_INSTANCE_H_
