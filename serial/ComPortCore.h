#pragma once
// The port core: the open device, its settings record, the output ring, and the two worker threads of
// an open port.
//
//  - The event thread waits for line events (and asks for the input queue every 200 ms when nothing
//    happens) and reports them to the component (CoreEvent). It starts no new wait until the report
//    has returned.
//  - The write thread drains the output ring to the device in contiguous blocks.
//
// Received bytes are not buffered here: they stay in the driver until the main thread reads them.
//
// Threads: every public operation of TComPortCore on the main thread (the thread that opens the
// port). The worker threads call the report target (ICoreEventTarget::CoreEvent).
// Locks: the read lock is held around every input-queue query and every read, the write lock around
// every access to the ring. The read lock may be held while the write lock is taken, never the other
// way round.
#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

#include "serial/CircularBuffer.h"
#include "serial/SerialPlatform.h"

namespace lum {

// Kinds of worker report.
enum TCoreEvent {
    ceOutFree,       // the output ring has been written out; data 0
    ceLineEvent,     // data: the line events that occurred (serial_os::kEv* bits)
    ceNeedReadData,  // data: bytes waiting in the input queue
    ceException      // error: what went wrong in a worker; data: kWorkerGoesOn or kWorkerStopped
};

// ceException data: the worker went on after the error, or the error stopped it (the port can no
// longer work and is closed when the error reaches the main thread).
inline constexpr std::uint32_t kWorkerGoesOn = 0;
inline constexpr std::uint32_t kWorkerStopped = 1;

// Errors of the component (texts formatted with the component's name).
class EComPortError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Errors of the core's open sequence and settings; carries the system's error when one caused it.
class EComPortCoreError : public std::runtime_error {
  public:
    explicit EComPortCoreError(const std::string& message, serial_os::OsError cause = {})
        : std::runtime_error(message), cause_(std::move(cause)) {}
    const serial_os::OsError& Cause() const { return cause_; }

  private:
    serial_os::OsError cause_;
};

// The receiver of worker reports (the component). Called on a worker thread.
class ICoreEventTarget {
  public:
    virtual void CoreEvent(TCoreEvent kind, std::uint32_t data, std::exception_ptr error) = 0;

  protected:
    ~ICoreEventTarget() = default;
};

// Which port to open: its COM number (0 when it has none) and the device that serves it ("" when the
// number maps to no device).
struct TPortAddress {
    int number = 0;
    std::string path;
    // "COMn", or the device path for a device without a COM number.
    std::string Name() const;
    // `pattern` with its "COM%d" replaced by Name().
    std::string Format(const std::string& pattern) const;
};

class TComPortCore;

// Common part of the worker threads: the core, the device and an own stop signal.
class TComPortCoreThread {
  public:
    TComPortCoreThread(TComPortCore& core, serial_os::SerialDevice& port);
    virtual ~TComPortCoreThread();
    TComPortCoreThread(const TComPortCoreThread&) = delete;
    TComPortCoreThread& operator=(const TComPortCoreThread&) = delete;

    // Main thread. Raises std::system_error when the thread cannot be made.
    void Start(TThreadPriority priority);
    // Main thread: marks the thread terminated, sets its stop signal and waits for it to end, running
    // the main thread's delivery requests meanwhile.
    virtual void StopThread();
    bool Ended() const { return ended_.load(); }

  protected:
    virtual void Execute() = 0;
    // An error that ended Execute (a failing device, above all): reported once per open port, as
    // ceException with kWorkerStopped; the thread then ends, so that a hung-up device is not looked at
    // again and again.
    virtual void HandleException(std::exception_ptr error);
    bool Terminated() const { return terminated_.load(); }
    // Marks the thread terminated and sets its stop signal.
    void RequestStop();
    // Waits for the thread to end, running the main thread's delivery requests meanwhile.
    void WaitForEnd();
    // Reports to the core's target; an error escaping the report is reported as ceException with
    // kWorkerGoesOn and the thread goes on.
    void Report(TCoreEvent kind, std::uint32_t data, std::exception_ptr error = nullptr);

    TComPortCore& core_;
    serial_os::SerialDevice& port_;
    serial_os::Signal stop_{serial_os::Signal::Mode::ManualReset};
    serial_os::Signal exited_{serial_os::Signal::Mode::ManualReset};

  private:
    void Run(TThreadPriority priority);
    std::atomic<bool> terminated_{false};
    std::atomic<bool> ended_{false};
    std::thread thread_;
};

class TComPortEventThread : public TComPortCoreThread {
  public:
    using TComPortCoreThread::TComPortCoreThread;
    // Forgets the report target, stops, releases the line-event wait, purges the input, waits.
    void StopThread() override;

  protected:
    void Execute() override;

  private:
    void HandleCompletion(std::uint32_t events, bool& pending);
};

class TComPortWriteThread : public TComPortCoreThread {
  public:
    TComPortWriteThread(TComPortCore& core, serial_os::SerialDevice& port);
    // Purges the output, then stops.
    void StopThread() override;
    // Main thread, before StopThread: the output has all gone out; stop without purging it.
    void SkipFinalPurge() { skipFinalPurge_ = true; }
    // Any thread, under the core's write lock: there is something in the ring.
    void RequestWrite() { writeRequest_.Set(); }
    // Main thread: the thread empties the ring and the driver's output queue; false when it did not
    // answer within 2000 ms.
    bool Purge();

  protected:
    void Execute() override;

  private:
    void PurgeHere();
    serial_os::Signal writeRequest_{serial_os::Signal::Mode::ManualReset};
    serial_os::Signal purgeRequest_{serial_os::Signal::Mode::AutoReset};
    serial_os::Signal purgeDone_{serial_os::Signal::Mode::AutoReset};
    bool skipFinalPurge_ = false;
};

class TComPortCore {
  public:
    // Line events waited for: received character, CTS, DSR, carrier, line error, ring.
    static constexpr std::uint32_t LineEventMask = 0x01B9;
    static constexpr std::chrono::milliseconds kThreadStartBound{3000};
    static constexpr std::chrono::milliseconds kIdlePoll{200};

    TComPortCore();
    ~TComPortCore();  // shuts the port down if it is open
    TComPortCore(const TComPortCore&) = delete;
    TComPortCore& operator=(const TComPortCore&) = delete;

    // Opens the port and starts both threads; false (and nothing done) when already open. Raises
    // EComPortCoreError with the tabled texts; after a failure the port is closed and no thread runs.
    bool Open(const TPortAddress& address, const TDcb& dcb, int inQueue, int outQueue,
              TThreadPriority eventPriority, TThreadPriority writePriority, ICoreEventTarget* target);
    // Stops both threads, purges both directions and closes the device. Output that has fully left
    // the ring and the driver is not purged: on a pseudo-terminal the purge would throw away bytes
    // the other side has not read yet, bytes the caller was told were sent.
    void Shutdown();
    // Main thread: waits at most `limit` until the ring and the driver's output queue are empty;
    // true when they are (also on a closed port).
    bool Drain(std::chrono::milliseconds limit);

    bool PortOpen() const { return portOpen_; }
    bool Active() const { return active_.load(); }
    const TPortAddress& Address() const { return address_; }
    int InQueueSize() const { return inQueue_; }
    int OutQueueSize() const { return outQueue_; }
    TThreadPriority EventThreadPriority() const { return eventPriority_; }
    TThreadPriority WriteThreadPriority() const { return writePriority_; }

    // The settings record; on an open port it is applied at once. A rejected record raises
    // EComPortCoreError "Error setting parameters from DCB" after the port's settings were read back
    // into State().
    void SetState(const TDcb& dcb);
    const TDcb& State() const { return dcb_; }

    // Bytes in the driver's input queue (0 when closed or failing; a failing device is reported by
    // the event thread). Gathers line error bits into the error flags.
    std::uint32_t InputCount();
    // Reads up to `count` of the queued bytes; returns how many.
    std::size_t Read(void* buffer, std::size_t count);
    // Copies all bytes into the output ring and wakes the write thread; false when they do not fit or
    // the port is not active. Main thread (any thread, strictly: it only takes the write lock).
    bool Write(const void* data, std::size_t count);
    // Free bytes of the output ring; 0 when closed.
    std::size_t OutFree();
    // Line error bits gathered since last taken; clears them.
    std::uint32_t TakeErrorFlags() { return errorFlags_.exchange(0); }
    // The round trip to a device reached over a network, measured at the open; nothing for a local
    // device or a closed port.
    std::optional<std::chrono::milliseconds> RoundTrip() const;
    // Raises or drops DTR / RTS (serial_os::kSet* / kClr*); false when the device refused.
    bool Escape(std::uint32_t function, serial_os::OsError& error);

  private:
    friend class TComPortCoreThread;
    friend class TComPortEventThread;
    friend class TComPortWriteThread;

    [[noreturn]] void Fail(const std::string& message, const serial_os::OsError& cause = {});
    void StartThread(TComPortCoreThread& thread, TThreadPriority priority);
    // Worker side: the input queue count, or an exception for a failing device.
    std::uint32_t WorkerInputCount();
    // Nothing left to send: the ring and the driver's output queue are empty (false when the
    // device cannot tell).
    bool OutputDone();
    std::exception_ptr DeviceLost(const serial_os::OsError& cause) const;
    // Reports an error that stopped a worker, once per open port.
    void ReportStop(std::exception_ptr error);

    TPortAddress address_;
    TDcb dcb_;
    int inQueue_ = 8192;
    int outQueue_ = 4096;
    TThreadPriority eventPriority_ = tpNormal;
    TThreadPriority writePriority_ = tpHigher;
    std::atomic<std::uint32_t> errorFlags_{0};
    std::atomic<bool> active_{false};
    bool portOpen_ = false;
    std::atomic<ICoreEventTarget*> target_{nullptr};
    std::atomic<bool> stopReported_{false};

    std::mutex readLock_;
    std::mutex writeLock_;
    serial_os::Signal threadStarted_{serial_os::Signal::Mode::AutoReset};
    serial_os::Signal outputEmpty_{serial_os::Signal::Mode::AutoReset};

    std::unique_ptr<serial_os::SerialDevice> device_;
    std::unique_ptr<TCircularBuffer> ring_;  // guarded by writeLock_
    std::unique_ptr<TComPortWriteThread> writeThread_;
    std::unique_ptr<TComPortEventThread> eventThread_;
};

}  // namespace lum
