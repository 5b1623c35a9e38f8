#include "sim/ControllerCore.h"

#include <algorithm>
#include <cmath>

#include "link/FrameCodec.h"
#include "params/Packing.h"

namespace lum::sim {
namespace {

using namespace std::chrono_literals;
using std::chrono::duration_cast;
using std::chrono::seconds;

constexpr std::uint8_t kStatus = 21;
constexpr std::size_t kRxLimit = 1024;
constexpr std::size_t kMaxReplyData = 250;  // a reply frame stays within 256 bytes

// Work modes the simulated generator goes through.
constexpr std::uint8_t kMains = 0, kStarting = 3, kWarmUp = 4, kRunning = 5, kRest = 6, kCooling = 8;

// One start attempt: the start step shown in the state timer's low byte and its length.
struct StartStep {
    std::uint8_t code;
    std::chrono::milliseconds length;
};
constexpr StartStep kStartSequence[] = {{1, 1000ms}, {2, 1000ms}, {4, 2000ms}, {5, 1000ms}};
constexpr std::chrono::milliseconds kAfterFailedAttempt = 1500ms;  // step 0 "stopped" between attempts
constexpr std::chrono::milliseconds kWarmUpTime = 5000ms;
constexpr std::chrono::milliseconds kCoolingTime = 5000ms;
constexpr int kMaxAttempts = 3;

// Event codes of the journals.
constexpr std::uint8_t kEvMainsLost = 0, kEvStart = 1, kEvRunning = 2, kEvMainsBack = 3, kEvPowerOn = 4,
                       kEvManual = 5, kEvAuto = 6, kEvTestStart = 7, kEvRest = 8, kEvStop = 9, kEvUps = 10;

std::uint8_t Bcd(int v) {
    return BinToBcd(static_cast<std::uint8_t>(v));
}

void PutWord(std::vector<std::uint8_t>& d, std::size_t at, std::uint32_t v) {
    d[at] = static_cast<std::uint8_t>(v >> 8);
    d[at + 1] = static_cast<std::uint8_t>(v);
}

std::int64_t ToSeconds(const ClockTime& c) {
    using namespace std::chrono;
    const sys_days day = year_month_day{year{2000 + c.year}, month{static_cast<unsigned>(c.month)},
                                        std::chrono::day{static_cast<unsigned>(c.day)}};
    return day.time_since_epoch() / 1s + c.hour * 3600 + c.minute * 60 + c.second -
           sys_days{year{2000} / January / 1}.time_since_epoch() / 1s;
}

ClockTime FromSeconds(std::int64_t s) {
    using namespace std::chrono;
    const sys_seconds t = sys_days{year{2000} / January / 1} + std::chrono::seconds{s};
    const sys_days day = floor<days>(t);
    const year_month_day ymd{day};
    const auto secondsOfDay = (t - day) / 1s;
    ClockTime c;
    c.year = (static_cast<int>(ymd.year()) - 2000) % 100;
    c.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    c.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    c.hour = static_cast<int>(secondsOfDay / 3600);
    c.minute = static_cast<int>(secondsOfDay % 3600 / 60);
    c.second = static_cast<int>(secondsOfDay % 60);
    return c;
}

bool ValidClock(const ClockTime& c) {
    using namespace std::chrono;
    if (c.hour > 23 || c.minute > 59 || c.second > 59 || c.year < 0 || c.year > 99) return false;
    if (c.month < 1 || c.month > 12 || c.day < 1) return false;
    return year_month_day{year{2000 + c.year}, month{static_cast<unsigned>(c.month)},
                          day{static_cast<unsigned>(c.day)}}
        .ok();
}

// A value in [0,1).
double Uniform(std::mt19937_64& rng) {
    return std::generate_canonical<double, 53>(rng);
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string s;
    for (auto b : bytes) s += ByteToHex(b);
    return s;
}

}  // namespace

std::array<std::uint8_t, 5> JournalBytes(const JournalRecord& r) {
    if (r.code == kJournalEnd) return {0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    return {Bcd(r.hour), Bcd(r.minute), Bcd(r.day), Bcd(r.month), r.code};
}

void ControllerCore::Walk::Next(std::mt19937_64& rng) {
    // A small random step with a pull back towards the mean.
    value += (Uniform(rng) * 2.0 - 1.0) * step + (mean - value) * 0.05;
    value = std::clamp(value, min, max);
}

ControllerCore::ControllerCore(const SimOptions& options, TimePoint start, LogSink log)
    : options_(options),
      log_(std::move(log)),
      valueRng_(options.seed * 6364136223846793005ULL + 1),
      noiseRng_(options.seed * 6364136223846793005ULL + 2),
      chunkRng_(options.seed * 6364136223846793005ULL + 3),
      dropRng_(options.seed * 6364136223846793005ULL + 4),
      startRng_(options.seed * 6364136223846793005ULL + 5),
      nextStatus_(start),
      stateSince_(start),
      nextTransition_(start),
      runMeasuredTo_(start),
      clockSetAt_(start),
      phases_{{225, 225, 0.6, 205, 245}, {224, 224, 0.6, 205, 245}, {227, 227, 0.6, 205, 245}},
      generator_{222, 222, 1.0, 200, 240},
      battery_{13.2, 13.2, 0.05, 12.4, 14.0},
      ups_{27.2, 27.2, 0.05, 26.0, 28.2},
      signal_{18, 18, 0.8, 8, 28},
      engineTemp_{24, 24, 0.2, -20, 95},
      roomTemp_{22, 22, 0.1, 5, 40},
      boxTemp_{27, 27, 0.1, 5, 50},
      outdoorTemp_{-4, -4, 0.15, -30, 35} {
    memory_ = DefaultImageForModel(options.model);  // std::invalid_argument for an unknown model
    options_.eventRecords = std::clamp(options_.eventRecords, 0, kEventJournalSize);
    options_.alarmRecords = std::clamp(options_.alarmRecords, 0, kAlarmJournalSize);
    if (!ValidClock(options_.clock)) options_.clock = ClockTime{};
    clockBase_ = ToSeconds(options_.clock);

    // Counters the controller keeps itself: motor hours, GPRS counters, serial number.
    SetMotorMinutes(12345);
    memory_[180] = 0x00, memory_[181] = 0x2A;  // successful GPRS sends
    memory_[182] = 0x00, memory_[183] = 0x03;  // failed GPRS sends
    const char serial[] = "00012345";
    std::copy(serial, serial + 8, memory_.begin() + 184);

    // A plausible history, the newest record last, one every few hours before the start.
    static constexpr std::uint8_t kEventCycle[] = {
        kEvMainsLost, kEvStart,   kEvRunning,   kEvMainsBack, kEvStop,   kEvTestStart, kEvRunning, kEvStop,
        kEvMainsLost, kEvUps,     kEvMainsBack, kEvMainsLost, kEvStart,  13,           kEvStart,   kEvRunning,
        kEvRest,      kEvRunning, kEvMainsBack, kEvStop,      kEvManual, kEvAuto,      18};
    static constexpr std::uint8_t kAlarmCycle[] = {13, 11, 15, 12, 17, 14, 16};
    const auto makeJournal = [this](int count, const std::uint8_t* cycle, std::size_t cycleLength, int first,
                                    int hoursApart) {
        std::vector<JournalRecord> journal;
        for (int i = 0; i < count; ++i) {
            const std::int64_t at =
                clockBase_ - static_cast<std::int64_t>(count - i) * hoursApart * 3600 + (i * 37 % 60) * 60;
            const ClockTime c = FromSeconds(at);
            const std::uint8_t code = i == 0 && first >= 0 ? static_cast<std::uint8_t>(first)
                                                           : cycle[static_cast<std::size_t>(i) % cycleLength];
            journal.push_back({static_cast<std::uint8_t>(c.hour), static_cast<std::uint8_t>(c.minute),
                               static_cast<std::uint8_t>(c.day), static_cast<std::uint8_t>(c.month), code});
        }
        return journal;
    };
    events_ = makeJournal(options_.eventRecords, kEventCycle, std::size(kEventCycle), kEvPowerOn, 5);
    alarms_ = makeJournal(options_.alarmRecords, kAlarmCycle, std::size(kAlarmCycle), -1, 53);
}

void ControllerCore::Log(const std::string& text) const {
    if (log_) log_(text);
}

void ControllerCore::SetMotorMinutes(std::int32_t minutes) {
    const auto v = static_cast<std::uint32_t>(minutes);
    memory_[0] = static_cast<std::uint8_t>(v >> 24);
    memory_[1] = static_cast<std::uint8_t>(v >> 16);
    memory_[2] = static_cast<std::uint8_t>(v >> 8);
    memory_[3] = static_cast<std::uint8_t>(v);
}

std::int32_t ControllerCore::MotorMinutes() const {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(memory_[0]) << 24 |
                                     static_cast<std::uint32_t>(memory_[1]) << 16 |
                                     static_cast<std::uint32_t>(memory_[2]) << 8 | memory_[3]);
}

ClockTime ControllerCore::Clock(TimePoint now) const {
    return FromSeconds(clockBase_ + duration_cast<seconds>(now - clockSetAt_).count());
}

std::uint16_t ControllerCore::StateTimer(TimePoint now) const {
    if (workMode_ == kStarting) {
        const std::uint8_t step = startStep_ < 0 ? 0 : kStartSequence[startStep_].code;
        return static_cast<std::uint16_t>(attempt_ << 8 | step);
    }
    const auto s = duration_cast<seconds>(now - stateSince_).count();
    return static_cast<std::uint16_t>(std::clamp<std::int64_t>(s, 0, 65535));
}

// ---- generator states ----------------------------------------------------------

void ControllerCore::EnterState(std::uint8_t state, TimePoint at) {
    workMode_ = state;
    stateSince_ = at;
    transitionPending_ = true;
    switch (state) {
        case kStarting:
            nextTransition_ = at + kStartSequence[0].length;
            break;
        case kWarmUp:
            nextTransition_ = at + kWarmUpTime;
            break;
        case kRunning:
            transitionPending_ = runSeconds_ != 0;
            nextTransition_ = at + std::chrono::seconds(runSeconds_);
            break;
        case kCooling:
            nextTransition_ = at + kCoolingTime;
            break;
        case kRest:
            nextTransition_ = at + std::chrono::seconds(restSeconds_);
            break;
        default:
            transitionPending_ = false;
            break;
    }
}

void ControllerCore::Advance(TimePoint now) {
    // Motor minutes count while the engine turns.
    const auto countRunTime = [this](TimePoint to) {
        if (to <= runMeasuredTo_) return;
        if (workMode_ == kWarmUp || workMode_ == kRunning || workMode_ == kCooling) {
            motorRemainder_ += to - runMeasuredTo_;
        }
        runMeasuredTo_ = to;
    };
    while (transitionPending_ && nextTransition_ <= now) {
        const TimePoint at = nextTransition_;
        countRunTime(at);
        switch (workMode_) {
            case kStarting:
                if (startStep_ < 0) {  // the pause after a failed attempt is over
                    ++attempt_;
                    startStep_ = 0;
                    attemptFails_ = attempt_ + 1 < kMaxAttempts && Uniform(startRng_) < 0.3;
                    nextTransition_ = at + kStartSequence[0].length;
                } else if (startStep_ + 1 < static_cast<int>(std::size(kStartSequence))) {
                    ++startStep_;
                    nextTransition_ = at + kStartSequence[startStep_].length;
                } else if (attemptFails_) {
                    startStep_ = -1;
                    nextTransition_ = at + kAfterFailedAttempt;
                } else {
                    EnterState(kWarmUp, at);
                }
                break;
            case kWarmUp:
                EnterState(kRunning, at);
                AddEvent(kEvRunning, at);
                break;
            case kRunning:
                EnterState(kCooling, at);
                break;
            case kCooling:
                // After a stop with a waiting time the generator rests that long.
                EnterState(restSeconds_ != 0 ? kRest : kMains, at);
                AddEvent(kEvStop, at);
                break;
            case kRest:
                restSeconds_ = 0;
                EnterState(kMains, at);
                break;
            default:
                transitionPending_ = false;
                break;
        }
    }
    countRunTime(now);
    while (motorRemainder_ >= std::chrono::minutes(1)) {
        motorRemainder_ -= std::chrono::minutes(1);
        SetMotorMinutes(MotorMinutes() + 1);
        minutesToService_ = std::max(0, minutesToService_ - 1);
    }
}

void ControllerCore::HandleStart(std::uint16_t seconds, TimePoint now) {
    if (workMode_ != kMains) {
        Log("команда 50 (старт): генератор уже запущен, состояние " + std::to_string(workMode_));
        return;
    }
    Log("команда 50 (старт) на " + std::to_string(seconds) + " с");
    runSeconds_ = seconds;
    restSeconds_ = 0;
    attempt_ = 0;
    startStep_ = 0;
    attemptFails_ = Uniform(startRng_) < 0.3;
    EnterState(kStarting, now);
    AddEvent(kEvStart, now);
}

void ControllerCore::HandleStop(std::uint16_t seconds, TimePoint now) {
    Log("команда 51 (стоп), время ожидания " + std::to_string(seconds) + " с");
    if (workMode_ == kStarting || workMode_ == kWarmUp || workMode_ == kRunning) {
        restSeconds_ = seconds;
        EnterState(kCooling, now);
    } else {
        Log("генератор не работает: стоп без действия");
    }
}

// ---- journals and clock ------------------------------------------------------------

void ControllerCore::AddEvent(std::uint8_t code, TimePoint now) {
    const ClockTime c = Clock(now);
    if (static_cast<int>(events_.size()) >= kEventJournalSize) events_.erase(events_.begin());
    events_.push_back({static_cast<std::uint8_t>(c.hour), static_cast<std::uint8_t>(c.minute),
                       static_cast<std::uint8_t>(c.day), static_cast<std::uint8_t>(c.month), code});
}

void ControllerCore::HandleClock(const std::vector<std::uint8_t>& data, TimePoint now) {
    ClockTime c;
    c.hour = BcdToBin(data[0]);
    c.minute = BcdToBin(data[1]);
    c.second = BcdToBin(data[2]);
    c.day = BcdToBin(data[3]);
    c.month = BcdToBin(data[4]);
    c.year = BcdToBin(data[5]);
    if (!ValidClock(c)) {
        ++stats_.badRequests;
        Log("команда 38: недопустимое время " + Hex(data) + ", часы не изменены");
        return;
    }
    clockBase_ = ToSeconds(c);
    clockSetAt_ = now;
    Log("команда 38: часы установлены на " + IntToZeroPadded(c.hour, 2) + ":" + IntToZeroPadded(c.minute, 2) +
        ":" + IntToZeroPadded(c.second, 2) + " " + IntToZeroPadded(c.day, 2) + "." +
        IntToZeroPadded(c.month, 2) + "." + IntToZeroPadded(c.year, 2));
}

// ---- requests -------------------------------------------------------------------------

void ControllerCore::Receive(std::string_view bytes, TimePoint now) {
    Advance(now);
    rxBuffer_.append(bytes);
    for (;;) {
        const auto start = rxBuffer_.find(kFrameStart);
        if (start == std::string::npos) {
            rxBuffer_.clear();
            return;
        }
        rxBuffer_.erase(0, start);
        const auto end = rxBuffer_.find(kFrameEnd);
        if (end == std::string::npos) {
            if (rxBuffer_.size() > kRxLimit) {
                ++stats_.badRequests;
                Log("слишком длинный запрос без конца кадра: отброшен");
                rxBuffer_.clear();
            }
            return;
        }
        std::string body = rxBuffer_.substr(1, end - 1);
        rxBuffer_.erase(0, end + 1);
        const auto restart = body.rfind(kFrameStart);
        if (restart != std::string::npos) body.erase(0, restart + 1);
        const bool hex = body.size() % 2 == 0 && std::all_of(body.begin(), body.end(), [](char c) {
                             return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
                         });
        const std::vector<std::uint8_t> frame = DecodeFrameBody(body);
        if (!hex || frame.size() < 6 || !FrameCheckOk(frame)) {
            ++stats_.badRequests;
            Log("запрос с ошибкой (" + std::to_string(body.size()) + " символов): отброшен");
            continue;
        }
        ++stats_.requests;
        if (!out_.empty()) {
            // Still sending: a controller does not listen while it talks, so this request
            // cannot be answered out of turn behind a later frame.
            ++stats_.late;
            Log("запрос с кодом " + std::to_string(frame[1]) + " пришёл во время передачи: игнорирован");
            continue;
        }
        if (!lastFrameEnd_ || now - *lastFrameEnd_ > options_.listenWindow) {
            ++stats_.late;
            Log("запрос с кодом " + std::to_string(frame[1]) + " пришёл вне окна приёма: игнорирован");
            continue;
        }
        if (options_.listenAfterStatus) lastFrameEnd_.reset();  // one request per status frame
        if (options_.drop > 0 && Uniform(dropRng_) < options_.drop) {
            ++stats_.dropped;
            Log("запрос с кодом " + std::to_string(frame[1]) + " пропущен (--drop)");
            continue;
        }
        Handle(frame, now);
    }
}

void ControllerCore::Handle(const std::vector<std::uint8_t>& frame, TimePoint now) {
    const std::uint8_t code = frame[1];
    const auto address = static_cast<std::uint16_t>(frame[2] << 8 | frame[3]);
    const std::uint8_t count = frame[4];
    const std::size_t carried = frame.size() - 6;
    const std::vector<std::uint8_t> data(frame.begin() + 5, frame.end() - 1);
    const auto needData = [&](std::size_t n) {
        if (count >= n && carried >= n) return true;
        ++stats_.badRequests;
        Log("команда " + std::to_string(code) + ": мало данных (" + std::to_string(carried) + ")");
        return false;
    };
    switch (code) {
        case 5:
            HandleRead(address, count, now);
            break;
        case 4:
            if (needData(count)) HandleWrite(address, count, frame);
            break;
        case 40:
            if (needData(2)) HandleJournal(data[0], data[1], now);
            break;
        case 38:
            if (needData(6)) HandleClock(data, now);
            break;
        case 48:
            mode_ = 2;
            semiAutomatic_ = false;
            Log("команда 48: автоматический режим");
            break;
        case 49:
            mode_ = 2;
            semiAutomatic_ = true;
            Log("команда 49: полуавтоматический режим");
            break;
        case 50:
            if (needData(2)) HandleStart(static_cast<std::uint16_t>(data[0] << 8 | data[1]), now);
            break;
        case 51:
            if (needData(2)) HandleStop(static_cast<std::uint16_t>(data[0] << 8 | data[1]), now);
            break;
        case 32:
            Log("команда 32: тестовое SMS отправлено");
            break;
        case 33:
            Log("команда 33: тест GPRS выполнен");
            break;
        case 34:
            Log("команда 34: модем перезагружен");
            break;
        default:
            ++stats_.badRequests;
            Log("неизвестная команда " + std::to_string(code) + ": " + Hex(data));
            break;
    }
}

void ControllerCore::HandleRead(std::uint16_t address, std::uint8_t count, TimePoint now) {
    if (address >= memory_.size()) {
        ++stats_.badRequests;
        Log("чтение по адресу " + std::to_string(address) + " за пределами памяти: без ответа");
        return;
    }
    const std::size_t n =
        std::min({static_cast<std::size_t>(count), memory_.size() - address, kMaxReplyData});
    if (n < count)
        Log("чтение " + std::to_string(count) + " байт по адресу " + std::to_string(address) + ": отвечено " +
            std::to_string(n));
    const std::vector<std::uint8_t> bytes(memory_.begin() + address, memory_.begin() + address + n);
    ++stats_.replies;
    Queue(FrameText(FrameBytes(1, 5, address, static_cast<std::uint8_t>(n), bytes)), 1, now);
}

void ControllerCore::HandleWrite(std::uint16_t address, std::uint8_t count,
                                 const std::vector<std::uint8_t>& frame) {
    if (address + count > memory_.size()) {
        ++stats_.badRequests;
        Log("запись " + std::to_string(count) + " байт по адресу " + std::to_string(address) +
            " за пределами памяти: отброшена");
        return;
    }
    if (options_.ignoreWritesAt == address) {
        ++stats_.ignoredWrites;
        Log("запись " + std::to_string(count) + " байт по адресу " + std::to_string(address) +
            " проигнорирована (--ignore-writes)");
        return;
    }
    std::copy_n(frame.begin() + 5, count, memory_.begin() + address);
    Log("запись " + std::to_string(count) + " байт по адресу " + std::to_string(address));
}

void ControllerCore::HandleJournal(std::uint8_t selector, std::uint8_t index, TimePoint now) {
    if (selector > 1) {
        ++stats_.badRequests;
        Log("журнал " + std::to_string(selector) + " не существует");
        return;
    }
    const auto& journal = selector == 0 ? events_ : alarms_;
    const JournalRecord record =
        index < journal.size() ? journal[index] : JournalRecord{0, 0, 0, 0, kJournalEnd};
    const auto bytes = JournalBytes(record);
    ++stats_.replies;
    Queue(FrameText(FrameBytes(1, 40, 0, 5, bytes)), 1, now);
}

// ---- sending --------------------------------------------------------------------------

std::vector<std::uint8_t> ControllerCore::StatusData(TimePoint now) const {
    std::vector<std::uint8_t> d(36, 0);
    const auto on = [this](std::size_t address) { return memory_[address] == 1; };
    const bool turning = workMode_ == kWarmUp || workMode_ == kRunning || workMode_ == kCooling;

    std::uint8_t flagsA = 0x01;          // three-phase mains
    if (on(94)) flagsA |= 0x10;          // GPRS monitoring
    if (semiAutomatic_) flagsA |= 0x20;  // semi-automatic
    std::uint8_t flagsB = 0;
    if (on(9)) flagsB |= 0x01;                                 // maintenance period
    if (on(18)) flagsB |= 0x02;                                // generator battery control
    if (on(19)) flagsB |= 0x04;                                // UPS battery control
    if (on(23)) flagsB |= 0x08;                                // work/rest
    if (memory_[27] == 1 || memory_[27] == 2) flagsB |= 0x10;  // weekly test start
    if (on(95)) flagsB |= 0x40;                                // GSM modem
    if (on(14)) flagsB |= 0x80;                                // temperature sensor

    const auto code = [](double volts) {
        return static_cast<std::uint8_t>(std::clamp(volts - 50.0, 0.0, 255.0));
    };
    const auto tenths = [](double volts) { return static_cast<std::uint32_t>(std::lround(volts * 10)); };
    const auto temp = [](double c) {
        return static_cast<std::uint8_t>(static_cast<std::int8_t>(std::lround(c)));
    };

    d[0] = options_.model;
    d[2] = flagsA;
    d[3] = flagsB;
    d[4] = mode_;
    d[5] = workMode_;
    PutWord(d, 6, StateTimer(now));
    d[8] = turning ? code(generator_.value) : 0;
    d[9] = code(phases_[0].value);
    d[10] = code(phases_[1].value);
    d[11] = code(phases_[2].value);
    PutWord(d, 15, tenths(battery_.value + (turning ? 0.6 : 0.0)));
    PutWord(d, 17, tenths(ups_.value));
    std::copy(memory_.begin(), memory_.begin() + 4, d.begin() + 21);
    PutWord(d, 25, static_cast<std::uint32_t>(minutesToService_));
    const ClockTime c = Clock(now);
    d[27] = Bcd(c.hour);
    d[28] = Bcd(c.minute);
    d[29] = Bcd(c.second);
    d[30] = static_cast<std::uint8_t>(std::lround(signal_.value));
    d[31] = 1;  // registered in the home network
    d[32] = temp(engineTemp_.value);
    d[33] = temp(roomTemp_.value);
    d[34] = temp(boxTemp_.value);
    d[35] = temp(outdoorTemp_.value);
    return d;
}

void ControllerCore::EmitStatus(TimePoint now) {
    const auto nextRecord = [this, now] {
        for (auto& p : phases_) p.Next(valueRng_);
        for (Walk* w : {&generator_, &battery_, &ups_, &signal_, &roomTemp_, &boxTemp_, &outdoorTemp_}) {
            w->Next(valueRng_);
        }
        const bool turning = workMode_ == kWarmUp || workMode_ == kRunning || workMode_ == kCooling;
        engineTemp_.mean = turning ? 75 : roomTemp_.value;
        engineTemp_.Next(valueRng_);
        ++stats_.statusFrames;
        ++statusIndex_;
        return FrameText(FrameBytes(1, kStatus, 0, 36, StatusData(now)));
    };
    std::string text = nextRecord();
    int frames = 1;
    if (options_.chunked && Uniform(chunkRng_) < 0.25) {
        text += nextRecord();  // two whole frames in one write
        frames = 2;
        ++stats_.multiFrameWrites;
    }
    Queue(std::move(text), frames, now, true);
}

void ControllerCore::Queue(std::string text, int frames, TimePoint now, bool status) {
    if (options_.silent) return;  // (a silent controller never opens a window for a request either)
    if (options_.noise > 0) {
        for (auto& ch : text) {
            if (Uniform(noiseRng_) < options_.noise) {
                const auto other = static_cast<char>(1 + noiseRng_() % 255);  // any byte but the original
                ch = static_cast<char>(static_cast<unsigned char>(ch) ^ static_cast<unsigned char>(other));
                ++stats_.corruptedChars;
            }
        }
    }
    TimePoint due = out_.empty() ? now : std::max(now, out_.back().due);
    if (!options_.chunked || frames > 1) {  // several frames go out in one write
        out_.push_back({due, std::move(text), frames, status});
        return;
    }
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t n = std::min<std::size_t>(1 + chunkRng_() % 12, text.size() - pos);
        const bool last = pos + n == text.size();
        out_.push_back({due, text.substr(pos, n), last ? frames : 0, status});
        pos += n;
        due += std::chrono::milliseconds(1 + chunkRng_() % 6);
    }
}

std::vector<std::string> ControllerCore::TakeDue(TimePoint now) {
    Advance(now);
    if (now >= nextStatus_) {
        if (!options_.silent) EmitStatus(now);
        nextStatus_ += options_.interval;
        if (nextStatus_ <= now) nextStatus_ = now + options_.interval;  // fell behind: no burst
    }
    std::vector<std::string> writes;
    while (!out_.empty() && out_.front().due <= now) {
        const Piece& piece = out_.front();
        if (piece.framesEnded > 0 && (piece.status || !options_.listenAfterStatus)) lastFrameEnd_ = now;
        writes.push_back(std::move(out_.front().bytes));
        out_.pop_front();
    }
    return writes;
}

TimePoint ControllerCore::NextDue() const {
    TimePoint next = nextStatus_;
    if (!out_.empty()) next = std::min(next, out_.front().due);
    if (transitionPending_) next = std::min(next, nextTransition_);
    return next;
}

}  // namespace lum::sim
