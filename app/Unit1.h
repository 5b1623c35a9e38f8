#pragma once
// The main window `TForm1`: the top strip, the six pages, the status bar, the timers and
// the program's module-level state. Handlers stay thin and call the logic folders.
// Main (GUI) thread only.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "common/Dialogs.h"
#include "device/DeviceLink.h"
#include "service/Commands.h"
#include "service/Journal.h"
#include "serial/ComPort.h"
#include "widgets/BarGauge.h"
#include "widgets/ColumnTree.h"
#include "widgets/DialGauge.h"
#include "widgets/Lamp.h"
#include "widgets/NumericDisplay.h"
#include "widgets/StripChart.h"
#include "widgets/TerminalMemo.h"
#include "widgets/TextField.h"

namespace lum {

class TForm2;
class TelemetryBinding;
class Terminal;
class TerminalPage;

// Colours the program sets on the generator dial's pointer.
inline const QColor kPointerBlue(0, 0, 255);
inline const QColor kPointerYellow(255, 255, 0);
inline const QColor kPointerRed(255, 0, 0);

class TForm1 : public QWidget {
    Q_OBJECT
public:
    // Where the port list comes from: fills `names` with the serial device names
    // beginning with "COM" (may throw with the system's error text).
    using PortLister = std::function<void(std::vector<std::string>& names)>;

    explicit TForm1(IDialogs& dialogs, PortLister portLister = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    // ---- module-level state -------------------------------------------------------
    std::uint8_t CurrentModelCode = 200;
    std::array<std::uint8_t, 256> ConfigImage{};
    bool GuPointerBlink = false;
    std::string SaveDialogInitialDir;  // SaveDialog1: the folder of the executable
    std::string SaveDialogFilter;      // SaveDialog1: "Text files (*.txt)|*.txt"

    // ---- handlers ---------------------------------------------------------------------
    void FormCreate();
    void FormDestroy();
    void Timer1Timer();
    void Timer3Timer();
    void PageControl1Change();

    // Runs a handler body; an exception that escapes it is shown in the error box and the
    // program goes on.
    void RunHandler(const std::function<void()>& body);
    // A slot for connect() that runs `body` through RunHandler.
    std::function<void()> Guarded(std::function<void()> body);

    // Clears TreeList1 and fills it from the catalogue of a model (200, 201, 202, 30) and
    // makes the "Журнал событий" page visible.
    void LoadCatalogForModel(std::uint8_t modelCode);

    // The measurements page's error state (every display "---", texts empty, gauges at 0).
    void SetIndicatorsError();
    void ClearIndicatorsError();
    // The eleven gauges of the measurements page.
    std::array<GaugeBase*, 11> MeasurementGauges() const;

    // The status branch of the receive handler: shows a status frame (kind 1, code 21) that
    // is `frame.size()` bytes long; a frame too short for the record is ignored.
    void DecodeStatusRecord(std::span<const std::uint8_t> frame);
    // The proportional layout of the pages (app/LayoutRules), for the window's outer size.
    // Raises std::logic_error naming the controls the rules use that the window lacks.
    void FormConstrainedResize();
    // The outer size the layout rules see: the framed size, or the design frame around
    // the client area when the window system reports no frame.
    QSize OuterSizeForLayout() const;

    // ---- device link (app/FormLink.cpp) ---------------------------------------------------
    // The serial port: 9600 baud; the number comes from the selector.
    std::unique_ptr<TComPort> ComPort1;
    // The port wired to the receive path and the transactions: the last decoded frame
    // (Device->State), the reply slot and the protocol counters.
    std::unique_ptr<DeviceLink> Device;
    // OnDataRecived of ComPort1.
    void ComPort1DataRecived(TCustomSerialPort* Sender, std::uint32_t Count);
    // The port selector's change: close, take the digits of the text, open that COM number.
    void ComboBox1Change();
    // Linux: closes the port and opens a device path as it is (a text beginning with "/").
    void OpenDevicePath(const std::string& path);
    // Shows `text` in the port selector without running its change handler (tooltip: device).
    void ShowPortText(const QString& text, const QString& device);
    // Adds one sent-frame line to the terminal Memo1 (control characters shown as symbols).
    void AddTerminalLine(const std::string& line);

    // ---- terminal and traffic log (app/PageTerminal.cpp) -----------------------------------
    void Button5Click();       // "Очистить ": clears Memo1, nothing else
    void Button6Click();       // "Имя файла": the log file name through the save dialog
    void Button15Click();      // "Имя LOG-файла": the same name
    void iSwitchLed1Change();  // either log switch (iSwitchLed1, iSwitchLed3)
    void iSwitchLed2Change();  // "Отображать данные"
    // LineCount, ShowData, LogActive, LogFileName and the log file.
    Terminal& TerminalState();
    TerminalPage& TerminalView();

    // Text of a status bar panel (0 or 1).
    QString StatusPanelText(int panel) const;
    void SetStatusPanelText(int panel, const QString& text);

    IDialogs& Dialogs() { return dialogs_; }
    TForm2* Form2 = nullptr;  // the parameter edit dialog, created by the program entry

    // ---- top strip ----------------------------------------------------------------------
    QComboBox* ComboBox_DeviceVersions;
    QComboBox* ComboBox1;

    // ---- pages ---------------------------------------------------------------------------
    QTabWidget* PageControl1;
    QWidget* TabSheet1;  // "Измерения"
    QWidget* TabSheet2;  // "Параметры"
    QWidget* TabSheet5;  // "Журнал событий"
    QWidget* TabSheet6;  // "Диаграммы"
    QWidget* TabSheet4;  // "Дополнительно"
    QWidget* TabSheet3;  // "Терминал+лог"
    // Shows or hides a page's tab (a hidden page keeps its place in the tab order).
    void SetPageVisible(QWidget* page, bool visible);
    bool PageVisible(QWidget* page) const;

    // "Измерения"
    DialGauge *iAnalog_A, *iAnalog_B, *iAnalog_C, *iAnalog_GU;
    BarGauge *iAnalog_ACC, *iAnalog_UPS, *iAnalog_SignalStrength;
    BarGauge *iAnalog_Temperature, *iAnalog_Temperature2, *iAnalog_Temperature3, *iAnalog_Temperature4;
    NumericDisplay *iDigital_A, *iDigital_B, *iDigital_C, *iDigital_GU, *iDigital_ACC, *iDigital_UPS;
    NumericDisplay *iDigital_SignalStrength, *iDigital_Temperature, *iDigital_Temperature2;
    NumericDisplay *iDigital_Temperature3, *iDigital_Temperature4;
    TextField *iEdit_Motoclock, *iEdit_TO, *iEdit_Time;
    TextPanel *iLabel_Status, *iLabel_Carrier;
    Lamp *iLed_THREE_LINE_FLAG, *iLed_DIRECT_START_FLAG, *iLed_SMART_START_FLAG, *iLed_GU_FREQ_FLAG;
    Lamp *iLed_TO_FLAG, *iLed_ACC_VOLTAGE_CONTROL_FLAG, *iLed_UPS_VOLTAGE_CONTROL_FLAG, *iLed_WORK_SLEEP_FLAG;
    Lamp *iLed_TEST_START_FLAG, *iLed_SHORT_FLAG, *iLed_GSM_ACTIVITY_FLAG, *iLed_THERMO_FLAG, *iLed_GPRS_FLAG;
    Lamp *iLed_Auto, *iLed_Semiauto, *iLed_Manual;
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7, *Label8, *Label9, *Label10;
    QLabel *Label11, *Label17, *Label18;
    QPlainTextEdit* Memo2;  // hidden scratch list

    // "Параметры" (app/PageParameters.cpp)
    ColumnTree* TreeList1;
    QPushButton *Button1, *Button2, *Button3, *Button4;
    QProgressBar* ProgressBar1;
    void Button1Click();  // "Сохранить": SaveConfigurationFile
    void Button2Click();  // "Открыть": OpenConfigurationFile
    void Button3Click();  // "Записать": WriteConfiguration, with the read-back check
    void Button4Click();  // "Прочитать": ReadConfiguration
    void TreeList1DblClick();  // EditParameter: the selected row in the edit dialog
    void ComboBox_DeviceVersionsChange();
    // A status record's model code: rebuilds the tree when a known code differs from
    // CurrentModelCode.
    void SelectCatalogForModel(std::uint8_t modelCode);
    // The measurement gauges' limit marks from ConfigImage.
    void ApplyGaugeThresholds();
    // The system's decimal separator, as the edit dialog's number check uses it.
    static char DecimalSeparator();

    // "Журнал событий" (handlers in app/PageJournal.cpp)
    QLabel *Label19, *Label20;
    QPlainTextEdit *Memo3, *Memo4;
    QPushButton* Button13;
    QPushButton* Button18;  // "Сохранить журнал"
    // Reads both journals into Memo3 and Memo4, progress in status bar panel 1.
    void Button13Click();
    // Saves the lists of the last reading as CSV through the dialogs service.
    void Button18Click();
    // The records listed by the last reading.
    std::vector<JournalEntry> JournalEvents, JournalAlarms;

    // "Диаграммы"
    StripChart* iPlot1;

    // "Дополнительно"
    QLineEdit *Edit1, *Edit2, *Edit3, *Edit4, *Edit5, *Edit6, *Edit7, *Edit8;
    QPushButton *Button7, *Button8, *Button9, *Button10, *Button11, *Button12, *Button14, *Button15;
    QPushButton *Button16, *Button17;
    SwitchLamp *iSwitchLed3, *iSwitchLed4, *iSwitchLed5;
    // Handlers (app/PageService.cpp).
    void Button7Click();   // motor-hours counter
    void Button8Click();   // test SMS
    void Button9Click();   // test GPRS
    void Button10Click();  // serial number
    void Button11Click();  // modem restart
    void Button12Click();  // clock from the PC
    void Button14Click();  // service password
    void Button16Click();  // start
    void Button17Click();  // stop
    void iSwitchLed4Click();
    void iSwitchLed5Click();
    // The PC's local time, read once per clock synchronisation (tests put their own clock here).
    std::function<LocalDateTime()> LocalTimeSource;

    // "Терминал+лог"
    TerminalMemo* Memo1;
    SwitchLamp *iSwitchLed1, *iSwitchLed2;
    QPushButton *Button5, *Button6;
    QLabel* LinkHealthPanel = nullptr;  // the link's counters, refreshed every second

    // ---- status bar and timers -----------------------------------------------------------
    QWidget* StatusBar1;
    QTimer* Timer1;
    QTimer* Timer2;

protected:
    void showEvent(QShowEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    std::unique_ptr<TelemetryBinding> telemetry_;
    TerminalPage* terminalPage_ = nullptr;  // a child of the window
    void BuildTopStrip();
    void BuildStatusBar();
    void BuildMeasurementsPage();  // app/PageMeasurements.cpp
    void BuildParametersPage();
    void SetUpParametersPage();  // app/PageParameters.cpp
    void BuildJournalPage();
    void BuildDiagramsPage();      // app/PageDiagrams.cpp
    void BuildServicePage();
    void ConnectServicePage();  // app/PageService.cpp
    void ConnectJournalPage();  // app/PageJournal.cpp
    // Sends one service request and tells the engineer what went wrong, if anything.
    void SendServiceRequestAndReport(const ServiceRequest& request);
    // Runs a request builder; a refused entry shows its warning and gives nothing.
    std::optional<ServiceRequest> BuildServiceRequest(const std::function<ServiceRequest()>& build);
    bool journalStopRequested_ = false;
    void BuildTerminalPage();
    void ListPortsIntoSelector();
    void SetUpLink();
    void SetUpTerminal();
    void ChooseLogFileName();
    void ConnectPortSelector();
    void SetTransactionControlsEnabled(bool enabled);

    IDialogs& dialogs_;
    PortLister portLister_;
    std::array<QLabel*, 2> statusPanels_{};
    std::unique_ptr<IEventPump> pump_;
    // Enabled state of the transaction controls before a transaction disabled them.
    std::vector<std::pair<QWidget*, bool>> savedEnabled_;
    bool destroyed_ = false;
};

}  // namespace lum
