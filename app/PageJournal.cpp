// The page "Журнал событий": reading both journals into Memo3 and Memo4, and saving the
// lists as CSV. The reading loop, the lines and the file are service/Journal's.
#include "app/PageJournal.h"

#include <QCloseEvent>

#include "app/BusyControls.h"
#include "app/FormBuilders.h"
#include "app/Unit1.h"
#include "common/AtomicFile.h"
#include "terminal/Outcome.h"

namespace lum {
namespace {

constexpr const char* kJournalFileFilter = "CSV (*.csv)|*.csv";

// Keeps "Сохранить журнал" right of Button13 and "Стоп" left of it wherever the layout puts
// it, and asks a running reading to stop when the window closes.
class JournalPageWatcher : public QObject {
  public:
    JournalPageWatcher(QWidget* anchor, QWidget* follower, QWidget* before, QObject* parent)
        : QObject(parent), anchor_(anchor), follower_(follower), before_(before) {}

    void Place() {
        const QRect a = anchor_->geometry();
        follower_->setGeometry(a.right() + 9, a.top(), follower_->width(), a.height());
        before_->setGeometry(a.left() - 9 - before_->width(), a.top(), before_->width(), a.height());
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == anchor_ && (event->type() == QEvent::Move || event->type() == QEvent::Resize)) Place();
        return false;
    }

  private:
    QWidget* anchor_;
    QWidget* follower_;
    QWidget* before_;
};

}  // namespace

JournalPage::JournalPage(QWidget* sheet, TForm1& form) : QObject(sheet), form_(form) {
    Label19 = MakeLabel(sheet, "Label19", QStringLiteral("Журнал событий"), 170, 4);
    Label20 = MakeLabel(sheet, "Label20", QStringLiteral("Журнал аварий"), 570, 4);
    Memo3 = MakeMemo(sheet, "Memo3", 0, 24, 386, 440);
    Memo4 = MakeMemo(sheet, "Memo4", 400, 24, 386, 440);
    Memo3->setPlainText(QStringLiteral("-пусто-"));
    Memo4->setPlainText(QStringLiteral("-пусто-"));
    Memo3->setReadOnly(true);  // the journals as the controller gave them: not for typing
    Memo4->setReadOnly(true);
    Button13 = MakeButton(sheet, "Button13", QStringLiteral("Прочитать ЖУРНАЛ СОБЫТИЙ"), 290, 480, 200, 41);
    Button18 = MakeButton(sheet, "Button18", QStringLiteral("Сохранить журнал"), 0, 0, 130, 41);
    BusyControls::MarkNeedsNoLink(Button18);
    JournalStop = new StopControl(sheet, &form_, "ButtonJournalStop");
    auto* watcher = new JournalPageWatcher(Button13, Button18, JournalStop->Button, &form_);
    Button13->installEventFilter(watcher);
    watcher->Place();
    connect(Button13, &QPushButton::clicked, this, form_.Guarded([this] { Button13Click(); }));
    connect(Button18, &QPushButton::clicked, this, form_.Guarded([this] { Button18Click(); }));
}

void JournalPage::WindowClosing() {
    windowClosed_ = true;
    JournalStop->Token().Request();
}

void JournalPage::Button13Click() {
    if (!form_.LinkFree()) return;
    Transactions::Operation op = form_.Device->Tx.Begin();
    if (!op) {
        form_.Dialogs().MessageBox(kNoLinkRetryText, kCaptionErrorRu, MsgButtons::Ok);
        return;
    }
    windowClosed_ = false;
    JournalReading reading;
    {
        StopControl::Run running(*JournalStop);
        op.WatchCancel(&JournalStop->Token());
        TransactionsJournalReader reader(op);
        JournalCallbacks cb;
        const auto memo = [this](JournalSelector j) { return j == JournalSelector::Events ? Memo3 : Memo4; };
        cb.journalStarted = [memo](JournalSelector j) { memo(j)->clear(); };
        cb.entryRead = [memo](const JournalEntry& e) {
            memo(e.journal)->appendPlainText(QString::fromStdString(e.line));
        };
        cb.position = [this](JournalSelector j, int done, int capacity) {
            form_.SetStatusPanelText(1, QString::fromStdString(JournalPositionText(j, done, capacity)));
        };
        cb.stop = [this] { return JournalStop->Token().Requested() || form_.Closing(); };
        reading = ReadJournals(reader, cb);
        op.Release();
    }
    if (windowClosed_ || form_.Closing()) return;  // nothing to show or keep
    // The lists the reading reached show what it read; the alarm list it did not reach
    // keeps the previous reading, and so does what "Сохранить журнал" saves of it.
    JournalEvents = reading.events;
    if (reading.alarmsRead) JournalAlarms = reading.alarms;
    const int listed = static_cast<int>(reading.events.size() + reading.alarms.size());
    form_.SetStatusPanelText(1, QString::fromStdString(reading.unread ? JournalUnreadText(reading.unread)
                                                                      : JournalProgressText(listed)));
    if (const Outcome said = JournalOutcome(reading); !said.text.empty())
        form_.Dialogs().MessageBox(said.text, said.caption, MsgButtons::Ok);
}

void JournalPage::Button18Click() {
    const auto chosen = form_.Dialogs().SaveFileName(form_.SaveDialogInitialDir, kJournalFileFilter);
    if (!chosen) return;
    std::string path = *chosen;
    path = WithSuffix(path, ".csv");
    SaveJournalCsv(path, JournalEvents, JournalAlarms);
}

}  // namespace lum
