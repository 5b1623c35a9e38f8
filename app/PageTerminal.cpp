// The "Терминал+лог" page: Memo1 fed in batches by the terminal logic, the display and log
// switches, the log file name, the clear button and the link's health line.
#include "app/PageTerminal.h"

#include <QEvent>
#include <QLabel>
#include <QLocale>
#include <QTimer>

#include "app/BusyControls.h"
#include "app/FormBuilders.h"
#include "app/Unit1.h"

namespace lum {
DateTimeSeparators SystemDateTimeSeparators() {
    const QLocale locale = QLocale::system();
    return {FirstSeparator(locale.dateFormat(QLocale::ShortFormat).toStdString(), '/'),
            FirstSeparator(locale.timeFormat(QLocale::ShortFormat).toStdString(), ':')};
}

TerminalPage::TerminalPage(QWidget* sheet, TForm1& form)
    : QObject(sheet), form_(form), term_(clock_, logFile_, SystemDateTimeSeparators()) {
    BuildControls(sheet);
    flushTimer_ = new QTimer(this);
    flushTimer_->setSingleShot(true);
    flushTimer_->setInterval(kFlushMs);
    connect(flushTimer_, &QTimer::timeout, this, form_.Guarded([this] { Flush(); }));
    term_.PendingChanged = [this] { flushTimer_->start(); };
    term_.LogFailed = [this] {
        LogSwitchesOff();
        // Shown from the event loop, not from inside the receive handler.
        QTimer::singleShot(0, this, form_.Guarded([this] { ShowLogError(); }));
    };

    LinkHealthPanel = Named(new QLabel(sheet), "LinkHealthPanel");
    LinkHealthPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    LinkHealthPanel->setToolTip(QString::fromStdString(LinkHealthTooltip()));
    LinkHealthPanel->setTextFormat(Qt::PlainText);
    PlaceHealthPanel();
    Button5->installEventFilter(this);
    Button6->installEventFilter(this);

    healthTimer_ = new QTimer(this);
    healthTimer_->setInterval(1000);
    connect(healthTimer_, &QTimer::timeout, this, form_.Guarded([this] { RefreshHealth(); }));
    healthTimer_->start();
    RefreshHealth();
}

void TerminalPage::Flush() {
    flushTimer_->stop();
    if (term_.HasPending()) Memo1->appendLines(term_.TakeBatch());
}

void TerminalPage::ShowLogError() {
    if (const auto error = term_.TakeError()) form_.Dialogs().ErrorBox(*error);
}

void TerminalPage::RefreshHealth() {
    QLabel* panel = LinkHealthPanel;
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
    const QRect left = Button5->geometry();
    const QRect right = Button6->geometry();
    const int x = left.right() + 9;
    LinkHealthPanel->setGeometry(x, left.top() + (left.height() - 22) / 2,
                                       std::max(0, right.left() - 8 - x), 22);
}

void TerminalPage::BuildControls(QWidget* p) {
    Memo1 = Named(new TerminalMemo(p), "Memo1");
    // Below the top strip's selectors, as the parameter tree.
    Memo1->setGeometry(0, 24, 785, 450);
    iSwitchLed2 = Named(new SwitchLamp(QStringLiteral("Отображать данные"), p), "iSwitchLed2");
    iSwitchLed2->setGeometry(8, 490, 160, 22);
    Button5 = MakeButton(p, "Button5", QStringLiteral("Очистить "), 180, 482, 100, 35);
    Button6 = MakeButton(p, "Button6", QStringLiteral("Имя файла"), 560, 482, 100, 35);
    iSwitchLed1 = Named(new SwitchLamp(QStringLiteral("Вести лог"), p), "iSwitchLed1");
    iSwitchLed1->setGeometry(670, 490, 115, 22);
    // The terminal works on the screen and the log, not on the link.
    for (QWidget* w : {static_cast<QWidget*>(Button5), static_cast<QWidget*>(Button6),
                       static_cast<QWidget*>(iSwitchLed1), static_cast<QWidget*>(iSwitchLed2)})
        BusyControls::MarkNeedsNoLink(w);
    connect(Button5, &QPushButton::clicked, this, form_.Guarded([this] { Button5Click(); }));
    connect(Button6, &QPushButton::clicked, this, form_.Guarded([this] { Button6Click(); }));
    connect(iSwitchLed1, &SwitchLamp::clicked, this, form_.Guarded([this] { iSwitchLed1Change(); }));
    connect(iSwitchLed2, &SwitchLamp::clicked, this, form_.Guarded([this] { iSwitchLed2Change(); }));
}

void TerminalPage::LogSwitchesOff() {
    iSwitchLed1->setActive(false);
    if (OtherLogSwitchOff) OtherLogSwitchOff();
}

void TerminalPage::Button5Click() {
    Memo1->clear();
    term_.ClearScreen();
}

void TerminalPage::Button6Click() {
    ChooseLogFileName();
}

void TerminalPage::ChooseLogFileName() {
    // The log is appended to: choosing an existing file is no reason to ask about replacing it.
    if (const auto name = form_.Dialogs().AppendFileName(form_.SaveDialogInitialDir, form_.SaveDialogFilter)) {
        term_.SetLogFileName(*name);
        ShowLogError();
    }
}

void TerminalPage::iSwitchLed2Change() {
    term_.SetShowData(iSwitchLed2->active());
}

void TerminalPage::iSwitchLed1Change() {
    const LogSwitchOutcome out =
        term_.LogSwitchChange(iSwitchLed1->active(), OtherLogSwitchOn && OtherLogSwitchOn());
    if (out.SwitchesOff) LogSwitchesOff();
    if (out.DisplayOff) iSwitchLed2->setActive(false);
    if (out.Warn) form_.Dialogs().MessageBox(kNoLogFileNameText, kCaptionWarning, MsgButtons::Ok);
    ShowLogError();
}

}  // namespace lum
