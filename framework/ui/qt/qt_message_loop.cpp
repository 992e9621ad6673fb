#include "framework/ui/qt/qt_message_loop.h"

#include <QApplication>
#include <QMetaObject>

void TQtMessageLoop::Run() { QApplication::exec(); }

void TQtMessageLoop::ProcessMessages() { QCoreApplication::processEvents(); }

void TQtMessageLoop::PostQuit() {
  QMetaObject::invokeMethod(qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}
