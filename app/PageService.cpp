// The page "Дополнительно": the one-shot service commands, the motor-hours and
// serial-number writes and the service password. The frames and the checks of what the
// engineer typed are service/Commands'; the handlers only read the fields and report.
#include "app/PageService.h"

#include <QDateTime>
#include <tuple>

#include "app/BusyControls.h"
#include "app/FormBuilders.h"
#include "app/Unit1.h"
#include "widgets/StandardControls.h"
#include "terminal/Outcome.h"

namespace lum {
namespace {

LocalDateTime PcLocalTime() {
    const QDateTime now = QDateTime::currentDateTime();  // one reading
    const QDate d = now.date();
    const QTime t = now.time();
    return {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()};
}

std::string FieldText(const QLineEdit* edit) {
    return edit->text().toStdString();
}

// An hours field "час" and a minutes field "мин" side by side, both "0".
std::pair<QLineEdit*, QLineEdit*> MakeHourMinuteFields(QWidget* page, const char* hoursName,
                                                       const char* minutesName, int x, int y) {
    QLineEdit* hours = MakeEdit(page, hoursName, QStringLiteral("0"), x, y, 50);
    MakeLabel(page, "", QStringLiteral("час"), x + 54, y + 4);
    QLineEdit* minutes = MakeEdit(page, minutesName, QStringLiteral("0"), x + 84, y, 40);
    MakeLabel(page, "", QStringLiteral("мин"), x + 128, y + 4);
    return {hours, minutes};
}

}  // namespace

ServicePage::ServicePage(QWidget* sheet, TForm1& form) : QObject(sheet), form_(form) {
    BuildAccessFields(sheet);
    BuildCommands(sheet);
    // The password and the traffic log's controls need no link.
    for (QWidget* w : {static_cast<QWidget*>(Button14), static_cast<QWidget*>(Button15),
                       static_cast<QWidget*>(iSwitchLed3)})
        BusyControls::MarkNeedsNoLink(w);
    Connect();
}

void ServicePage::BuildAccessFields(QWidget* p) {
    // Service access: password, motor-hours counter, serial number.
    MakeLabel(p, "Label21", QStringLiteral("Пароль сервиса:"), 16, 16);
    Edit4 = MakeEdit(p, "Edit4", {}, 16, 34, 120);
    MaskWithAsterisks(*Edit4);
    Button14 = MakeButton(p, "Button14", QStringLiteral("Подтвердить пароль"), 144, 32, 150, 25);

    MakeLabel(p, "Label12", QStringLiteral("Счетчик моточасов:"), 16, 76);
    std::tie(Edit1, Edit2) = MakeHourMinuteFields(p, "Edit1", "Edit2", 16, 94);
    Button7 = MakeButton(p, "Button7", QStringLiteral("Установить"), 194, 92, 100, 25);

    MakeLabel(p, "Label15", QStringLiteral("Серийный номер устройства:"), 16, 136);
    Edit3 = MakeEdit(p, "Edit3", QStringLiteral("00000000"), 16, 154, 134);
    Button10 = MakeButton(p, "Button10", QStringLiteral("Установить"), 194, 152, 100, 25);
    for (QWidget* w : {static_cast<QWidget*>(Edit1), static_cast<QWidget*>(Edit2), static_cast<QWidget*>(Button7),
                       static_cast<QWidget*>(Edit3), static_cast<QWidget*>(Button10)})
        w->setEnabled(false);

}

void ServicePage::BuildCommands(QWidget* p) {
    // One-shot commands.
    Button8 = MakeButton(p, "Button8", QStringLiteral("Тест SMS"), 16, 210, 278, 28);
    Button9 = MakeButton(p, "Button9", QStringLiteral("Тест GPRS"), 16, 244, 278, 28);
    Button11 = MakeButton(p, "Button11", QStringLiteral("Перезагрузка модема"), 16, 278, 278, 28);
    Button12 = MakeButton(p, "Button12", QStringLiteral("Синхронизация системного времени"), 16, 312, 278, 28);

    // Operating mode and the generator set.
    iSwitchLed4 = Named(new SwitchLamp(QStringLiteral("Режим Авто"), p), "iSwitchLed4");
    iSwitchLed4->setGeometry(360, 16, 180, 22);
    iSwitchLed5 = Named(new SwitchLamp(QStringLiteral("Режим Полу-авто"), p), "iSwitchLed5");
    iSwitchLed5->setGeometry(360, 44, 180, 22);

    MakeLabel(p, "Label16", QStringLiteral("Время работы ГУ:"), 360, 96);
    std::tie(Edit5, Edit6) = MakeHourMinuteFields(p, "Edit5", "Edit6", 360, 114);
    Button16 = MakeButton(p, "Button16", QStringLiteral("Старт"), 530, 112, 100, 25);

    MakeLabel(p, "Label24", QStringLiteral("Время ожидания ГУ:"), 360, 156);
    std::tie(Edit7, Edit8) = MakeHourMinuteFields(p, "Edit7", "Edit8", 360, 174);
    Button17 = MakeButton(p, "Button17", QStringLiteral("Стоп"), 530, 172, 100, 25);

    // Traffic log.
    Button15 = MakeButton(p, "Button15", QStringLiteral("Имя LOG-файла"), 360, 312, 130, 28);
    iSwitchLed3 = Named(new SwitchLamp(QStringLiteral("Вести LOG-файл"), p), "iSwitchLed3");
    iSwitchLed3->setGeometry(500, 315, 160, 22);
}

void ServicePage::Connect() {
    if (!LocalTimeSource) LocalTimeSource = PcLocalTime;
    const std::pair<QPushButton*, void (ServicePage::*)()> buttons[] = {
        {Button7, &ServicePage::Button7Click},   {Button8, &ServicePage::Button8Click},
        {Button9, &ServicePage::Button9Click},   {Button10, &ServicePage::Button10Click},
        {Button11, &ServicePage::Button11Click}, {Button12, &ServicePage::Button12Click},
        {Button14, &ServicePage::Button14Click}, {Button16, &ServicePage::Button16Click},
        {Button15, &ServicePage::Button15Click}, {Button17, &ServicePage::Button17Click},
    };
    for (const auto& entry : buttons) {
        const auto handler = entry.second;  // a structured binding cannot be captured before clang 16
        connect(entry.first, &QPushButton::clicked, this, form_.Guarded([this, handler] { (this->*handler)(); }));
    }
    connect(iSwitchLed3, &SwitchLamp::clicked, this, form_.Guarded([this] { LogSwitchChanged(); }));
    connect(iSwitchLed4, &SwitchLamp::clicked, this, form_.Guarded([this] { iSwitchLed4Click(); }));
    connect(iSwitchLed5, &SwitchLamp::clicked, this, form_.Guarded([this] { iSwitchLed5Click(); }));
}

std::optional<ServiceRequest> ServicePage::BuildServiceRequest(const std::function<ServiceRequest()>& build) {
    try {
        return build();
    } catch (const InputRefused& e) {
        form_.Dialogs().MessageBox(e.what(), kCaptionWarning, MsgButtons::Ok);
        return std::nullopt;
    }
    // A ConversionError goes on to the window's error box.
}

void ServicePage::SendServiceRequestAndReport(const ServiceRequest& request) {
    if (!form_.LinkFree()) return;
    const SendResult result = SendServiceRequest(form_.Device->Tx, request);
    if (const Outcome said = SendOutcomeOf(result); !said.Ok() && !said.shownByLink)
        form_.Dialogs().MessageBox(said.text, said.caption, MsgButtons::Ok);
}

void ServicePage::Button8Click() {
    SendServiceRequestAndReport(CommandRequest(ServiceCommand::SmsTest));
}
void ServicePage::Button9Click() {
    SendServiceRequestAndReport(CommandRequest(ServiceCommand::GprsTest));
}
void ServicePage::Button11Click() {
    SendServiceRequestAndReport(CommandRequest(ServiceCommand::ModemRestart));
}
void ServicePage::Button12Click() {
    SendServiceRequestAndReport(ClockSyncRequest(LocalTimeSource()));
}

// The switches only send; the next status record shows which mode the controller took.
void ServicePage::iSwitchLed4Click() {
    SendServiceRequestAndReport(CommandRequest(ServiceCommand::AutoMode));
}
void ServicePage::iSwitchLed5Click() {
    SendServiceRequestAndReport(CommandRequest(ServiceCommand::SemiAutoMode));
}

void ServicePage::Button16Click() {
    if (auto r = BuildServiceRequest([this] { return StartRequest(FieldText(Edit5), FieldText(Edit6)); }))
        SendServiceRequestAndReport(*r);
}

void ServicePage::Button17Click() {
    if (auto r = BuildServiceRequest([this] { return StopRequest(FieldText(Edit7), FieldText(Edit8)); }))
        SendServiceRequestAndReport(*r);
}

void ServicePage::Button7Click() {
    if (auto r = BuildServiceRequest([this] { return MotorHoursRequest(FieldText(Edit1), FieldText(Edit2)); }))
        SendServiceRequestAndReport(*r);
}

void ServicePage::Button10Click() {
    if (auto r = BuildServiceRequest([this] { return SerialNumberRequest(FieldText(Edit3)); }))
        SendServiceRequestAndReport(*r);
}

void ServicePage::Button14Click() {
    if (!PasswordMatches(FieldText(Edit4))) return;
    form_.SetPageVisible(form_.TabSheet3, true);
    for (QWidget* w :
         {static_cast<QWidget*>(Edit1), static_cast<QWidget*>(Edit2), static_cast<QWidget*>(Edit3)})
        w->setEnabled(true);
    // The two write buttons: while a transaction holds the link they stay disabled and are
    // enabled when it ends.
    for (QWidget* w : {static_cast<QWidget*>(Button7), static_cast<QWidget*>(Button10)}) form_.Busy().SetEnabled(w, true);
}

void ServicePage::Button15Click() {
    ChooseLogFile();
}

void ServicePage::SetModeSwitches(bool autoOn, bool semiautoOn) {
    // setActive() does not emit clicked(): no command is sent.
    iSwitchLed4->setActive(autoOn);
    iSwitchLed5->setActive(semiautoOn);
}

}  // namespace lum
