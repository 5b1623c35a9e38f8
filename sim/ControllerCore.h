#pragma once
// The simulated controller, without any I/O: it is told the time and the characters it
// received, and hands back the characters to send. It speaks the frame protocol like a
// real controller: a status frame (Kind 1, code 21, 36 data bytes) every interval, and,
// right after each of its own frames, a short window in which it listens for a request.
//
// A request that arrives while the controller is still sending a frame, or later than the
// window after its last frame, is ignored; so every reply goes out at once, ahead of any
// later status frame. With listenAfterStatus it listens only in the window after each
// status frame, and for one request: a request sent right after its reply (or after
// another request) is ignored.
//
// Requests it answers or acts on:
//   5   read: replies at once with code 5 and the requested bytes of its memory
//   4   write into its 256-byte configuration memory (motor-hours counter at 0, 4 bytes
//       big-endian; serial number at 184, 8 characters)
//   40  journal record: data selector (0 events, 1 alarms), index; replies with code 40
//       and 5 bytes (hour, minute, day, month in BCD, event code); past the last record
//       the end marker FF FF FF FF FF
//   38  set the clock (hour, minute, second, day, month, year in BCD)
//   48, 49 automatic / semi-automatic mode (Mode 2, FlagsA bit 5 clear / set)
//   50, 51 start / stop the generator (data: 16-bit seconds, high byte first): a start
//       runs it for that time (0: until stopped); a stop cools it down and then lets it
//       rest (state 6) for the waiting time before it is back on the mains
//   32, 33, 34 test SMS, test GPRS, modem restart: only noted in the log
//
// Fault injection (for tests): noise corrupts characters it sends, drop ignores requests,
// chunked sends frames in random small pieces (and now and then two whole
// frames in one write), silent sends nothing. Every random choice comes from the seed, each kind of
// choice from its own stream, so a run with the same seed and the same requests at the
// same times sends the same characters.
//
// Threads: not thread-safe; one thread drives it (the runner guards it with a lock).
#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace lum::sim {

using TimePoint = std::chrono::steady_clock::time_point;
using Memory = std::array<std::uint8_t, 256>;

// The controller's clock: hour, minute, second, day, month, year within the century.
struct ClockTime {
    int hour = 12;
    int minute = 0;
    int second = 0;
    int day = 1;
    int month = 6;
    int year = 25;
    bool operator==(const ClockTime&) const = default;
};

struct SimOptions {
    std::uint8_t model = 200;                     // a code of the model table (params/Catalog.h)
    std::chrono::milliseconds interval{1000};     // between status frames
    std::chrono::milliseconds listenWindow{250};  // after its own frame
    bool listenAfterStatus = false;               // the window opens only after status frames
    double noise = 0.0;                           // probability per character sent
    double drop = 0.0;                            // probability per request
    bool chunked = false;
    bool silent = false;
    // A write request whose block starts at this address is taken in and ignored: the
    // memory keeps its bytes (a controller that loses a block).
    std::optional<std::uint16_t> ignoreWritesAt;
    std::uint64_t seed = 1;
    int eventRecords = 40;  // built-in event journal (at most 105)
    int alarmRecords = 8;   // built-in alarm journal (at most 50)
    ClockTime clock;        // the clock at start
};

inline constexpr int kEventJournalSize = 105;
inline constexpr int kAlarmJournalSize = 50;
inline constexpr std::uint8_t kJournalEnd = 0xFF;

struct JournalRecord {
    std::uint8_t hour = 0, minute = 0, day = 1, month = 1;  // binary
    std::uint8_t code = 0;
    bool operator==(const JournalRecord&) const = default;
};

// The five bytes a journal reply carries for a record (time stamp in BCD).
std::array<std::uint8_t, 5> JournalBytes(const JournalRecord& record);

// What happened, for tests and the log.
struct SimStats {
    int statusFrames = 0;
    int replies = 0;
    int requests = 0;     // intact requests received
    int late = 0;         // ignored: outside the listening window, or while sending
    int dropped = 0;      // ignored: --drop
    int badRequests = 0;  // bad check, malformed or not understood
    int ignoredWrites = 0;  // --ignore-writes
    int corruptedChars = 0;
    int multiFrameWrites = 0;
};

class ControllerCore {
  public:
    using LogSink = std::function<void(const std::string&)>;

    ControllerCore(const SimOptions& options, TimePoint start, LogSink log = {});

    // Characters received from the line at `now`.
    void Receive(std::string_view bytes, TimePoint now);
    // The writes due at `now`, in order (each element one write to the line).
    std::vector<std::string> TakeDue(TimePoint now);
    // When TakeDue will next have something to send (or a state to change).
    TimePoint NextDue() const;

    // Inspection.
    const Memory& GetMemory() const { return memory_; }
    Memory& MutableMemory() { return memory_; }
    std::uint8_t Mode() const { return mode_; }
    bool SemiAutomatic() const { return semiAutomatic_; }
    std::uint8_t WorkMode() const { return workMode_; }
    std::uint16_t StateTimer(TimePoint now) const;
    std::int32_t MotorMinutes() const;
    ClockTime Clock(TimePoint now) const;
    const std::vector<JournalRecord>& Journal(int selector) const {
        return selector == 0 ? events_ : alarms_;
    }
    const SimStats& Stats() const { return stats_; }
    const SimOptions& Options() const { return options_; }
    // The 36 data bytes of a status record as they would be sent at `now` (advances nothing).
    std::vector<std::uint8_t> StatusData(TimePoint now) const;

  private:
    struct Piece {
        TimePoint due;
        std::string bytes;
        int framesEnded = 0;
        bool status = false;  // the frames are status frames
    };
    struct Walk {
        double value, mean, step, min, max;
        void Next(std::mt19937_64& rng);
    };

    void Log(const std::string& text) const;
    void Advance(TimePoint now);
    void EnterState(std::uint8_t state, TimePoint at);
    void Handle(const std::vector<std::uint8_t>& frame, TimePoint now);
    void HandleRead(std::uint16_t address, std::uint8_t count, TimePoint now);
    void HandleWrite(std::uint16_t address, std::uint8_t count, const std::vector<std::uint8_t>& frame);
    void HandleJournal(std::uint8_t selector, std::uint8_t index, TimePoint now);
    void HandleClock(const std::vector<std::uint8_t>& data, TimePoint now);
    void HandleStart(std::uint16_t seconds, TimePoint now);
    void HandleStop(std::uint16_t seconds, TimePoint now);
    void EmitStatus(TimePoint now);
    // Queues frames (already concatenated when more than one) to be sent from `now` on.
    void Queue(std::string text, int frames, TimePoint now, bool status = false);
    void AddEvent(std::uint8_t code, TimePoint now);
    void SetMotorMinutes(std::int32_t minutes);

    SimOptions options_;
    LogSink log_;
    Memory memory_{};

    // Streams of random choices.
    std::mt19937_64 valueRng_, noiseRng_, chunkRng_, dropRng_, startRng_;

    // Line.
    std::string rxBuffer_;
    std::deque<Piece> out_;
    std::optional<TimePoint> lastFrameEnd_;
    TimePoint nextStatus_;
    int statusIndex_ = 0;

    // Controller state.
    std::uint8_t mode_ = 2;
    bool semiAutomatic_ = false;
    std::uint8_t workMode_ = 0;
    TimePoint stateSince_;
    TimePoint nextTransition_;
    bool transitionPending_ = false;
    int startStep_ = 0;  // index into the start sequence
    int attempt_ = 0;
    bool attemptFails_ = false;
    std::uint16_t runSeconds_ = 0;  // 0: until stopped
    std::uint16_t restSeconds_ = 0;  // waiting time of the last stop
    std::chrono::steady_clock::duration motorRemainder_{};
    TimePoint runMeasuredTo_;
    int minutesToService_ = 6000;

    // Clock: the time set (seconds since 2000-01-01) at a point of the steady clock.
    std::int64_t clockBase_ = 0;
    TimePoint clockSetAt_;

    Walk phases_[3];
    Walk generator_, battery_, ups_, signal_, engineTemp_, roomTemp_, boxTemp_, outdoorTemp_;

    std::vector<JournalRecord> events_, alarms_;
    SimStats stats_;
};

}  // namespace lum::sim
