#include "qt/qt_clock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

namespace tessvar::qt {

bool QtClock::OnWindowThread() {
  const QCoreApplication* app = QCoreApplication::instance();
  return app && QThread::currentThread() == app->thread();
}

void QtClock::Sleep(uint32_t ms) {
  if (!OnWindowThread()) {
    base_.Sleep(ms);
    return;
  }
  const QtWindowHost::WaitScope wait(host_);
  const uint64_t end = base_.MonotonicMs() + ms;
  // The loop ends by its own timer; the deadline check keeps a spurious quit from cutting
  // the wait short.
  for (uint64_t now = base_.MonotonicMs(); now < end; now = base_.MonotonicMs()) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(end - now), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
  }
}

void QtClock::Yield() {
  if (!OnWindowThread()) return;
  const QtWindowHost::WaitScope wait(host_);
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace tessvar::qt
