#include "app/QtSafeSync.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <atomic>
#include <exception>

#include "serial/SafeSync.h"

namespace lum {

namespace {

const QEvent::Type kServeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class ServeReceiver : public QObject {
public:
    // Set by a worker when it queues a request, cleared by the main thread before serving,
    // so that a burst of requests posts one event, not one per request.
    std::atomic<bool> posted{false};

    bool event(QEvent* e) override {
        if (e->type() != kServeEvent) return QObject::event(e);
        posted.store(false);
        SafeSync::ServePending();
        return true;
    }
};

ServeReceiver* g_receiver = nullptr;

}  // namespace

void InstallQtSafeSync(IDialogs& dialogs) {
    if (!g_receiver) g_receiver = new ServeReceiver;
    ServeReceiver* receiver = g_receiver;
    SafeSync::SetWaker([receiver] {
        if (!receiver->posted.exchange(true)) QCoreApplication::postEvent(receiver, new QEvent(kServeEvent));
    });
    SafeSync::SetErrorHandler([&dialogs](std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            dialogs.ErrorBox(e.what());
        } catch (...) {
            dialogs.ErrorBox("Неизвестная ошибка");
        }
    });
}

void UninstallQtSafeSync() {
    SafeSync::SetWaker(nullptr);
    SafeSync::SetErrorHandler(nullptr);
    delete g_receiver;
    g_receiver = nullptr;
}

}  // namespace lum
