#pragma once
// The application object: an exception that escapes any event handler is shown in the
// standard error box with its message, and the program keeps running. It also speaks Russian
// in Qt's own texts (file dialogs, message-box buttons, "… already exists"): Qt's Russian
// translation is built into the program (resource :/i18n/qtbase_ru.qm) and installed at start,
// on every system. Main thread only.
#include <QApplication>
#include <QTranslator>

#include "common/Dialogs.h"

namespace lum {

// What the window system needs set before the application object exists (app/win32/QtPlatform.cpp,
// app/posix/QtPlatform.cpp: on Windows Qt's FreeType font engine, unless QT_QPA_PLATFORM says
// otherwise). TApplication calls it first.
void PrepareQtPlatform();

class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    void setDialogs(IDialogs* dialogs) { dialogs_ = dialogs; }
    bool notify(QObject* receiver, QEvent* event) override;
    // Qt's Russian texts are installed (false only when the built-in translation is missing).
    bool qtTranslationLoaded() const { return qtTranslationLoaded_; }

    static constexpr const char* kQtTranslation = ":/i18n/qtbase_ru.qm";

private:
    QTranslator qtTranslator_;
    bool qtTranslationLoaded_ = false;
    IDialogs* dialogs_ = nullptr;
};

}  // namespace lum
