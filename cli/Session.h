#pragma once
// One controller on one serial line, as lumctl talks to it: the port (a COM name or a
// device path) wired to the receive path and the transactions through DeviceLink, the
// plain main loop as the event pump, and the status records decoded as they arrive.
//
//   Session s(Session::Options{.port = "COM3"});
//   const StatusRecord& first = s.WaitForStatus();   // CliError(1) when none comes
//   auto op = s.Link().Tx.Begin(); ...
//
// A port that fails while open (adapter pulled) is reported through SafeSync's error
// handler; the session keeps the text and Check() turns it into CliError(1). As the failure is
// delivered the link ends the transaction under way (Transactions::DeviceLost, as in the
// window), and the pump the transactions wait in raises the error, so a transfer or a journal
// reading ends at once with the port's message rather than with the transaction's result.
//
// Following (status --follow, monitor) may keep going over a loss instead: KeepFollowing
// hands the failure's text to its caller once, and Pump opens the same port again with a
// growing pause (device/Reconnect.h) until it is back; what the system held on the line by
// then is dropped as at the first open.
//
// Threads: main thread only (the thread that created the session runs the loop). One
// session per process at a time (SafeSync's waker is process-wide).
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "common/MainLoop.h"
#include "device/DeviceLink.h"
#include "serial/ComPort.h"
#include "telemetry/StatusPresenter.h"
#include "telemetry/StatusRecord.h"

namespace lum::cli {

// What the measurements page would show for the last status record, as texts.
struct StatusTexts {
    std::string State;      // the state panel (two-line texts joined with one space)
    std::string Clock;      // hh:mm:ss
    std::string MotorHours;  // "205ч 45м"
    std::string ToService;
    std::string Carrier;    // network registration
    bool AutoLamp = false, SemiAutoLamp = false, ManualLamp = false;
};

class Session {
  public:
    struct Options {
        std::string port;  // "COM3" or a device path
        // Each frame sent ("<< ..." / "<<...") and each frame or line received, for monitor
        // and --trace.
        std::function<void(const std::string& line)> echo;
    };

    explicit Session(Options options);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    DeviceLink& Link() { return *link_; }
    MainLoop& Loop() { return loop_; }

    // Runs the loop until a status record has arrived (the first one, or the next one with
    // `fresh`), the time passes or Ctrl-C; CliError(1) with the window's no-link text when
    // none came, CliError(130) on Ctrl-C.
    const StatusRecord& WaitForStatus(std::chrono::milliseconds timeout = std::chrono::milliseconds(5000),
                                      bool fresh = false);
    // The last record and its texts; nothing before the first.
    const std::optional<StatusRecord>& LastStatus() const { return last_; }
    const StatusTexts& Texts() const { return texts_; }
    std::uint64_t StatusCount() const { return presenter_->RecordsShown(); }

    // Runs the loop for a while in short steps, returning early on Ctrl-C or when `stop`
    // (asked every step) says so.
    void Pump(std::chrono::milliseconds duration, const std::function<bool()>& stop = {});

    // From now on a port that fails while open is opened again by Pump instead of failing the
    // session: `lost` gets the port's error text once per loss, `attempting` the note
    // ("Переподключение к COM7…") before each attempt, `resumed` runs once it is open again.
    void KeepFollowing(std::function<void(const std::string& error)> lost,
                       std::function<void(const std::string& note)> attempting,
                       std::function<void()> resumed = {});

    // Raises CliError(1) when the port failed while open.
    void Check() const;
    bool PortFailed() const { return portFailure_.has_value(); }

    // Runs for each intact status record, after the texts are updated.
    std::function<void(const StatusRecord&)> OnStatus;
    // Runs for each controller frame the receive path counted (RxFrame holds it, check verdict
    // included), and for each received line.
    std::function<void(const LinkState&)> OnFrame;
    std::function<void(const std::string& line)> OnLine;

  private:
    class TextView;
    class NoCatalog;
    class NoChart;
    class FailFastPump;

    MainLoop loop_;
    std::unique_ptr<FailFastPump> pump_;
    TComPort port_;
    std::unique_ptr<DeviceLink> link_;
    std::unique_ptr<TextView> view_;
    std::unique_ptr<NoCatalog> catalog_;
    std::unique_ptr<NoChart> chart_;
    std::uint8_t currentModel_ = 0;
    bool blink_ = false;
    std::unique_ptr<StatusPresenter> presenter_;
    std::optional<StatusRecord> last_;
    StatusTexts texts_;
    std::optional<std::string> portFailure_;
    bool discarding_ = false;  // right after opening: received bytes are old, dropped
    // The loss the link has just reported, whose error is on its way to the error handler.
    bool lossReported_ = false;
    std::function<void(const std::string&)> lost_;

    // Drops what arrives during the first moments after an open (held by the system from before).
    void DropHeldInput();
};

// The device a PORT argument names: a COM name through the fixed mapping, anything else as
// a path. CliError(2) for a COM name without a number.
struct PortTarget {
    int comNumber = -1;      // >= 0 for a COM name
    std::string devicePath;  // for a path, or the device of the COM number ("" when none)
};
PortTarget ResolvePort(const std::string& port);

}  // namespace lum::cli
