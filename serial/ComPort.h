#pragma once
// The serial port component: properties and settings record of a port, open and close, reading what
// the driver has queued, queueing bytes for the write thread, and the port's events on the main thread.
//
//   TCustomSerialPort  properties, settings record, open/close, read/write, event delivery
//   TCustomComPort     opens the port by COM number (or by an explicit device path)
//   TComPort           the component the program uses
//
// Threads: every operation, property and event on the main thread, except OnNonSyncEvent, which runs
// on the event thread, and CoreEvent, which the worker threads call. Assign the events before Open.
// Worker events reach the main thread through SafeSync (serial/SafeSync.h), so the main thread must
// serve it (a waker set at start).
//
// Errors: EComPortError (texts "%s - %s ": message, then the component's Name) and EComPortCoreError
// (open sequence and settings), both std::runtime_error.
//
// A device that fails while open (a USB adapter pulled, the peer of a pseudo-terminal gone) is
// reported once: the component closes itself on the main thread and raises an EComPortError naming
// the port ("Устройство COM5 отключено или недоступно (/dev/ttyS4): Input/output error") from the
// delivery, so it reaches SafeSync's error handler. The port can be opened again afterwards.
#include <any>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "serial/ComPortCore.h"
#include "serial/SerialPlatform.h"

namespace lum {

enum TBaudrate {
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000,
    brUser
};
enum TDatabits { db4, db5, db6, db7, db8 };
enum TParity { paNone, paOdd, paEven, paMark, paSpace };
enum TStopbits { sbOne, sbOneAndHalf, sbTwo };
enum TFlowControl { fwNone, fwXOnXOff, fwRtsCts, fwDtrDsr };
enum TComOption { coParityCheck, coDsrSensitivity, coIgnoreXOff, coErrorChar, coStripNull };

// A set of TComOption.
using TComOptions = std::uint8_t;
constexpr TComOptions Opt(TComOption o) {
    return static_cast<TComOptions>(1u << o);
}

class TCustomSerialPort;
using TNotifyEvent = std::function<void(TCustomSerialPort* Sender)>;
using TCPTDataReceivedEvent = std::function<void(TCustomSerialPort* Sender, std::uint32_t Count)>;
using TCPTErrorEvent = std::function<void(TCustomSerialPort* Sender, std::uint32_t Errors)>;
using TCPTCoreEvent = std::function<void(TCustomSerialPort* Sender, TCoreEvent EventKind, std::uint32_t Data,
                                         std::exception_ptr Error)>;

class TCustomSerialPort {
  public:
    TCustomSerialPort();
    virtual ~TCustomSerialPort();
    TCustomSerialPort(const TCustomSerialPort&) = delete;
    TCustomSerialPort& operator=(const TCustomSerialPort&) = delete;

    // Closes the port and stops its threads; fires OnPortClose (also when it was not open).
    virtual void Close();
    // Opens the port with the current properties (nothing when open); fires OnPortOpen. Raises
    // EComPortCoreError on failure, leaving the port closed.
    virtual void Open();
    bool Connected() const;
    // After the design values are set: opens when AutoOpen, else rebuilds the settings record.
    void Loaded();

    // Every byte queued in the driver now (bytes as the controller sent them); empty while closing or
    // closed.
    std::string ReadString();
    // Nothing for an empty text; else WriteData of its bytes.
    void WriteString(std::string_view text);
    // Queues `count` bytes for the write thread, all or nothing; raises "Write data error [requested:
    // %d, free: %d]" when they do not fit (free 0 on a closed port); nothing while closing.
    virtual void WriteData(const void* buffer, int count);
    // Reads exactly `count` queued bytes; raises "Read data error" when fewer are there.
    void ReadData(void* buffer, int count);
    std::uint32_t InBufUsed();
    std::size_t OutBufFree();
    // Waits at most `limit` until everything written has left the ring and the driver; true when
    // it has (or the port is closed). Call it before Close when the last frames must reach the line.
    bool Drain(std::chrono::milliseconds limit);
    // The round trip to a network port (tcp://, rfc2217://) measured when it was opened; nothing for
    // a serial device or a closed port.
    std::optional<std::chrono::milliseconds> RoundTrip() const;

    // ---- properties -----------------------------------------------------------------
    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    TBaudrate BaudRate() const { return baudRate_; }
    void SetBaudRate(TBaudrate value);
    int UserBaudRate() const { return userBaudRate_; }
    void SetUserBaudRate(int value);
    TDatabits Databits() const { return databits_; }
    void SetDatabits(TDatabits value);
    TParity Parity() const { return parity_; }
    void SetParity(TParity value);
    TStopbits Stopbits() const { return stopbits_; }
    void SetStopbits(TStopbits value);
    TFlowControl FlowControl() const { return flowControl_; }
    void SetFlowControl(TFlowControl value);
    TComOptions Options() const { return options_; }
    void SetOptions(TComOptions value);
    bool DTR() const { return dtr_; }
    void SetDTR(bool value);
    bool RTS() const { return rts_; }
    void SetRTS(bool value);
    char XOnChar() const { return xonChar_; }
    void SetXOnChar(char value);
    char XOffChar() const { return xoffChar_; }
    void SetXOffChar(char value);
    std::uint16_t XOnLim() const { return xonLim_; }
    void SetXOnLim(std::uint16_t value);
    std::uint16_t XOffLim() const { return xoffLim_; }
    void SetXOffLim(std::uint16_t value);
    int InBufSize() const { return inBufSize_; }
    void SetInBufSize(int value);  // raises "Port is not closed" on an open port
    int OutBufSize() const { return outBufSize_; }
    void SetOutBufSize(int value);  // raises "Port is not closed" on an open port
    TThreadPriority EventThreadPriority() const { return eventThreadPriority_; }
    void SetEventThreadPriority(TThreadPriority value) { eventThreadPriority_ = value; }
    TThreadPriority WriteThreadPriority() const { return writeThreadPriority_; }
    void SetWriteThreadPriority(TThreadPriority value) { writeThreadPriority_ = value; }
    bool AutoOpen() const { return autoOpen_; }
    void SetAutoOpen(bool value) { autoOpen_ = value; }

    // The settings record built from the properties.
    const TDcb& Dcb() const { return dcb_; }

    // ---- events ------------------------------------------------------------------------
    TCPTDataReceivedEvent OnDataRecived;  // Count: bytes queued at delivery; may be 0
    TCPTErrorEvent OnLineError;
    TNotifyEvent OnCTSChanged;
    TNotifyEvent OnDSRChanged;
    TNotifyEvent OnRINGDetected;
    TNotifyEvent OnRLSDChanged;
    TNotifyEvent OnOutBufFree;
    TNotifyEvent OnPortOpen;
    TNotifyEvent OnPortClose;
    TCPTCoreEvent OnSyncEvent;
    TCPTCoreEvent OnNonSyncEvent;  // event thread
    // Shows (true) and restores (false) the busy cursor around the open; optional.
    std::function<void(bool busy)> BusyCursor;

    // Worker threads: a report of the core. (The core reaches it through a member object, not a
    // virtual call, so that a port being destroyed is never called through a changing class.)
    void CoreEvent(TCoreEvent kind, std::uint32_t data, std::exception_ptr error);

  protected:
    // Opens the core (no body at this level).
    virtual void InternalOpen() = 0;
    // Raises EComPortError with "%s - %s " of message and Name.
    [[noreturn]] virtual void RaiseError(const std::string& message);
    // Main thread: a worker event delivered.
    void SyncEvent(TCoreEvent kind, std::uint32_t data, std::exception_ptr error);
    TComPortCore& Core() { return *core_; }
    ICoreEventTarget* EventTarget() { return &sink_; }

  private:
    struct Sink : ICoreEventTarget {
        explicit Sink(TCustomSerialPort& p) : port(p) {}
        void CoreEvent(TCoreEvent kind, std::uint32_t data, std::exception_ptr error) override {
            port.CoreEvent(kind, data, error);
        }
        TCustomSerialPort& port;
    };
    struct Message {
        TCoreEvent kind;
        std::uint32_t data;
        std::exception_ptr error;
    };
    static void Deliver(void* owner, std::any& message);
    void BuildDcb();
    // Rebuilds the record and, on an open port, applies it.
    void SettingsChanged();
    // Rebuilds the record and, on an open port, sends the escape call `function` (serial_os::kSet*/kClr*).
    void ModemLineChanged(std::uint32_t function, bool handshakeLine);
    void ResetFlowLimits();

    std::string name_ = "ComPort1";
    TBaudrate baudRate_ = br115200;
    int userBaudRate_ = 0;
    TDatabits databits_ = db8;
    TParity parity_ = paNone;
    TStopbits stopbits_ = sbOne;
    TFlowControl flowControl_ = fwNone;
    TComOptions options_ = 0;
    bool dtr_ = true;
    bool rts_ = true;
    char xonChar_ = 0x11;
    char xoffChar_ = 0x13;
    std::uint16_t xonLim_ = 0;
    std::uint16_t xoffLim_ = 0;
    int inBufSize_ = 4096;
    int outBufSize_ = 2048;
    TThreadPriority eventThreadPriority_ = tpNormal;
    TThreadPriority writeThreadPriority_ = tpHighest;
    bool autoOpen_ = false;
    TDcb dcb_;

    std::uint32_t slot_ = 0;
    std::atomic<bool> closing_{false};
    std::atomic<bool> destroying_{false};
    Sink sink_{*this};
    std::unique_ptr<TComPortCore> core_;  // after sink_: the threads stop before the sink goes
};

class TCustomComPort : public TCustomSerialPort {
  public:
    // The n of COMn (0..65535). Setting another number on an open port closes it and opens it again.
    // A number outside 0..65535 raises "Invalid port number (COM%d)" and changes nothing.
    std::uint16_t ComNumber() const { return comNumber_; }
    void SetComNumber(int value);
    // A device to open instead of the one of ComNumber (e.g. /dev/pts/3, or a network port
    // tcp://HOST:PORT or rfc2217://HOST:PORT, serial/NetworkDevice.h); "" for none. Errors
    // then name its COM number when it has one, else the path. Setting another path on an open port
    // reopens it.
    const std::string& DevicePath() const { return devicePath_; }
    void SetDevicePath(std::string path);
    // The device of a COM number ("" when none); the system's fixed mapping unless replaced.
    std::function<std::string(int number)> DeviceResolver = serial_os::ComDevicePath;
    // The port Open would open now.
    TPortAddress Address() const;

  protected:
    void InternalOpen() override;

  private:
    std::uint16_t comNumber_ = 0;
    std::string devicePath_;
};

class TComPort : public TCustomComPort {};

}  // namespace lum
