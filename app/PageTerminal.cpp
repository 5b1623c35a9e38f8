// The "Терминал+лог" page: Memo1 fed in batches by the terminal logic, the display and log
// switches, the log file name, the clear button and the link's health line.
#include "app/PageTerminal.h"

#include <QEvent>
#include <QLabel>
#include <QLocale>
#include <QTimer>

#include "app/FormBuilders.h"
#include "app/Unit1.h"

namespace lum {
namespace {

// The first separator character of a locale format ("dd.MM.yyyy" gives '.').
char FirstSeparator(const QString& format, char fallback) {
    for (const QChar c : format) {
        if (c.isLetter() || c.isSpace() || c == QLatin1Char('\'')) continue;
        const char latin = c.toLatin1();
        return latin != 0 ? latin : fallback;
    }
    return fallback;
}

}  // namespace

DateTimeSeparators SystemDateTimeSeparators() {
    const QLocale locale = QLocale::system();
    return {FirstSeparator(locale.dateFormat(QLocale::ShortFormat), '/'),
            FirstSeparator(locale.timeFormat(QLocale::ShortFormat), ':')};
}

TerminalPage::TerminalPage(TForm1& form)
    : QObject(&form), form_(form), term_(clock_, logFile_, SystemDateTimeSeparators()) {
    flushTimer_ = new QTimer(this);
    flushTimer_->setSingleShot(true);
    flushTimer_->setInterval(kFlushMs);
    connect(flushTimer_, &QTimer::timeout, this, form_.Guarded([this] { Flush(); }));
    term_.PendingChanged = [this] { flushTimer_->start(); };
    term_.LogFailed = [this] {
        form_.iSwitchLed1->setActive(false);
        form_.iSwitchLed3->setActive(false);
        // Shown from the event loop, not from inside the receive handler.
        QTimer::singleShot(0, this, form_.Guarded([this] { ShowLogError(); }));
    };

    QLabel* panel = Named(new QLabel(form_.TabSheet3), "LinkHealthPanel");
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setToolTip(QString::fromStdString(LinkHealthTooltip()));
    panel->setTextFormat(Qt::PlainText);
    form_.LinkHealthPanel = panel;
    PlaceHealthPanel();
    form_.Button5->installEventFilter(this);
    form_.Button6->installEventFilter(this);

    healthTimer_ = new QTimer(this);
    healthTimer_->setInterval(1000);
    connect(healthTimer_, &QTimer::timeout, this, form_.Guarded([this] { RefreshHealth(); }));
    healthTimer_->start();
    RefreshHealth();
}

void TerminalPage::Flush() {
    flushTimer_->stop();
    if (term_.HasPending()) form_.Memo1->appendLines(term_.TakeBatch());
}

void TerminalPage::ShowLogError() {
    if (const auto error = term_.TakeError()) form_.Dialogs().ErrorBox(*error);
}

void TerminalPage::RefreshHealth() {
    QLabel* panel = form_.LinkHealthPanel;
    const HealthView view = health_.Describe(form_.Device->State);
    panel->setText(QString::fromStdString(view.Text));
    if (view.Silent != silentShown_ || panel->property("painted").isNull()) {
        QPalette palette = panel->palette();
        palette.setColor(QPalette::WindowText,
                         view.Silent ? QColor(Qt::red) : form_.palette().color(QPalette::WindowText));
        panel->setPalette(palette);
        panel->setProperty("painted", true);
        silentShown_ = view.Silent;
    }
}

void TerminalPage::FrameSeen() {
    health_.FrameSeen();
}

bool TerminalPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Move || event->type() == QEvent::Resize) PlaceHealthPanel();
    return QObject::eventFilter(watched, event);
}

void TerminalPage::PlaceHealthPanel() {
    // In the bottom row, between "Очистить " and "Имя файла".
    const QRect left = form_.Button5->geometry();
    const QRect right = form_.Button6->geometry();
    const int x = left.right() + 9;
    form_.LinkHealthPanel->setGeometry(x, left.top() + (left.height() - 22) / 2,
                                       std::max(0, right.left() - 8 - x), 22);
}

// ---- TForm1's handlers of the page ------------------------------------------------------

void TForm1::SetUpTerminal() {
    terminalPage_ = new TerminalPage(*this);
    ReceivePath& rx = Device->Rx;
    rx.LineStep = [this](std::string& lineBuffer) { terminalPage_->Term().LineStep(lineBuffer); };
    rx.FrameCounted = [this, counted = std::move(rx.FrameCounted)](std::uint32_t count) {
        if (counted) counted(count);
        terminalPage_->FrameSeen();
    };
    connect(Button5, &QPushButton::clicked, this, Guarded([this] { Button5Click(); }));
    connect(Button6, &QPushButton::clicked, this, Guarded([this] { Button6Click(); }));
    connect(Button15, &QPushButton::clicked, this, Guarded([this] { Button15Click(); }));
    connect(iSwitchLed1, &SwitchLamp::clicked, this, Guarded([this] { iSwitchLed1Change(); }));
    connect(iSwitchLed3, &SwitchLamp::clicked, this, Guarded([this] { iSwitchLed1Change(); }));
    connect(iSwitchLed2, &SwitchLamp::clicked, this, Guarded([this] { iSwitchLed2Change(); }));
}

Terminal& TForm1::TerminalState() {
    return terminalPage_->Term();
}
TerminalPage& TForm1::TerminalView() {
    return *terminalPage_;
}

void TForm1::AddTerminalLine(const std::string& line) {
    terminalPage_->Term().SentFrame(line);
}

void TForm1::Button5Click() {
    Memo1->clear();
    terminalPage_->Term().ClearScreen();
}

void TForm1::Button6Click() {
    ChooseLogFileName();
}
void TForm1::Button15Click() {
    ChooseLogFileName();
}

void TForm1::ChooseLogFileName() {
    if (const auto name = dialogs_.SaveFileName(SaveDialogInitialDir, SaveDialogFilter))
        terminalPage_->Term().SetLogFileName(*name);
}

void TForm1::iSwitchLed2Change() {
    terminalPage_->Term().SetShowData(iSwitchLed2->active());
}

void TForm1::iSwitchLed1Change() {
    const LogSwitchOutcome out =
        terminalPage_->Term().LogSwitchChange(iSwitchLed1->active(), iSwitchLed3->active());
    if (out.SwitchesOff) {
        iSwitchLed1->setActive(false);
        iSwitchLed3->setActive(false);
    }
    if (out.DisplayOff) iSwitchLed2->setActive(false);
    if (out.Warn) dialogs_.MessageBox(kNoLogFileNameText, kCaptionWarning, MsgButtons::Ok);
    terminalPage_->ShowLogError();
}

}  // namespace lum
