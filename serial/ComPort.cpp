#include "serial/ComPort.h"

#include <algorithm>
#include <cstdio>

#include "serial/SafeSync.h"

namespace lum {

namespace {

constexpr std::uint32_t kBaudValues[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                         19200, 38400, 56000, 57600, 115200, 128000, 256000};

std::string FormatTwoNumbers(const char* format, int a, int b) {
    char buf[160];
    std::snprintf(buf, sizeof buf, format, a, b);
    return buf;
}

// Clears a flag when the scope ends, also on an error.
struct ClearOnExit {
    std::atomic<bool>& flag;
    ~ClearOnExit() { flag.store(false); }
};

}  // namespace

// ---- TCustomSerialPort ----------------------------------------------------------------

TCustomSerialPort::TCustomSerialPort() : core_(std::make_unique<TComPortCore>()) {
    slot_ = SafeSync::Register(&TCustomSerialPort::Deliver, this);
    // Without a slot no event could ever reach the main thread.
    if (slot_ == 0) throw EComPortError("Too many serial ports (at most 64)");
    BuildDcb();
}

TCustomSerialPort::~TCustomSerialPort() {
    destroying_.store(true);
    SafeSync::Enable(slot_, false);
    try {
        core_.reset();  // closes the port if it is still open
    } catch (...) {
    }
    SafeSync::Unregister(slot_);
}

void TCustomSerialPort::Deliver(void* owner, std::any& message) {
    const auto* m = std::any_cast<Message>(&message);
    if (m == nullptr) return;
    static_cast<TCustomSerialPort*>(owner)->SyncEvent(m->kind, m->data, m->error);
}

bool TCustomSerialPort::Connected() const {
    return core_->PortOpen();
}

void TCustomSerialPort::Loaded() {
    if (autoOpen_) {
        Open();
    } else {
        BuildDcb();
    }
}

void TCustomSerialPort::Open() {
    if (core_->PortOpen()) return;
    SafeSync::Enable(slot_, true);
    closing_.store(false);
    if (BusyCursor) BusyCursor(true);
    try {
        InternalOpen();
    } catch (...) {
        if (BusyCursor) BusyCursor(false);
        throw;
    }
    if (BusyCursor) BusyCursor(false);
    if (OnPortOpen) OnPortOpen(this);
}

void TCustomSerialPort::Close() {
    closing_.store(true);
    ClearOnExit clear{closing_};
    SafeSync::Enable(slot_, false);
    if (core_->PortOpen()) core_->Shutdown();
    if (OnPortClose) OnPortClose(this);
}

void TCustomSerialPort::RaiseError(const std::string& message) {
    throw EComPortError(message + " - " + name_ + " ");
}

std::string TCustomSerialPort::ReadString() {
    if (closing_.load() || !core_->PortOpen()) return {};
    const std::uint32_t queued = core_->InputCount();
    if (queued == 0) return {};
    std::string text(queued, '\0');
    text.resize(core_->Read(text.data(), text.size()));
    return text;
}

void TCustomSerialPort::WriteString(std::string_view text) {
    if (text.empty()) return;
    WriteData(text.data(), static_cast<int>(std::min<std::size_t>(text.size(), 0x7FFFFFFF)));
}

void TCustomSerialPort::WriteData(const void* buffer, int count) {
    if (closing_.load()) return;
    if (count < 1 || !core_->Write(buffer, static_cast<std::size_t>(count))) {
        RaiseError(
            FormatTwoNumbers("Write data error [requested: %d, free: %d]", count, static_cast<int>(OutBufFree())));
    }
}

void TCustomSerialPort::ReadData(void* buffer, int count) {
    if (count <= 0) return;
    std::size_t got = 0;
    if (!closing_.load() && core_->PortOpen()) got = core_->Read(buffer, static_cast<std::size_t>(count));
    if (got < static_cast<std::size_t>(count)) RaiseError("Read data error");
}

std::uint32_t TCustomSerialPort::InBufUsed() {
    return core_->PortOpen() ? core_->InputCount() : 0;
}

bool TCustomSerialPort::Drain(std::chrono::milliseconds limit) {
    return !core_->PortOpen() || core_->Drain(limit);
}

std::optional<std::chrono::milliseconds> TCustomSerialPort::RoundTrip() const {
    return core_->PortOpen() ? core_->RoundTrip() : std::nullopt;
}

std::size_t TCustomSerialPort::OutBufFree() {
    return core_->PortOpen() ? core_->OutFree() : 0;
}

// Worker side.

void TCustomSerialPort::CoreEvent(TCoreEvent kind, std::uint32_t data, std::exception_ptr error) {
    if (closing_.load() || destroying_.load()) return;
    if (kind == ceException) {
        SafeSync::SyncCall(slot_, SafeSync::kDefaultBound, Message{kind, data, error});
        return;
    }
    if (OnNonSyncEvent) {
        OnNonSyncEvent(this, kind, data, error);
        return;
    }
    // A failed delivery (slot turned off by Close) abandons the event.
    SafeSync::SyncCall(slot_, SafeSync::kDefaultBound, Message{kind, data, nullptr});
}

void TCustomSerialPort::SyncEvent(TCoreEvent kind, std::uint32_t data, std::exception_ptr error) {
    if (closing_.load() || destroying_.load()) return;
    if (OnSyncEvent) OnSyncEvent(this, kind, data, error);
    switch (kind) {
        case ceOutFree:
            if (OnOutBufFree) OnOutBufFree(this);
            break;
        case ceLineEvent: {
            if (data & serial_os::kEvRxChar) {
                const std::uint32_t queued = core_->InputCount();
                if (OnDataRecived) OnDataRecived(this, queued);
            }
            const std::uint32_t errors = core_->TakeErrorFlags();
            if ((data & serial_os::kEvErr) && OnLineError) OnLineError(this, errors);
            if ((data & serial_os::kEvCts) && OnCTSChanged) OnCTSChanged(this);
            if ((data & serial_os::kEvDsr) && OnDSRChanged) OnDSRChanged(this);
            if ((data & serial_os::kEvRing) && OnRINGDetected) OnRINGDetected(this);
            if ((data & serial_os::kEvRlsd) && OnRLSDChanged) OnRLSDChanged(this);
            break;
        }
        case ceNeedReadData:
            if (OnDataRecived) OnDataRecived(this, data);
            break;
        case ceException:
            // A worker that stopped leaves a port that cannot work: close it before the error is shown.
            if (data == kWorkerStopped) Close();
            if (error) std::rethrow_exception(error);
            break;
    }
}

// Properties.

void TCustomSerialPort::BuildDcb() {
    TDcb d;
    d.BaudRate = baudRate_ == brUser ? static_cast<std::uint32_t>(userBaudRate_) : kBaudValues[baudRate_];
    d.ByteSize = static_cast<std::uint8_t>(4 + databits_);
    d.Parity = static_cast<std::uint8_t>(parity_);
    d.StopBits = static_cast<std::uint8_t>(stopbits_);
    d.XonChar = xonChar_;
    d.XoffChar = xoffChar_;
    d.XonLim = xonLim_;
    d.XoffLim = xoffLim_;
    std::uint32_t flags = kDcbBinary;
    switch (flowControl_) {
        case fwXOnXOff:
            flags |= kDcbOutX | kDcbInX;
            break;
        case fwRtsCts:
            flags |= kDcbOutxCtsFlow | kDcbRtsHandshake;
            break;
        case fwDtrDsr:
            flags |= kDcbOutxDsrFlow | kDcbDtrHandshake;
            break;
        case fwNone:
            break;
    }
    if (options_ & Opt(coParityCheck)) flags |= kDcbParity;
    if (options_ & Opt(coDsrSensitivity)) flags |= kDcbDsrSensitivity;
    if (options_ & Opt(coIgnoreXOff)) flags |= kDcbTxContinueOnXoff;
    if (options_ & Opt(coErrorChar)) flags |= kDcbErrorChar;
    if (options_ & Opt(coStripNull)) flags |= kDcbNull;
    if (dtr_ && flowControl_ != fwDtrDsr) flags |= kDcbDtrEnable;
    if (rts_ && flowControl_ != fwRtsCts) flags |= kDcbRtsEnable;
    d.Flags = flags;
    dcb_ = d;
}

void TCustomSerialPort::SettingsChanged() {
    BuildDcb();
    if (!core_->PortOpen()) return;
    try {
        core_->SetState(dcb_);
    } catch (...) {
        dcb_ = core_->State();  // what the port really has
        throw;
    }
}

void TCustomSerialPort::ResetFlowLimits() {
    if (flowControl_ == fwNone) {
        xonLim_ = 0;
        xoffLim_ = 0;
    } else {
        const int size = std::clamp(inBufSize_, 0, 0xFFFF);
        xonLim_ = static_cast<std::uint16_t>(size / 4);
        xoffLim_ = static_cast<std::uint16_t>(size - size / 4);
    }
}

void TCustomSerialPort::SetBaudRate(TBaudrate value) {
    baudRate_ = value;
    if (value != brUser) userBaudRate_ = 0;
    SettingsChanged();
}

void TCustomSerialPort::SetUserBaudRate(int value) {
    userBaudRate_ = value;
    baudRate_ = brUser;
    SettingsChanged();
}

void TCustomSerialPort::SetDatabits(TDatabits value) {
    databits_ = value;
    SettingsChanged();
}

void TCustomSerialPort::SetParity(TParity value) {
    parity_ = value;
    SettingsChanged();
}

void TCustomSerialPort::SetStopbits(TStopbits value) {
    stopbits_ = value;
    SettingsChanged();
}

void TCustomSerialPort::SetFlowControl(TFlowControl value) {
    flowControl_ = value;
    ResetFlowLimits();
    SettingsChanged();
}

void TCustomSerialPort::SetOptions(TComOptions value) {
    options_ = value;
    SettingsChanged();
}

// DTR and RTS are part of the record too, so that the next open applies the levels set now; on an
// open port the line is raised or dropped at once by the escape call alone, unless it is the
// handshake line (then the driver drives it).
void TCustomSerialPort::ModemLineChanged(std::uint32_t function, bool handshakeLine) {
    BuildDcb();
    if (handshakeLine || !core_->PortOpen()) return;
    serial_os::OsError error;
    if (!core_->Escape(function, error)) RaiseError("Modem line error (" + error.text + ")");
}

void TCustomSerialPort::SetDTR(bool value) {
    dtr_ = value;
    ModemLineChanged(value ? serial_os::kSetDtr : serial_os::kClrDtr, flowControl_ == fwDtrDsr);
}

void TCustomSerialPort::SetRTS(bool value) {
    rts_ = value;
    ModemLineChanged(value ? serial_os::kSetRts : serial_os::kClrRts, flowControl_ == fwRtsCts);
}

void TCustomSerialPort::SetXOnChar(char value) {
    xonChar_ = value;
    SettingsChanged();
}

void TCustomSerialPort::SetXOffChar(char value) {
    xoffChar_ = value;
    SettingsChanged();
}

void TCustomSerialPort::SetXOnLim(std::uint16_t value) {
    xonLim_ = value;
    xoffLim_ = static_cast<std::uint16_t>(std::clamp(inBufSize_ - value, 0, 0xFFFF));
    SettingsChanged();
}

void TCustomSerialPort::SetXOffLim(std::uint16_t value) {
    xoffLim_ = value;
    xonLim_ = static_cast<std::uint16_t>(std::clamp(inBufSize_ - value, 0, 0xFFFF));
    SettingsChanged();
}

void TCustomSerialPort::SetInBufSize(int value) {
    if (core_->PortOpen()) RaiseError("Port is not closed");
    inBufSize_ = value;
    ResetFlowLimits();
    BuildDcb();
}

void TCustomSerialPort::SetOutBufSize(int value) {
    if (core_->PortOpen()) RaiseError("Port is not closed");
    outBufSize_ = value;
}

// ---- TCustomComPort ------------------------------------------------------------------------

TPortAddress TCustomComPort::Address() const {
    if (!devicePath_.empty()) return TPortAddress{serial_os::ComNumberOfDevicePath(devicePath_), devicePath_};
    TPortAddress a{comNumber_, {}};
    if (comNumber_ > 0 && DeviceResolver) a.path = DeviceResolver(comNumber_);
    return a;
}

void TCustomComPort::InternalOpen() {
    Core().Open(Address(), Dcb(), InBufSize(), OutBufSize(), EventThreadPriority(), WriteThreadPriority(),
                EventTarget());
}

void TCustomComPort::SetComNumber(int value) {
    if (value < 0 || value > 0xFFFF) {
        throw EComPortCoreError(TPortAddress{value, {}}.Format("Invalid port number (COM%d)"));
    }
    if (value == comNumber_) return;
    if (Connected()) {
        Close();
        comNumber_ = static_cast<std::uint16_t>(value);
        Open();
    } else {
        comNumber_ = static_cast<std::uint16_t>(value);
    }
}

void TCustomComPort::SetDevicePath(std::string path) {
    if (path == devicePath_) return;
    if (Connected()) {
        Close();
        devicePath_ = std::move(path);
        Open();
    } else {
        devicePath_ = std::move(path);
    }
}

}  // namespace lum
