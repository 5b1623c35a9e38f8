#include "serial/ComPortCore.h"

#include <system_error>
#include <thread>

#include "serial/InProcessLine.h"
#include "serial/NetworkDevice.h"
#include "serial/SafeSync.h"

namespace lum {

using serial_os::OsError;
using serial_os::SerialDevice;
using serial_os::Signal;

// ---- port address ----------------------------------------------------------------

std::string TPortAddress::Name() const {
    if (number > 0 || path.empty()) return "COM" + std::to_string(number);
    return path;
}

std::string TPortAddress::Format(const std::string& pattern) const {
    std::string text = pattern;
    const auto at = text.find("COM%d");
    if (at != std::string::npos) text.replace(at, 5, Name());
    return text;
}

// ---- worker threads ----------------------------------------------------------------

TComPortCoreThread::TComPortCoreThread(TComPortCore& core, SerialDevice& port) : core_(core), port_(port) {}

TComPortCoreThread::~TComPortCoreThread() {
    if (thread_.joinable()) {
        terminated_.store(true);
        stop_.Set();
        thread_.join();
    }
}

void TComPortCoreThread::Start(TThreadPriority priority) {
    thread_ = std::thread([this, priority] { Run(priority); });
}

void TComPortCoreThread::Run(TThreadPriority priority) {
    // Priority as far as the system allows; a refusal leaves the thread at normal priority.
    serial_os::SetCurrentThreadPriority(priority);
    try {
        Execute();
    } catch (...) {
        HandleException(std::current_exception());
    }
    ended_.store(true);
    exited_.Set();
    SafeSync::NotifyWaiters();
}

void TComPortCoreThread::RequestStop() {
    terminated_.store(true);
    stop_.Set();
}

void TComPortCoreThread::StopThread() {
    RequestStop();
    WaitForEnd();
}

void TComPortCoreThread::WaitForEnd() {
    if (!thread_.joinable()) return;
    // A worker may be waiting for the main thread to run one of its reports.
    SafeSync::ServeUntil([this] { return ended_.load(); });
    thread_.join();
}

void TComPortCoreThread::HandleException(std::exception_ptr error) {
    core_.ReportStop(error);
}

void TComPortCoreThread::Report(TCoreEvent kind, std::uint32_t data, std::exception_ptr error) {
    ICoreEventTarget* target = core_.target_.load();
    if (target == nullptr) return;
    try {
        target->CoreEvent(kind, data, error);
    } catch (...) {
        // An error raised while a report was delivered: hand it on and go on.
        try {
            target->CoreEvent(ceException, kWorkerGoesOn, std::current_exception());
        } catch (...) {
        }
    }
}

// Event thread.

void TComPortEventThread::Execute() {
    core_.outputEmpty_.Reset();
    bool pending = false;
    core_.threadStarted_.Set();
    Signal* const waitSet[] = {&stop_, &core_.outputEmpty_};
    constexpr int kStop = 0, kOutputEmpty = 1, kLineEvent = 2;
    while (!Terminated()) {
        if (!pending) {
            std::uint32_t events = 0;
            OsError error;
            switch (port_.StartEventWait(events, error)) {
                case SerialDevice::WaitStatus::Completed:
                    HandleCompletion(events, pending);
                    continue;
                case SerialDevice::WaitStatus::Pending:
                    pending = true;
                    break;
                case SerialDevice::WaitStatus::Failed:
                    std::rethrow_exception(core_.DeviceLost(error));
            }
        }
        const int which = port_.WaitEventOrSignals(waitSet, TComPortCore::kIdlePoll);
        if (which == kStop) break;
        if (which == kLineEvent) {
            std::uint32_t events = 0;
            OsError error;
            switch (port_.CollectEvent(events, error)) {
                case SerialDevice::WaitStatus::Completed:
                    pending = false;
                    HandleCompletion(events, pending);
                    break;
                case SerialDevice::WaitStatus::Pending:
                    break;
                case SerialDevice::WaitStatus::Failed:
                    std::rethrow_exception(core_.DeviceLost(error));
            }
        } else if (which == kOutputEmpty) {
            Report(ceOutFree, 0);
        } else if (which == serial_os::kWaitTimeout) {
            // Bytes whose received-character event was missed, or left unread by the handler.
            const std::uint32_t queued = core_.WorkerInputCount();
            if (queued > 0) Report(ceNeedReadData, queued);
        }
    }
}

void TComPortEventThread::HandleCompletion(std::uint32_t events, bool& pending) {
    if (events != 0) {
        Report(ceLineEvent, events);
    } else {
        // The close sequence cleared the mask: start no new wait.
        pending = true;
    }
}

void TComPortEventThread::StopThread() {
    core_.target_.store(nullptr);
    RequestStop();
    OsError ignored;  // neither can fail in a way that matters at close
    port_.SetEventMask(0, ignored);
    {
        std::lock_guard lock(core_.readLock_);
        port_.Purge(serial_os::kPurgeRxAbort | serial_os::kPurgeRxClear, ignored);
    }
    WaitForEnd();
}

// Write thread.

TComPortWriteThread::TComPortWriteThread(TComPortCore& core, SerialDevice& port)
    : TComPortCoreThread(core, port) {}

void TComPortWriteThread::PurgeHere() {
    std::lock_guard lock(core_.writeLock_);
    writeRequest_.Reset();
    core_.ring_->Clear();
    OsError ignored;  // a device that is gone has nothing left to purge
    port_.Purge(serial_os::kPurgeTxAbort | serial_os::kPurgeTxClear, ignored);
}

bool TComPortWriteThread::Purge() {
    if (Ended()) {
        PurgeHere();  // nobody else touches the ring any more
        return true;
    }
    purgeRequest_.Set();
    Signal* const answers[] = {&purgeDone_, &exited_};
    const int which = serial_os::WaitForSignals(answers, std::chrono::milliseconds(2000));
    if (which == 1) {
        PurgeHere();
        return true;
    }
    return which == 0;
}

void TComPortWriteThread::StopThread() {
    if (!skipFinalPurge_) Purge();
    TComPortCoreThread::StopThread();
}

void TComPortWriteThread::Execute() {
    core_.threadStarted_.Set();
    Signal* const waitSet[] = {&stop_, &purgeRequest_, &writeRequest_};
    Signal* const interrupt[] = {&stop_, &purgeRequest_};
    constexpr int kStop = 0, kPurge = 1;
    while (!Terminated()) {
        const int which = serial_os::WaitForSignals(waitSet, std::nullopt);
        if (which == kStop) break;
        if (which == kPurge) {
            PurgeHere();
            purgeDone_.Set();
            continue;
        }
        const std::uint8_t* block = nullptr;
        std::size_t length = 0;
        {
            std::lock_guard lock(core_.writeLock_);
            length = core_.ring_->ContiguousBlock();
            block = core_.ring_->BlockStart();
            if (length == 0) {
                writeRequest_.Reset();
                continue;
            }
        }
        const auto result = port_.Write(block, length, interrupt);
        if (result.signal == kStop) break;
        if (result.signal == kPurge) {
            PurgeHere();
            purgeDone_.Set();
            continue;
        }
        {
            std::lock_guard lock(core_.writeLock_);
            // Exactly what went out leaves the ring, also after a failure part-way.
            core_.ring_->Remove(result.written);
            if (core_.ring_->Used() == 0) {
                writeRequest_.Reset();
                core_.outputEmpty_.Set();
            }
        }
        if (!result.ok) std::rethrow_exception(core_.DeviceLost(result.error));
    }
}

// ---- core ------------------------------------------------------------------------------

TComPortCore::TComPortCore() = default;

TComPortCore::~TComPortCore() {
    try {
        if (portOpen_ || device_) Shutdown();
    } catch (...) {
        // An error of a delivered request while the threads stopped; nobody left to show it to.
    }
}

void TComPortCore::Fail(const std::string& message, const OsError& cause) {
    throw EComPortCoreError(message, cause);
}

bool TComPortCore::Open(const TPortAddress& address, const TDcb& dcb, int inQueue, int outQueue,
                        TThreadPriority eventPriority, TThreadPriority writePriority,
                        ICoreEventTarget* target) {
    if (portOpen_) return false;
    address_ = address;
    dcb_ = dcb;
    inQueue_ = inQueue;
    outQueue_ = outQueue;
    eventPriority_ = eventPriority;
    writePriority_ = writePriority;
    if (address.path.empty()) Fail(address.Format("Invalid port number (COM%d)"));

    serial_os::OpenFailure failure = serial_os::OpenFailure::None;
    OsError error;
    // A network port, an in-process line, else the system's device.
    device_ = ParseNetworkPortName(address.path) ? OpenNetworkDevice(address.path, failure, error)
                                                 : OpenLineDevice(address.path, failure, error);
    if (!device_) {
        Fail(address.Format(failure == serial_os::OpenFailure::NotFound ? "Invalid port number (COM%d)"
                                                                        : "Can't open device COM%d"),
             error);
    }
    try {
        if (!device_->SetTimeouts(error)) Fail("Error setting timeouts", error);
        if (inQueue <= 0 || outQueue <= 0 ||
            !device_->SetupQueues(static_cast<std::uint32_t>(inQueue), static_cast<std::uint32_t>(outQueue),
                                  error)) {
            Fail("Error initializing buffers", error);
        }
        if (!device_->SetEventMask(LineEventMask, error)) Fail(" Error setting EventMask", error);
        if (!device_->SetState(dcb_, error)) {
            OsError ignored;
            device_->GetState(dcb_, ignored);
            Fail("Error setting parameters from DCB", error);
        }
        errorFlags_.store(0);
        stopReported_.store(false);
        target_.store(target);
        ring_ = std::make_unique<TCircularBuffer>(static_cast<std::size_t>(outQueue));
        threadStarted_.Reset();  // a late start signal of an earlier, failed open must not count
        writeThread_ = std::make_unique<TComPortWriteThread>(*this, *device_);
        StartThread(*writeThread_, writePriority);
        active_.store(true);
        eventThread_ = std::make_unique<TComPortEventThread>(*this, *device_);
        StartThread(*eventThread_, eventPriority);
        portOpen_ = true;
    } catch (...) {
        Shutdown();
        throw;
    }
    return true;
}

void TComPortCore::StartThread(TComPortCoreThread& thread, TThreadPriority priority) {
    try {
        thread.Start(priority);
    } catch (const std::system_error& e) {
        Fail("Error creating threads", OsError{e.code().value(), e.what()});
    }
    Signal* const started[] = {&threadStarted_};
    if (serial_os::WaitForSignals(started, kThreadStartBound) == serial_os::kWaitTimeout)
        Fail("Error creating threads");
}

bool TComPortCore::OutputDone() {
    {
        std::lock_guard lock(writeLock_);
        if (ring_ && ring_->Used() != 0) return false;
    }
    std::lock_guard lock(readLock_);
    std::uint32_t queued = 0;
    OsError ignored;  // a device that cannot tell is taken as not done
    return device_ && device_->OutputQueued(queued, ignored) && queued == 0;
}

bool TComPortCore::Drain(std::chrono::milliseconds limit) {
    if (!portOpen_) return true;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (OutputDone()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void TComPortCore::Shutdown() {
    const bool outputDone = device_ && OutputDone();
    active_.store(false);
    OsError ignored;  // a device that is gone cannot be purged; closing it still works
    {
        std::lock_guard lock(readLock_);
        using namespace serial_os;
        const std::uint32_t flags = kPurgeRxAbort | kPurgeRxClear | kPurgeTxAbort | (outputDone ? 0 : kPurgeTxClear);
        if (device_) device_->Purge(flags, ignored);
    }
    // The read lock is not held while the threads stop: the event thread may need it to finish its
    // last look at the input queue.
    if (writeThread_) {
        if (outputDone) writeThread_->SkipFinalPurge();
        writeThread_->StopThread();
        writeThread_.reset();
    }
    if (eventThread_) {
        eventThread_->StopThread();
        eventThread_.reset();
    }
    target_.store(nullptr);
    {
        std::lock_guard lock(readLock_);
        device_.reset();
    }
    {
        std::lock_guard lock(writeLock_);
        ring_.reset();
    }
    portOpen_ = false;
}

void TComPortCore::SetState(const TDcb& dcb) {
    if (!device_) {
        dcb_ = dcb;
        return;
    }
    OsError error;
    if (!device_->SetState(dcb, error)) {
        OsError ignored;
        device_->GetState(dcb_, ignored);
        Fail("Error setting parameters from DCB", error);
    }
    dcb_ = dcb;
}

std::uint32_t TComPortCore::InputCount() {
    if (!active_.load() || !device_) return 0;
    std::uint32_t errors = 0, queued = 0;
    OsError error;
    std::lock_guard lock(readLock_);
    if (!device_->ClearError(errors, queued, error)) return 0;
    errorFlags_.fetch_or(errors);
    return queued;
}

std::uint32_t TComPortCore::WorkerInputCount() {
    std::uint32_t errors = 0, queued = 0;
    OsError error;
    std::lock_guard lock(readLock_);
    if (!device_->ClearError(errors, queued, error)) std::rethrow_exception(DeviceLost(error));
    errorFlags_.fetch_or(errors);
    return queued;
}

std::size_t TComPortCore::Read(void* buffer, std::size_t count) {
    if (!active_.load() || !device_ || count == 0) return 0;
    std::size_t got = 0;
    OsError error;
    std::lock_guard lock(readLock_);
    device_->Read(buffer, count, got, error);  // a failing device is reported by the event thread
    return got;
}

bool TComPortCore::Write(const void* data, std::size_t count) {
    if (!active_.load() || !writeThread_) return false;
    std::lock_guard lock(writeLock_);
    if (!ring_->Write(data, count)) return false;
    writeThread_->RequestWrite();
    return true;
}

std::size_t TComPortCore::OutFree() {
    if (!active_.load()) return 0;
    std::lock_guard lock(writeLock_);
    return ring_ ? ring_->Free() : 0;
}

std::optional<std::chrono::milliseconds> TComPortCore::RoundTrip() const {
    return device_ ? device_->RoundTrip() : std::nullopt;
}

bool TComPortCore::Escape(std::uint32_t function, OsError& error) {
    if (!device_) return true;
    return device_->Escape(function, error);
}

std::exception_ptr TComPortCore::DeviceLost(const OsError& cause) const {
    std::string text = "Устройство " + address_.Name() + " отключено или недоступно";
    if (address_.Name() != address_.path) text += " (" + address_.path + ")";
    text += ": " + cause.text;
    return std::make_exception_ptr(EComPortError(text));
}

void TComPortCore::ReportStop(std::exception_ptr error) {
    if (stopReported_.exchange(true)) return;
    ICoreEventTarget* target = target_.load();
    if (target == nullptr) return;
    try {
        target->CoreEvent(ceException, kWorkerStopped, error);
    } catch (...) {
    }
}

}  // namespace lum
