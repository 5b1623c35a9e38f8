#pragma once
// The page "Дополнительно": the one-shot service commands, the motor-hours and
// serial-number writes, the service password and the traffic log's controls.
// Main (GUI) thread only.
#include <QLineEdit>
#include <QObject>
#include <QPushButton>
#include <functional>
#include <optional>

#include "service/Commands.h"
#include "widgets/Lamp.h"

namespace lum {

class TForm1;

class ServicePage : public QObject {
    Q_OBJECT
  public:
    // Builds the page's controls on `sheet`.
    ServicePage(QWidget* sheet, TForm1& form);

    QLineEdit *Edit1, *Edit2, *Edit3, *Edit4, *Edit5, *Edit6, *Edit7, *Edit8;
    QPushButton *Button7, *Button8, *Button9, *Button10, *Button11, *Button12, *Button14, *Button15;
    QPushButton *Button16, *Button17;
    SwitchLamp *iSwitchLed3, *iSwitchLed4, *iSwitchLed5;
    void Button7Click();   // motor-hours counter
    void Button8Click();   // test SMS
    void Button9Click();   // test GPRS
    void Button10Click();  // serial number
    void Button11Click();  // modem restart
    void Button12Click();  // clock from the PC
    void Button14Click();  // service password
    void Button15Click();  // "Имя LOG-файла"
    void Button16Click();  // start
    void Button17Click();  // stop
    void iSwitchLed4Click();
    void iSwitchLed5Click();
    // The PC's local time, read once per clock synchronisation (tests put their own clock here).
    std::function<LocalDateTime()> LocalTimeSource;
    // The log controls act on the terminal's log: what they do is wired by the window.
    std::function<void()> ChooseLogFile, LogSwitchChanged;

    // The mode switches as the status record shows them (no command is sent).
    void SetModeSwitches(bool autoOn, bool semiautoOn);

  private:
    void BuildAccessFields(QWidget* p);
    void BuildCommands(QWidget* p);
    void Connect();
    // Sends one service request and tells the engineer what went wrong, if anything.
    void SendServiceRequestAndReport(const ServiceRequest& request);
    // Runs a request builder; a refused entry shows its warning and gives nothing.
    std::optional<ServiceRequest> BuildServiceRequest(const std::function<ServiceRequest()>& build);

    TForm1& form_;
};

}  // namespace lum
