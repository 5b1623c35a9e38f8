#include "cli/Session.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "cli/Errors.h"
#include "cli/Platform.h"
#include "serial/ComPortCore.h"
#include "serial/PortList.h"
#include "serial/SafeSync.h"

namespace lum::cli {

using namespace std::chrono_literals;

namespace {

// How long after opening received bytes count as held from before.
constexpr std::chrono::milliseconds kStaleInputWindow{60};

std::string OneLine(std::string text) {
    // Two-line panel texts break with LF CR; on a terminal one line reads better.
    std::string out;
    for (char c : text) {
        if (c == '\n' || c == '\r') {
            if (!out.empty() && out.back() != ' ') out += ' ';
        } else {
            out += c;
        }
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

}  // namespace

class Session::TextView : public IMeasurementsView {
  public:
    explicit TextView(StatusTexts& texts) : t_(texts) {}
    void ClearIndicatorsError() override {}
    void SetModeLamps(bool autoLit, bool semiautoLit, bool manualLit) override {
        t_.AutoLamp = autoLit, t_.SemiAutoLamp = semiautoLit, t_.ManualLamp = manualLit;
    }
    void SetModeSwitches(bool, bool) override {}
    void SetStatusText(const std::string& text) override { t_.State = OneLine(text); }
    void SetGuPointerColour(Rgb) override {}
    void SetClockText(const std::string& text) override { t_.Clock = text; }
    void SetVoltage(VoltageGauge, double) override {}
    void SetBattery(double) override {}
    void SetUps(double) override {}
    void SetMotorHoursText(const std::string& text) override { t_.MotorHours = text; }
    void SetServiceText(const std::string& text) override { t_.ToService = text; }
    void SetSignal(double) override {}
    void SetCarrierText(const std::string& text) override { t_.Carrier = OneLine(text); }
    void SetTemperature(int, double) override {}
    void SetFlagLamp(FlagLamp, bool) override {}

  private:
    StatusTexts& t_;
};

class Session::NoCatalog : public ICatalogView {
  public:
    void LoadCatalogForModel(std::uint8_t) override {}
    void ShowJournalPage() override {}
    void SelectDeviceVersion(int) override {}
};

class Session::NoChart : public IChartSink {
  public:
    void AddPoint(ChartChannel, double) override {}
};

// The transactions' pump: the main loop, raising the port's failure once it has been
// delivered, so that a command ends with the port's message (CliError) rather than with the
// DeviceLost result of the transaction the link has ended.
class Session::FailFastPump : public IEventPump {
  public:
    FailFastPump(MainLoop& loop, const Session& session) : loop_(loop), session_(session) {}
    void RunPending(std::chrono::milliseconds maxWait) override {
        loop_.RunPending(maxWait);
        session_.Check();
    }

  private:
    MainLoop& loop_;
    const Session& session_;
};

PortTarget ResolvePort(const std::string& port) {
    PortTarget target;
    const bool comName = port.size() > 3 &&
                         std::equal(port.begin(), port.begin() + 3, "COM",
                                    [](char a, char b) { return std::toupper(static_cast<unsigned char>(a)) == b; }) &&
                         std::all_of(port.begin() + 3, port.end(),
                                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
    if (comName) {
        try {
            target.comNumber = ComNumberFromSelectorText(port);
        } catch (const std::exception& e) {
            throw CliError(ExitBadArguments, "порт " + port + ": " + e.what());
        }
        target.devicePath = ComNameToDevicePath("COM" + std::to_string(target.comNumber));
        return target;
    }
    if (port.empty()) throw CliError(ExitBadArguments, "не указан порт: -p COMn, путь к устройству или tcp://УЗЕЛ:ПОРТ");
    target.devicePath = port;
    return target;
}

Session::Session(Options options)
    : pump_(std::make_unique<FailFastPump>(loop_, *this)),
      view_(std::make_unique<TextView>(texts_)),
      catalog_(std::make_unique<NoCatalog>()),
      chart_(std::make_unique<NoChart>()) {
    const PortTarget target = ResolvePort(options.port);
    UseMainLoopForSafeSync(loop_);
    SafeSync::SetErrorHandler([this](std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            if (std::exchange(lossReported_, false)) {
                if (lost_) lost_(e.what());
                return;
            }
            if (!portFailure_) portFailure_ = e.what();
        }
    });
    presenter_ = std::make_unique<StatusPresenter>(*view_, *catalog_, *chart_, currentModel_, blink_);
    link_ = std::make_unique<DeviceLink>(port_, *pump_, options.echo);
    link_->Rx.DecodeStatusRecord = [this](const LinkState& s) {
        const std::span<const std::uint8_t> frame(s.RxFrame.data(), s.RxFrameLength);
        if (!presenter_->DecodeStatusRecord(frame)) return;
        last_ = presenter_->Record();
        if (OnStatus) OnStatus(*last_);
    };
    link_->Rx.FrameCounted = [this](std::uint32_t) {
        if (OnFrame) OnFrame(link_->State);
    };
    link_->Rx.LineStep = [this](std::string& buffer) {
        std::size_t end;
        while ((end = buffer.find('\r')) != std::string::npos) {
            const std::string line = buffer.substr(0, end + 1);
            buffer.erase(0, end + 1);
            if (OnLine) OnLine(line);
        }
    };
    // The window's handling of a command that finds no controller frame is a box; here the
    // command itself reports it, from the transaction's result.
    link_->Tx.NoController = [] {};
    port_.OnDataRecived = [this](TCustomSerialPort*, std::uint32_t count) {
        if (discarding_) {
            port_.ReadString();  // held by the system from before the port was opened
            return;
        }
        link_->DataReceived(count);
    };
    port_.SetName(options.port);
    port_.SetBaudRate(br9600);
    port_.SetDatabits(db8);
    port_.SetParity(paNone);
    port_.SetStopbits(sbOne);
    port_.SetFlowControl(fwNone);
    try {
        if (target.comNumber >= 0) {
            port_.SetComNumber(target.comNumber);
        } else {
            port_.SetDevicePath(target.devicePath);
        }
        port_.Open();
    } catch (const EComPortCoreError& e) {
        port_.OnDataRecived = nullptr;
        SafeSync::SetWaker(nullptr);
        SafeSync::SetErrorHandler(nullptr);
        const std::string why = PortOpenReason(e.Cause().code);
        throw CliError(ExitNoController, "порт " + options.port + ": " + (why.empty() ? "" : why + " (") + e.what() +
                                             (e.Cause().text.empty() ? "" : ": " + e.Cause().text) +
                                             (why.empty() ? "" : ")"));
    } catch (const std::exception& e) {
        port_.OnDataRecived = nullptr;
        SafeSync::SetWaker(nullptr);
        SafeSync::SetErrorHandler(nullptr);
        throw CliError(ExitNoController, std::string("порт ") + options.port + ": " + e.what());
    }
    DropHeldInput();
}

// A line the controller talked on while nobody listened (a pseudo-terminal, a network
// bridge) hands over old records at once: what arrives right after opening is dropped,
// so that a status is never an old one and no request answers an old frame.
void Session::DropHeldInput() {
    discarding_ = true;
    const auto until = std::chrono::steady_clock::now() + kStaleInputWindow;
    for (auto now = std::chrono::steady_clock::now(); now < until; now = std::chrono::steady_clock::now())
        loop_.RunPending(std::chrono::ceil<std::chrono::milliseconds>(until - now));
    discarding_ = false;
}

Session::~Session() {
    // The last frame written may still be on its way: a closing port purges what has not gone out.
    port_.Drain(std::chrono::seconds(2));
    port_.Close();
    port_.OnDataRecived = nullptr;
    link_.reset();
    SafeSync::SetWaker(nullptr);
    SafeSync::SetErrorHandler(nullptr);
}

void Session::KeepFollowing(std::function<void(const std::string& error)> lost,
                            std::function<void(const std::string& note)> attempting, std::function<void()> resumed) {
    lost_ = std::move(lost);
    link_->PortLost = [this](const std::string&) { lossReported_ = true; };
    Reconnector& again = link_->Reconnect;
    again.Attempting = [note = std::move(attempting)](const std::string& port) {
        if (note) note(ReconnectingText(port));
    };
    again.Resumed = [this, resumed = std::move(resumed)](const std::string&) {
        DropHeldInput();
        if (resumed) resumed();
    };
    again.Enable(true);
}

void Session::Check() const {
    if (portFailure_) throw CliError(ExitNoController, *portFailure_);
}

const StatusRecord& Session::WaitForStatus(std::chrono::milliseconds timeout, bool fresh) {
    const std::uint64_t seen = fresh ? StatusCount() : 0;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!(last_ && StatusCount() > seen)) {
        Check();
        if (Interrupted()) throw CliError(ExitInterrupted, "прервано");
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) throw CliError(ExitNoController, kNoLinkRetryText);
        loop_.RunPending(std::min<std::chrono::milliseconds>(
            100ms, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now) + 1ms));
    }
    return *last_;
}

void Session::Pump(std::chrono::milliseconds duration, const std::function<bool()>& stop) {
    const auto deadline = std::chrono::steady_clock::now() + duration;
    while (!Interrupted() && !(stop && stop())) {
        Check();
        link_->Reconnect.Tick();
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return;
        loop_.RunPending(std::min<std::chrono::milliseconds>(
            100ms, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now) + 1ms));
    }
}


}  // namespace lum::cli
