#pragma once
// The one header between the serial port layer and the operating system. Everything the layer needs of
// the system (serial devices, signals a thread can wait for, thread priority, the list of serial devices
// present) is declared here and built by the backend of the target system (serial/posix/ on Linux).
//
// Each operation stands for one operation of the platform's serial interface and behaves as the core
// expects of it (named in the comments: CreateFileA, SetCommTimeouts, SetupComm, SetCommMask,
// SetCommState, GetCommState, WaitCommEvent + GetOverlappedResult, ClearCommError, ReadFile, WriteFile,
// PurgeComm, EscapeCommFunction, CloseHandle, CreateEventA / SetEvent / ResetEvent,
// WaitForMultipleObjects, QueryDosDevice).
//
// Failures come back as OsError, which carries the system's own code and text; the backend builds them
// in one place.
//
// Threads: see each operation.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace lum {

// Thread priorities, lowest to highest.
enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// The line settings record applied to a port (DCB layout: baud rate, a flag word, flow-control limits,
// byte size, parity, stop bits and the special characters).
struct TDcb {
    std::uint32_t DCBlength = 28;
    std::uint32_t BaudRate = 0;
    std::uint32_t Flags = 0;  // the kDcb* bits below
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    std::uint8_t ByteSize = 8;  // 4 ... 8
    std::uint8_t Parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
    std::uint8_t StopBits = 0;  // 0 one, 1 one and a half, 2 two
    char XonChar = 0x11;
    char XoffChar = 0x13;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;

    friend bool operator==(const TDcb&, const TDcb&) = default;
};

inline constexpr std::uint32_t kDcbBinary = 0x0001;
inline constexpr std::uint32_t kDcbParity = 0x0002;
inline constexpr std::uint32_t kDcbOutxCtsFlow = 0x0004;
inline constexpr std::uint32_t kDcbOutxDsrFlow = 0x0008;
inline constexpr std::uint32_t kDcbDtrEnable = 0x0010;
inline constexpr std::uint32_t kDcbDtrHandshake = 0x0020;
inline constexpr std::uint32_t kDcbDsrSensitivity = 0x0040;
inline constexpr std::uint32_t kDcbTxContinueOnXoff = 0x0080;
inline constexpr std::uint32_t kDcbOutX = 0x0100;
inline constexpr std::uint32_t kDcbInX = 0x0200;
inline constexpr std::uint32_t kDcbErrorChar = 0x0400;
inline constexpr std::uint32_t kDcbNull = 0x0800;
inline constexpr std::uint32_t kDcbRtsEnable = 0x1000;
inline constexpr std::uint32_t kDcbRtsHandshake = 0x2000;

namespace serial_os {

// Line events (event mask bits).
inline constexpr std::uint32_t kEvRxChar = 0x0001;
inline constexpr std::uint32_t kEvCts = 0x0008;
inline constexpr std::uint32_t kEvDsr = 0x0010;
inline constexpr std::uint32_t kEvRlsd = 0x0020;
inline constexpr std::uint32_t kEvErr = 0x0080;
inline constexpr std::uint32_t kEvRing = 0x0100;

// Line error bits returned by ClearError.
inline constexpr std::uint32_t kCeRxOver = 0x0001;
inline constexpr std::uint32_t kCeOverrun = 0x0002;
inline constexpr std::uint32_t kCeRxParity = 0x0004;
inline constexpr std::uint32_t kCeFrame = 0x0008;
inline constexpr std::uint32_t kCeBreak = 0x0010;

// Purge flags: 15 both directions at close, 10 input, 5 output.
inline constexpr std::uint32_t kPurgeTxAbort = 0x0001;
inline constexpr std::uint32_t kPurgeRxAbort = 0x0002;
inline constexpr std::uint32_t kPurgeTxClear = 0x0004;
inline constexpr std::uint32_t kPurgeRxClear = 0x0008;

// Escape functions for the modem control lines.
inline constexpr std::uint32_t kSetRts = 3;
inline constexpr std::uint32_t kClrRts = 4;
inline constexpr std::uint32_t kSetDtr = 5;
inline constexpr std::uint32_t kClrDtr = 6;

// Last-error value of a device-name query whose buffer is too small.
inline constexpr std::uint32_t kErrorInsufficientBuffer = 122;

// A failure of the system: its code and its own message text.
struct OsError {
    int code = 0;
    std::string text;
};

// A signal threads wait for (CreateEventA). An auto-reset signal is reset by the wait it releases;
// a manual-reset one stays set until Reset. Any thread.
class Signal {
  public:
    enum class Mode { AutoReset, ManualReset };
    // Raises std::system_error when the system cannot make one.
    explicit Signal(Mode mode);
    ~Signal();
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;

    void Set();    // SetEvent
    void Reset();  // ResetEvent

    struct Impl;
    Impl& impl() { return *impl_; }

  private:
    std::unique_ptr<Impl> impl_;
};

inline constexpr int kWaitTimeout = -1;

// WaitForMultipleObjects (any one): the index of the first signal that is set, or kWaitTimeout when
// the time passes first; no timeout waits without limit. Any thread.
int WaitForSignals(std::span<Signal* const> waitSignals, std::optional<std::chrono::milliseconds> timeout);

// Why an open failed: the device does not exist, or it exists but cannot be opened (busy, no access,
// not a serial device).
enum class OpenFailure { None, NotFound, Other };

// An open serial device. Threads: Open, the settings operations, Purge, Escape and destruction on the
// thread that owns the port (the main thread); StartEventWait, WaitEventOrSignals and CollectEvent on
// the one event thread; Write on the one write thread; ClearError and Read on any one thread at a time
// (the core serialises them with its read lock); SetEventMask on any thread.
class SerialDevice {
  public:
    // CreateFileA: opens `path` for reading and writing, exclusively (a second open of a device that is
    // open fails with OpenFailure::Other); returns nothing on failure.
    static std::unique_ptr<SerialDevice> Open(const std::string& path, OpenFailure& failure, OsError& error);
    // CloseHandle.
    virtual ~SerialDevice();
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    virtual const std::string& Path() const;

    // SetCommTimeouts: a read returns at once with whatever is queued; writes have no time-out.
    virtual bool SetTimeouts(OsError& error);
    // SetupComm: driver queue sizes (both above 0).
    virtual bool SetupQueues(std::uint32_t inQueue, std::uint32_t outQueue, OsError& error);
    // SetCommMask: the line events to wait for. Any call releases a pending wait, which then completes
    // with no events (the close sequence sets 0 for that).
    virtual bool SetEventMask(std::uint32_t mask, OsError& error);
    // SetCommState / GetCommState.
    virtual bool SetState(const TDcb& dcb, OsError& error);
    virtual bool GetState(TDcb& dcb, OsError& error);

    // WaitCommEvent: starts a wait for a line event of the mask. Completed: `events` holds what occurred
    // (received characters are reported once, when they arrive, not again while they stay queued).
    // Pending: WaitEventOrSignals reports the completion. Failed: the device is gone or broken.
    enum class WaitStatus { Completed, Pending, Failed };
    virtual WaitStatus StartEventWait(std::uint32_t& events, OsError& error);
    // WaitForMultipleObjects over `signals` and the pending line-event wait: the index of a set signal,
    // signals.size() when the line-event wait has something to collect, or kWaitTimeout.
    virtual int WaitEventOrSignals(std::span<Signal* const> waitSignals, std::chrono::milliseconds timeout);
    // GetOverlappedResult of the line-event wait, without blocking. Pending: nothing to collect yet.
    virtual WaitStatus CollectEvent(std::uint32_t& events, OsError& error);

    // ClearCommError: the number of bytes in the input queue and the line error bits since last asked.
    virtual bool ClearError(std::uint32_t& errors, std::uint32_t& inQueue, OsError& error);
    // ReadFile: up to `count` bytes of what is queued, without waiting.
    virtual bool Read(void* buffer, std::size_t count, std::size_t& got, OsError& error);

    // WriteFile: writes all `count` bytes, waiting for room; returns early when one of `interrupt` is
    // set (its index in `signal`). `written` counts the bytes that went out in every case.
    struct WriteResult {
        std::size_t written = 0;
        int signal = kWaitTimeout;
        bool ok = true;
        OsError error;
    };
    virtual WriteResult Write(const void* data, std::size_t count, std::span<Signal* const> interrupt);

    // PurgeComm (kPurge* flags).
    virtual bool Purge(std::uint32_t flags, OsError& error);
    // ClearCommError's output count: bytes written to the device that the driver has not yet put on
    // the line. Same threads as ClearError.
    virtual bool OutputQueued(std::uint32_t& count, OsError& error);
    // EscapeCommFunction (kSet/kClr Dtr/Rts). A device without modem lines accepts and ignores them.
    virtual bool Escape(std::uint32_t function, OsError& error);
    // The round trip measured on the way to the device when it is reached over a network (connect
    // and negotiation); nothing for a local device. Main thread, after the open.
    virtual std::optional<std::chrono::milliseconds> RoundTrip() const { return std::nullopt; }

    struct Impl;

  protected:
    // A device that is no system device (serial/InProcessLine.h): it overrides every operation.
    SerialDevice();

  private:
    explicit SerialDevice(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// A TCP connection to a device server (socket, connect, setsockopt, recv, send, poll / WSAEventSelect,
// close). Non-blocking; TCP_NODELAY and keep-alive are on, so that a peer that vanished is noticed
// and reported as a failure (reset or timed out) like any other. Threads: Receive on one thread at a
// time, Send on one thread at a time (the two may run at once); Wait for reading on one thread and
// for writing on another at the same time.
class Socket {
  public:
    // Connects to host:port within `timeout`. NotFound: the host name is not known; Other: refused,
    // unreachable or timed out.
    static std::unique_ptr<Socket> Connect(const std::string& host, std::uint16_t port,
                                           std::chrono::milliseconds timeout, OpenFailure& failure, OsError& error);
    ~Socket();
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    enum class Io { Done, WouldBlock, Closed, Failed };
    // What has arrived, up to `size` bytes, without waiting. Closed: the server ended the connection.
    Io Receive(void* buffer, std::size_t size, std::size_t& got, OsError& error);
    // As much of `data` as the system takes now, without waiting.
    Io Send(const void* data, std::size_t size, std::size_t& sent, OsError& error);
    // Waits for one of `waitSignals` (its index; an auto-reset one is taken), for the socket to be
    // readable (`forRead`; also on end or failure) or writable (`forWrite`) (waitSignals.size()), or
    // for the time to pass (kWaitTimeout; no timeout waits without limit).
    int Wait(std::span<Signal* const> waitSignals, bool forRead, bool forWrite,
             std::optional<std::chrono::milliseconds> timeout);

    struct Impl;

  private:
    explicit Socket(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// The device of port COMn: the fixed mapping of this system ("" when the number has none).
// Linux: COM1-COM32 = /dev/ttyS0-31, COM33-COM64 = /dev/ttyUSB0-31, COM65-COM96 = /dev/ttyACM0-31.
std::string ComDevicePath(int number);
// The inverse mapping: the COM number of a device path, 0 when it has none.
int ComNumberOfDevicePath(const std::string& path);

// QueryDosDevice(nullptr, buffer, size): the names of the serial ports present, as "COMn", each ended
// by NUL and the list by one more NUL; returns the characters stored, or 0 with the calling thread's
// last error set (kErrorInsufficientBuffer when `size` is too small). Any thread.
std::uint32_t QueryDeviceNames(char* buffer, std::uint32_t size);
// The calling thread's last-error value (GetLastError / SetLastError) and the text of an error code.
std::uint32_t GetLastError();
void SetLastError(std::uint32_t code);
std::string ErrorText(std::uint32_t code);

// Sets the calling thread's priority as far as the system allows; false when it was refused.
bool SetCurrentThreadPriority(TThreadPriority priority);

}  // namespace serial_os
}  // namespace lum
