#include "app/Application.h"

#include <cstdio>
#include <exception>

namespace lum {

namespace {
int& Prepared(int& argc) {
    PrepareQtPlatform();
    return argc;
}
}  // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(Prepared(argc), argv) {
    setApplicationName(QStringLiteral("configurator"));
    qtTranslationLoaded_ = qtTranslator_.load(QString::fromLatin1(kQtTranslation));
    if (qtTranslationLoaded_) installTranslator(&qtTranslator_);
    else std::fprintf(stderr, "configurator: %s is missing; Qt's dialogs stay in English\n", kQtTranslation);
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
