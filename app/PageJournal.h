#pragma once
// The page "Журнал событий": reading both journals into Memo3 and Memo4, and saving the
// lists as CSV. Main (GUI) thread only.
#include <QLabel>
#include <QObject>
#include <QPlainTextEdit>
#include <QPushButton>
#include <vector>

#include "app/StopControl.h"
#include "service/Journal.h"

namespace lum {

class TForm1;

class JournalPage : public QObject {
    Q_OBJECT
  public:
    // Builds the page's controls on `sheet`.
    JournalPage(QWidget* sheet, TForm1& form);

    QLabel *Label19, *Label20;
    QPlainTextEdit *Memo3, *Memo4;
    QPushButton* Button13;
    QPushButton* Button18;  // "Сохранить журнал"
    StopControl* JournalStop;  // "Стоп" (and Esc) while a reading runs
    // Reads both journals into Memo3 and Memo4, progress in status bar panel 1 ("События:
    // 37 из 105"). A reading that ends early leaves the list it did not reach as it was and
    // says so in a box.
    void Button13Click();
    // The window is closing (the user agreed): a running reading stops and shows nothing.
    void WindowClosing();
    // Saves the lists of the last reading as CSV through the dialogs service.
    void Button18Click();
    // The records listed by the last reading.
    std::vector<JournalEntry> JournalEvents, JournalAlarms;

  private:
    TForm1& form_;
    bool windowClosed_ = false;  // the window was closed during the reading
};

}  // namespace lum
