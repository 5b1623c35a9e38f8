// The page "Дополнительно": the one-shot service commands, the motor-hours and
// serial-number writes and the service password. The frames and the checks of what the
// engineer typed are service/Commands'; the handlers only read the fields and report.
#include <QDateTime>

#include "app/Unit1.h"
#include "terminal/Outcome.h"

namespace lum {
namespace {

LocalDateTime PcLocalTime() {
    const QDateTime now = QDateTime::currentDateTime();  // one reading
    const QDate d = now.date();
    const QTime t = now.time();
    return {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()};
}

std::string Text(const QLineEdit* edit) {
    return edit->text().toStdString();
}

}  // namespace

void TForm1::ConnectServicePage() {
    if (!LocalTimeSource) LocalTimeSource = PcLocalTime;
    const std::pair<QPushButton*, void (TForm1::*)()> buttons[] = {
        {Button7, &TForm1::Button7Click},   {Button8, &TForm1::Button8Click},
        {Button9, &TForm1::Button9Click},   {Button10, &TForm1::Button10Click},
        {Button11, &TForm1::Button11Click}, {Button12, &TForm1::Button12Click},
        {Button14, &TForm1::Button14Click}, {Button16, &TForm1::Button16Click},
        {Button17, &TForm1::Button17Click},
    };
    for (const auto& entry : buttons) {
        const auto handler = entry.second;  // a structured binding cannot be captured before clang 16
        connect(entry.first, &QPushButton::clicked, this, Guarded([this, handler] { (this->*handler)(); }));
    }
    iSwitchLed4->onClick = Guarded([this] { iSwitchLed4Click(); });
    iSwitchLed5->onClick = Guarded([this] { iSwitchLed5Click(); });
}

std::optional<ServiceRequest> TForm1::BuildServiceRequest(const std::function<ServiceRequest()>& build) {
    try {
        return build();
    } catch (const InputRefused& e) {
        dialogs_.MessageBox(e.what(), kCaptionWarning, MsgButtons::Ok);
        return std::nullopt;
    }
    // A ConversionError goes on to the window's error box.
}

void TForm1::SendServiceRequestAndReport(const ServiceRequest& request) {
    const SendResult result = SendServiceRequest(Device->Tx, request);
    if (const Outcome said = SendOutcomeOf(result); !said.Ok() && !said.shownByLink)
        dialogs_.MessageBox(said.text, said.caption, MsgButtons::Ok);
}

void TForm1::Button8Click() {
    SendServiceRequestAndReport(CommandRequest(ServiceCommand::SmsTest));
}
void TForm1::Button9Click() {
    SendServiceRequestAndReport(CommandRequest(ServiceCommand::GprsTest));
}
void TForm1::Button11Click() {
    SendServiceRequestAndReport(CommandRequest(ServiceCommand::ModemRestart));
}
void TForm1::Button12Click() {
    SendServiceRequestAndReport(ClockSyncRequest(LocalTimeSource()));
}

// The switches only send; the next status record shows which mode the controller took.
void TForm1::iSwitchLed4Click() {
    SendServiceRequestAndReport(CommandRequest(ServiceCommand::AutoMode));
}
void TForm1::iSwitchLed5Click() {
    SendServiceRequestAndReport(CommandRequest(ServiceCommand::SemiAutoMode));
}

void TForm1::Button16Click() {
    if (auto r = BuildServiceRequest([this] { return StartRequest(Text(Edit5), Text(Edit6)); }))
        SendServiceRequestAndReport(*r);
}

void TForm1::Button17Click() {
    if (auto r = BuildServiceRequest([this] { return StopRequest(Text(Edit7), Text(Edit8)); }))
        SendServiceRequestAndReport(*r);
}

void TForm1::Button7Click() {
    if (auto r = BuildServiceRequest([this] { return MotorHoursRequest(Text(Edit1), Text(Edit2)); }))
        SendServiceRequestAndReport(*r);
}

void TForm1::Button10Click() {
    if (auto r = BuildServiceRequest([this] { return SerialNumberRequest(Text(Edit3)); }))
        SendServiceRequestAndReport(*r);
}

void TForm1::Button14Click() {
    if (!PasswordMatches(Text(Edit4))) return;
    SetPageVisible(TabSheet3, true);
    for (QWidget* w :
         {static_cast<QWidget*>(Edit1), static_cast<QWidget*>(Edit2), static_cast<QWidget*>(Edit3)})
        w->setEnabled(true);
    // The two write buttons: while a transaction holds the link they stay disabled and are
    // enabled when it ends.
    for (QWidget* w : {static_cast<QWidget*>(Button7), static_cast<QWidget*>(Button10)}) {
        bool held = false;
        for (auto& [control, was] : savedEnabled_) {
            if (control == w) {
                was = true;
                held = true;
            }
        }
        if (!held) w->setEnabled(true);
    }
}

}  // namespace lum
