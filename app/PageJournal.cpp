// The page "Журнал событий": reading both journals into Memo3 and Memo4, and saving the
// lists as CSV. The reading loop, the lines and the file are service/Journal's.
#include <QCloseEvent>

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

void TForm1::ConnectJournalPage() {
    Button18 = MakeButton(TabSheet5, "Button18", QStringLiteral("Сохранить журнал"), 0, 0, 130, 41);
    auto* watcher = new JournalPageWatcher(Button13, Button18, journalStopRequested_, this);
    Button13->installEventFilter(watcher);
    installEventFilter(watcher);
    watcher->Place();
    // Panel 1 grows to fit the reading's texts.
    statusPanels_[1]->setMinimumWidth(statusPanels_[1]->width());
    statusPanels_[1]->setMaximumWidth(QWIDGETSIZE_MAX);
    connect(Button13, &QPushButton::clicked, this, Guarded([this] { Button13Click(); }));
    connect(Button18, &QPushButton::clicked, this, Guarded([this] { Button18Click(); }));
}

void TForm1::Button13Click() {
    Transactions::Operation op = Device->Tx.Begin();
    if (!op) {
        dialogs_.MessageBox(kNoLinkRetryText, kCaptionErrorRu, MsgButtons::Ok);
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
        SetStatusPanelText(1, QString::fromStdString(JournalProgressText(listed)));
    };
    cb.stop = [this] { return journalStopRequested_ || destroyed_; };
    const JournalReading reading = ReadJournals(reader, cb);
    op.Release();
    if (reading.stopped) return;
    JournalEvents = reading.events;
    JournalAlarms = reading.alarms;
    const int listed = static_cast<int>(reading.events.size() + reading.alarms.size());
    SetStatusPanelText(1, QString::fromStdString(reading.unread ? JournalUnreadText(reading.unread)
                                                                : JournalProgressText(listed)));
    if (const Outcome said = JournalOutcome(reading); !said.text.empty())
        dialogs_.MessageBox(said.text, said.caption, MsgButtons::Ok);
}

void TForm1::Button18Click() {
    const auto chosen = dialogs_.SaveFileName(SaveDialogInitialDir, kJournalFileFilter);
    if (!chosen) return;
    std::string path = *chosen;
    path = WithSuffix(path, ".csv");
    SaveJournalCsv(path, JournalEvents, JournalAlarms);
}

}  // namespace lum
