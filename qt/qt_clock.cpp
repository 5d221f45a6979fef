#include "qt/qt_clock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <algorithm>

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
  const WaitGate::Scope gated(host_.Gate());
  const uint64_t end = base_.MonotonicMs() + ms;
  // In slices, so that a cancel is seen at once; each slice ends by its own timer, and the
  // deadline check keeps a spurious quit from cutting the wait short.
  for (uint64_t now = base_.MonotonicMs(); now < end && !Cancelled(); now = base_.MonotonicMs()) {
    QEventLoop loop;
    const auto slice = static_cast<int>(std::min<uint64_t>(end - now, kSliceMs));
    QTimer::singleShot(slice, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::AllEvents);
    host_.Gate().Elapsed(base_.MonotonicMs());
  }
}

void QtClock::Yield() {
  if (!OnWindowThread()) return;
  const QtWindowHost::WaitScope wait(host_);
  const WaitGate::Scope gated(host_.Gate());
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  host_.Gate().Elapsed(base_.MonotonicMs());
}

}  // namespace tessvar::qt
