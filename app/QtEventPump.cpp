#include "app/QtEventPump.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QTimer>

namespace lum {

void QtEventPump::RunPending(std::chrono::milliseconds maxWait) {
    // The single-shot timer bounds the sleep: WaitForMoreEvents returns once at least
    // one event (ours at the latest) has been handled.
    QTimer bound;
    bound.setSingleShot(true);
    bound.setTimerType(Qt::PreciseTimer);
    bound.start(static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, maxWait.count())));
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

}  // namespace lum
