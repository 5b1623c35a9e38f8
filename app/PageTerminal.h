#pragma once
// The page "Терминал+лог": the terminal logic with its clock and log file, the batched
// feed of Memo1, the display and log switches, the log file name and the link's health
// line. The log controls on "Дополнительно" act on the same log through the window.
// Main (GUI) thread only.
#include <QObject>
#include <QPushButton>
#include <functional>

#include "terminal/LinkHealth.h"
#include "terminal/LogFile.h"
#include "terminal/Terminal.h"
#include "terminal/TerminalEntry.h"
#include "widgets/Lamp.h"
#include "widgets/TerminalMemo.h"

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

    // Builds the page's controls on `sheet`; the health line reads the window's link.
    TerminalPage(QWidget* sheet, TForm1& form);

    TerminalMemo* Memo1;
    SwitchLamp *iSwitchLed1, *iSwitchLed2;
    QPushButton *Button5, *Button6;
    QLabel* LinkHealthPanel;  // the link's counters, refreshed every second
    void Button5Click();       // "Очистить ": clears Memo1, nothing else
    void Button6Click();       // "Имя файла": the log file name through the save dialog
    void iSwitchLed1Change();  // either log switch (iSwitchLed1 here, the other on "Дополнительно")
    void iSwitchLed2Change();  // "Отображать данные"
    // The log file name through the save dialog (also "Имя LOG-файла").
    void ChooseLogFileName();
    // The other log switch, on "Дополнительно" (wired by the window).
    std::function<bool()> OtherLogSwitchOn;
    std::function<void()> OtherLogSwitchOff;

    // LineCount, ShowData, LogActive, LogFileName and the log file.
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
    void BuildControls(QWidget* p);
    void PlaceHealthPanel();
    void LogSwitchesOff();

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
