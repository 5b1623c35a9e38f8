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

// Keeps "Сохранить журнал" beside Button13 wherever the layout puts it, and asks a running
// reading to stop when the window closes.
class JournalPageWatcher : public QObject {
  public:
    JournalPageWatcher(QWidget* anchor, QWidget* follower, bool& stopFlag, QObject* parent)
        : QObject(parent), anchor_(anchor), follower_(follower), stop_(stopFlag) {}

    void Place() {
        const QRect a = anchor_->geometry();
        follower_->setGeometry(a.right() + 9, a.top(), follower_->width(), a.height());
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == anchor_ && (event->type() == QEvent::Move || event->type() == QEvent::Resize)) Place();
        if (watched == parent() && event->type() == QEvent::Close) stop_ = true;
        return false;
    }

  private:
    QWidget* anchor_;
    QWidget* follower_;
    bool& stop_;
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
    auto* watcher = new JournalPageWatcher(Button13, Button18, journalStopRequested_, &form_);
    Button13->installEventFilter(watcher);
    form_.installEventFilter(watcher);
    watcher->Place();
    connect(Button13, &QPushButton::clicked, this, form_.Guarded([this] { Button13Click(); }));
    connect(Button18, &QPushButton::clicked, this, form_.Guarded([this] { Button18Click(); }));
}

void JournalPage::Button13Click() {
    if (!form_.LinkFree()) return;
    Transactions::Operation op = form_.Device->Tx.Begin();
    if (!op) {
        form_.Dialogs().MessageBox(kNoLinkRetryText, kCaptionErrorRu, MsgButtons::Ok);
        return;
    }
    journalStopRequested_ = false;
    TransactionsJournalReader reader(op);
    JournalCallbacks cb;
    const auto memo = [this](JournalSelector j) { return j == JournalSelector::Events ? Memo3 : Memo4; };
    cb.journalStarted = [memo](JournalSelector j) { memo(j)->clear(); };
    cb.entryRead = [memo](const JournalEntry& e) {
        memo(e.journal)->appendPlainText(QString::fromStdString(e.line));
    };
    cb.progress = [this](int listed, int) {
        form_.SetStatusPanelText(1, QString::fromStdString(JournalProgressText(listed)));
    };
    cb.stop = [this] { return journalStopRequested_ || form_.Closing(); };
    const JournalReading reading = ReadJournals(reader, cb);
    op.Release();
    if (reading.stopped) return;
    JournalEvents = reading.events;
    JournalAlarms = reading.alarms;
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
