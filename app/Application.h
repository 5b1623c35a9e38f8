#pragma once
// The application object: an exception that escapes any event handler is shown in the
// standard error box with its message, and the program keeps running. Main thread only.
#include <QApplication>

#include "common/Dialogs.h"

namespace lum {

class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    void setDialogs(IDialogs* dialogs) { dialogs_ = dialogs; }
    bool notify(QObject* receiver, QEvent* event) override;

private:
    IDialogs* dialogs_ = nullptr;
};

}  // namespace lum
