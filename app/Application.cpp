#include "app/Application.h"

#include <cstdio>
#include <exception>

namespace lum {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("configurator"));
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    std::string message;
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        message = e.what();
    } catch (...) {
        message = "Неизвестная ошибка";
    }
    if (dialogs_) dialogs_->ErrorBox(message);
    else std::fprintf(stderr, "%s\n", message.c_str());
    return false;
}

}  // namespace lum
