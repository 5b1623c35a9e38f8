// The main window's side of the device link: the serial port, the port selector, the
// receive handler and the transactions.
#include <QGuiApplication>
#include <QLineEdit>
#include <QSignalBlocker>

#include "app/BusyControls.h"
#include "app/PageTerminal.h"
#include "app/QtEventPump.h"
#include "app/Unit1.h"
#include "device/Reconnect.h"
#include "serial/NetworkDevice.h"
#include "serial/PortList.h"

namespace lum {
namespace {
// The box of a command that found no controller frame to answer.
constexpr const char* kNoLinkText = "глююююк";
}  // namespace

void TForm1::SetUpLink() {
    ComPort1 = std::make_unique<TComPort>();
    ComPort1->SetName("ComPort1");
    ComPort1->SetBaudRate(br9600);
    ComPort1->OnDataRecived = [this](TCustomSerialPort* sender, std::uint32_t count) {
        RunHandler([&] { ComPort1DataRecived(sender, count); });
    };
    ComPort1->BusyCursor = [](bool busy) {
        if (busy) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        else QGuiApplication::restoreOverrideCursor();
    };

    pump_ = std::make_unique<QtEventPump>();
    Device = std::make_unique<DeviceLink>(*ComPort1, *pump_,
                                          [this](const std::string& line) { TerminalLog->Term().SentFrame(line); });
    ReceivePath* Rx = &Device->Rx;
    Rx->FrameCounted = [this](std::uint32_t count) {
        SetStatusPanelText(0, QString::fromStdString(FramesReceivedText(count)));
    };
    Rx->DecodeStatusRecord = [this](const LinkState& link) {
        DecodeStatusRecord(std::span<const std::uint8_t>(link.RxFrame.data(), link.RxFrameLength));
    };
    Rx->RestartTimer1 = [this] {
        Timer1->setInterval(300);
        Timer1->start();
    };

    Transactions& Tx = Device->Tx;
    Tx.BusyChanged = [this](bool busy) { busy_->SetBusy(busy); };
    // A command that finds no controller frame to answer.
    Tx.NoController = [this] { dialogs_.MessageBox(kNoLinkText, kCaptionError, MsgButtons::Ok); };

    // A lost port is opened again after its one error box, the attempts said in panel 1.
    reconnectTimer_ = new QTimer(this);
    reconnectTimer_->setSingleShot(true);
    connect(reconnectTimer_, &QTimer::timeout, this, Guarded([this] { Device->Reconnect.Tick(); }));
    Reconnector& again = Device->Reconnect;
    again.Arm = [this](std::chrono::milliseconds pause) { reconnectTimer_->start(pause); };
    again.Attempting = [this](const std::string& port) {
        const QString note = QString::fromStdString(ReconnectingText(port));
        if (StatusPanelText(1) != note) panelBeforeReconnect_ = StatusPanelText(1);
        SetStatusPanelText(1, note);
    };
    again.Resumed = [this](const std::string&) { SetStatusPanelText(1, panelBeforeReconnect_); };
    again.Enable(true);
}

void TForm1::StopReconnecting() {
    if (!Device->Reconnect.Waiting()) return;
    Device->Reconnect.Stop();
    reconnectTimer_->stop();
    SetStatusPanelText(1, panelBeforeReconnect_);
}

void TForm1::ConnectPortSelector() {
    // Every change of the text, picked or typed, reopens the port on its number. A device path
    // or a network port name is opened when the user presses Enter.
    connect(ComboBox1, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        if (NamesDevice(text)) return;
        RunHandler([this] { ComboBox1Change(); });
    });
    if (QLineEdit* edit = ComboBox1->lineEdit()) {
        connect(edit, &QLineEdit::returnPressed, this, [this] {
            const QString text = ComboBox1->currentText();
            if (NamesDevice(text)) RunHandler([&] { OpenDevicePath(text.trimmed().toStdString()); });
        });
    }
}

bool TForm1::NamesDevice(const QString& text) {
    return text.startsWith('/') || LooksLikeNetworkPortName(text.trimmed().toStdString());
}

void TForm1::ComPort1DataRecived(TCustomSerialPort*, std::uint32_t Count) {
    Device->DataReceived(Count);
}

void TForm1::ComboBox1Change() {
    StopReconnecting();
    ComPort1->Close();
    const int number = ComNumberFromSelectorText(ComboBox1->currentText().toStdString());
    ComPort1->SetDevicePath({});
    ComPort1->SetComNumber(number);
    ComPort1->Open();
}

void TForm1::OpenDevicePath(const std::string& path) {
    StopReconnecting();
    ComPort1->Close();
    ComPort1->SetDevicePath(path);
    ComPort1->Open();
}

void TForm1::ShowPortText(const QString& text, const QString& device) {
    const QSignalBlocker block(ComboBox1);
    ComboBox1->setEditText(text);
    ComboBox1->setToolTip(device);
}

bool TForm1::LinkFree() {
    if (!Device->Tx.Busy()) return true;
    dialogs_.MessageBox(kNoLinkRetryText, kCaptionErrorRu, MsgButtons::Ok);
    return false;
}

}  // namespace lum
