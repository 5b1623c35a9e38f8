#pragma once
// "Стоп" for a long operation (a configuration read or write, a journal reading): a button
// shown only while the operation runs, and Esc anywhere in the window, both setting the
// operation's cancel token. The operation itself (params/Transfer, service/Journal and the
// link's waits) looks at the token; this class only sets it. The button needs no link, so
// a transaction does not disable it. Main (GUI) thread only.
#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>

#include "common/Cancel.h"

namespace lum {

class StopControl : public QObject {
  public:
    // The button on `page` (hidden), Esc on `window`.
    StopControl(QWidget* page, QWidget* window, const char* objectName);

    QPushButton* Button;
    CancelToken& Token() { return token_; }
    bool Running() const { return running_; }

    // While a Run lives: the token is reset, the button shown and Esc active.
    class Run {
      public:
        explicit Run(StopControl& c);
        ~Run();
        Run(const Run&) = delete;
        Run& operator=(const Run&) = delete;

      private:
        StopControl& c_;
    };

  private:
    CancelToken token_;
    QShortcut* escape_;
    bool running_ = false;
};

}  // namespace lum
