#pragma once
// The "Терминал+лог" page's side of the window: the terminal logic with its clock and log
// file, the batched feed of Memo1, and the link's health line. The handlers of the page's
// controls (and of the log controls on "Дополнительно") are TForm1's and call into here.
// Main (GUI) thread only.
#include <QObject>

#include "terminal/LinkHealth.h"
#include "terminal/LogFile.h"
#include "terminal/Terminal.h"
#include "terminal/TerminalEntry.h"

class QLabel;
class QTimer;

namespace lum {

class TForm1;

// The system's date and time separators, from the locale's short formats.
DateTimeSeparators SystemDateTimeSeparators();

class TerminalPage : public QObject {
    Q_OBJECT
  public:
    // Display rate: received lines wait at most this long for their batch.
    static constexpr int kFlushMs = 40;

    explicit TerminalPage(TForm1& form);

    Terminal& Term() { return term_; }
    // Appends what waits for the screen to Memo1 in one go (one repaint); the view follows
    // the newest line only when it was at the bottom.
    void Flush();
    // Shows the log failure not yet shown (once), in the standard error box.
    void ShowLogError();
    // Refreshes the health line (every second by its timer).
    void RefreshHealth();
    // A controller frame was counted.
    void FrameSeen();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void PlaceHealthPanel();

    TForm1& form_;
    LocalClock clock_;
    StdLogFile logFile_;
    Terminal term_;
    LinkHealth health_;
    QTimer* flushTimer_;
    QTimer* healthTimer_;
    bool silentShown_ = false;
};

}  // namespace lum
