#pragma once
// The main window `TForm1`: the top strip, the six pages, the status bar, the timers and
// the port. Each page is a class of its own (app/Page*.h) that owns its controls and their
// handlers; the window creates the pages and wires what they share.
// Main (GUI) thread only.
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
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
#include "serial/ComPort.h"

namespace lum {

class BusyControls;
class DiagramsPage;
class JournalPage;
class MeasurementsPage;
class ParametersPage;
class ServicePage;
class TForm2;
class TelemetryBinding;
class Terminal;
class TerminalPage;

class TForm1 : public QWidget {
    Q_OBJECT
public:
    // Where the port list comes from: fills `names` with the serial device names
    // beginning with "COM" (may throw with the system's error text).
    using PortLister = std::function<void(std::vector<std::string>& names)>;

    explicit TForm1(IDialogs& dialogs, PortLister portLister = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    // The model whose catalogue the tree shows; status records and the selector change it.
    std::uint8_t CurrentModelCode = 200;
    std::string SaveDialogInitialDir;  // SaveDialog1: the folder of the executable
    std::string SaveDialogFilter;      // SaveDialog1: "Text files (*.txt)|*.txt"

    // ---- handlers ---------------------------------------------------------------------
    void FormCreate();
    void FormDestroy();
    void Timer1Timer();
    void Timer3Timer();
    void PageControl1Change();
    void ComboBox_DeviceVersionsChange();
    // Closing the window: with edited values the user is asked first; false keeps it open.
    void FormCloseQuery(bool& CanClose);

    // Runs a handler body; an exception that escapes it is shown in the error box and the
    // program goes on.
    void RunHandler(const std::function<void()>& body);
    // A slot for connect() that runs `body` through RunHandler.
    std::function<void()> Guarded(std::function<void()> body);

    // Fills the tree from the catalogue of a known model and makes the
    // "Журнал событий" page visible.
    void LoadCatalogForModel(std::uint8_t modelCode);
    // A status record's model code: rebuilds the tree when a known code differs from
    // CurrentModelCode.
    void SelectCatalogForModel(std::uint8_t modelCode);
    // Shows the model selector's entry `index` (-1: its start text) without running its
    // change handler.
    void ShowModelInSelector(int index);
    // The controller reports `modelCode` while the tree keeps edited values of another
    // model: said in the status bar with a link that loads the reported catalogue; nothing
    // hides the notice.
    void ReportOtherModel(std::optional<std::uint8_t> modelCode);
    // The notice's link: loads the catalogue of the reported model (asking first about
    // edited values, as any model change does).
    void LoadReportedCatalog();
    QLabel* ModelNotice;  // in the status bar, hidden while the controller agrees
    // The status branch of the receive handler: shows a status frame (kind 1, code 21) that
    // is `frame.size()` bytes long; a frame too short for the record is ignored.
    void DecodeStatusRecord(std::span<const std::uint8_t> frame);
    // The proportional layout of the pages (app/logic/LayoutRules), for the window's outer size.
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
    // A lost port is opened again by itself (panel 1 says "Переподключение к COM7…") until
    // the device is back, another port is chosen or the window closes.
    void ComboBox1Change();
    // Closes the port and opens a device path or a network port name as it is.
    void OpenDevicePath(const std::string& path);
    // A selector text that names a device rather than a COM number: a device path ("/dev/ttyUSB0")
    // or a network port (tcp://HOST:PORT, rfc2217://HOST:PORT, also while it is being typed). Such
    // a text is opened as it is, on Enter; every other text follows the digit rule.
    static bool NamesDevice(const QString& text);
    // Shows `text` in the port selector without running its change handler (tooltip: device).
    void ShowPortText(const QString& text, const QString& device);
    // The busy rule of every page, called before a transaction starts: true when the link
    // is free; otherwise the no-link box is shown and false returned.
    bool LinkFree();
    // The controls a transaction disables, and the states they get back after it.
    BusyControls& Busy() { return *busy_; }
    // The window is closing: a long reading stops.
    bool Closing() const { return destroyed_; }

    // Text of a status bar panel (0 or 1), shown at once.
    QString StatusPanelText(int panel) const;
    void SetStatusPanelText(int panel, const QString& text);

    IDialogs& Dialogs() { return dialogs_; }
    TForm2* Form2 = nullptr;  // the parameter edit dialog, created by the program entry

    // ---- top strip ----------------------------------------------------------------------
    QComboBox* ComboBox_DeviceVersions;
    QComboBox* ComboBox1;
    QPlainTextEdit* Memo2;  // hidden scratch list of the port names (on "Измерения")

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

    MeasurementsPage* Measurements;
    ParametersPage* Parameters;
    JournalPage* Journals;
    DiagramsPage* Diagrams;
    ServicePage* Service;
    TerminalPage* TerminalLog;

    // ---- status bar and timers -----------------------------------------------------------
    QWidget* StatusBar1;
    QTimer* Timer1;
    QTimer* Timer2;

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void BuildPageControl();
    void BuildTopStrip();
    void BuildStatusBar();
    void BuildPages();
    void WirePages();
    void ListPortsIntoSelector();
    void SetUpLink();
    void ConnectPortSelector();
    // Ends the attempts to open a lost port again; panel 1 gets back its text.
    void StopReconnecting();

    IDialogs& dialogs_;
    PortLister portLister_;
    std::unique_ptr<TelemetryBinding> telemetry_;
    std::unique_ptr<BusyControls> busy_;
    std::array<QLabel*, 2> statusPanels_{};
    std::array<QString, 2> panelTexts_{};
    std::unique_ptr<IEventPump> pump_;
    QTimer* reconnectTimer_ = nullptr;   // the next attempt to open a lost port
    QString panelBeforeReconnect_;       // panel 1's text before the attempts said theirs
    bool destroyed_ = false;
    int modelSelectorIndex_ = -1;                  // the entry the selector shows
    std::optional<std::uint8_t> reportedModel_;    // the model the notice names
};

}  // namespace lum
