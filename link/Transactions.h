#pragma once
// Request/reply transactions with the controller. The controller speaks first: it listens
// only for a short while after each frame of its own. So each operation sends its request
// right after a controller frame: it waits for the controller's next frame, unless one has
// just arrived (see "At once" below), and for a read or a journal request then waits for
// the reply. Each returns a TxResult that says what happened; the outcome is also left in
// the reply slot of LinkState (ReplyArrived, WaitTicks, TransferOk).
//
// The reply is the first frame of the expected code (5 for a read, 40 for a journal
// request) that arrives within the reply wait; frames of other codes that come first (a
// status frame sent while the request was on its way) are dispatched as usual and passed
// over, and a corrupted frame is the reply only when it is exactly as long as the whole
// reply (LinkState). A frame of another code is never taken as the reply.
//
// At once: a request goes out without waiting when the controller's last frame arrived
// less than kStillListening ago and the controller listens after it:
//  - an intact status frame not yet answered by a request (the controller always
//    listens after those);
//  - chaining: within one Operation, the reply to its previous read or journal request,
//    while nothing came after it. Only a request that brings a reply is chained (a write
//    or a command is never confirmed, so it always waits for the next frame). A chained
//    request that finds no reply means the controller listens only after its status
//    frames: chaining is switched off for the connection (LinkState::ChainingOff, until
//    NewConnection) and the request is asked again the plain way: right after the frame
//    that came instead of the reply, or else after the next one.
//
// Waiting: the wait runs the window's pending events through the pump (the receive path
// runs inside it) and sleeps until an event or the next tick, never spinning. A tick is
// 300 ms; WaitTicks counts the whole ticks elapsed since the wait began, so a wait ends
// even on a line where not one byte arrives. Limits: 5 ticks before a command, 10 before
// a write, read or journal request; the reply wait (SetReplyWait) is 2 ticks unless set.
//
// One at a time: the slot serves one transaction. A multi-step operation (configuration
// transfer, journal reading) holds it across its transactions with an Operation token;
// while anything holds it, Busy() is true and a request that still arrives is refused
// without sending: TransferOk false, Counters.Refused counted, no message box. A request
// made from inside the receive path's dispatch is refused the same way.
//
// Stopping: an Operation may watch a CancelToken. Every wait of its transactions then ends
// as soon as the token is set, with Cancelled: before sending nothing goes out; after a
// read request went out its reply is not waited for.
//
// A lost device: DeviceLost() (DeviceLink calls it when the port reports that it failed while
// open) ends the wait under way at once with DeviceLost, and every later request of the
// operation that holds the slot returns DeviceLost at once, sending nothing: a journal
// reading or a transfer ends on it instead of waiting out its tries on a closed port. A
// command cut so runs the NoController hook as one that found no frame does. The next Begin
// starts afresh; a loss while the slot is free changes nothing.
//
// A command that finds no controller frame to answer runs the NoController hook: the
// caller decides what the user sees (the window shows a box).
//
// Sent frames are echoed through the echo hook: "<< " + frame text for commands and
// writes, "<<" + frame text for read and journal requests (start byte and terminator
// included). If the port writer raises, the slot is released and the error propagates.
//
// Threads: main thread only. The dependencies must outlive this object, and an Operation
// must not outlive the Transactions that issued it.
#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "common/Cancel.h"
#include "common/EventPump.h"
#include "link/LinkState.h"

namespace lum {

// Where sent frames go: the serial port's WriteString. May raise.
class IPortWriter {
  public:
    virtual ~IPortWriter() = default;
    virtual void WriteString(const std::string& text) = 0;
};

inline constexpr std::chrono::milliseconds kTickPeriod{300};
inline constexpr int kCommandWaitTicks = 5;
inline constexpr int kBlockWaitTicks = 10;
inline constexpr int kReplyWaitTicks = 2;
inline constexpr std::chrono::milliseconds kDefaultReplyWait = kReplyWaitTicks * kTickPeriod;
// A controller frame this recent still has the controller listening: a request may go out
// at once instead of waiting for the next frame.
inline constexpr std::chrono::milliseconds kStillListening{100};

inline constexpr std::uint8_t kWriteCode = 4;
inline constexpr std::uint8_t kReadCode = 5;
inline constexpr std::uint8_t kJournalCode = 40;
inline constexpr std::uint8_t kJournalRecordSize = 5;

// What one transaction did.
enum class TxResult {
    Done,               // sent (a command or a write), or the reply taken (a read, a journal request)
    NoControllerFrame,  // no controller frame came before the request could go out: nothing sent
    NoReply,            // sent, but no controller frame came after it
    CorruptReply,       // the reply failed its check
    WrongCode,          // sent; only frames of other codes came within the reply wait
    ShortReply,         // the reply carried fewer data bytes than asked for
    Refused,            // another transaction held the link (or asked from inside dispatch): nothing sent
    Cancelled,          // the operation's cancel token was set during a wait: nothing more sent
    DeviceLost,         // the port failed while open (DeviceLost()): nothing more sent
};
inline bool Ok(TxResult result) { return result == TxResult::Done; }

// Which journal a journal request asks for; the frame carries it as its first data byte.
enum class JournalSelector : std::uint8_t { Events = 0, Alarms = 1 };

class Transactions {
  public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    using EchoHook = std::function<void(const std::string& line)>;

    Transactions(
        LinkState& state, IPortWriter& port, IEventPump& pump, EchoHook echo,
        Clock clock = [] { return std::chrono::steady_clock::now(); });
    Transactions(const Transactions&) = delete;
    Transactions& operator=(const Transactions&) = delete;

    // Holds the slot for a multi-step operation until it is destroyed or released.
    class Operation {
      public:
        Operation() = default;
        Operation(Operation&& other) noexcept;
        Operation& operator=(Operation&& other) noexcept;
        ~Operation();

        // False when the slot was busy: every request through this token is Refused.
        explicit operator bool() const { return owner_ != nullptr; }
        void Release();
        // The waits of this operation's transactions end when `token` is set (nullptr: none).
        // The token must outlive the operation or be replaced first.
        void WatchCancel(const CancelToken* token);

        TxResult SendCommand(std::uint8_t code, std::uint16_t address, std::uint8_t count,
                         std::span<const std::uint8_t> data = {});
        TxResult SendWriteBlock(std::uint16_t address, std::uint8_t count, std::span<const std::uint8_t> data);
        TxResult ReadBlock(std::uint16_t address, std::uint8_t count, std::span<std::uint8_t> destination);
        TxResult ReadJournalRecord(std::uint8_t index, JournalSelector selector,
                               std::span<std::uint8_t> destination);

      private:
        friend class Transactions;
        explicit Operation(Transactions* owner) : owner_(owner) {}
        Transactions* owner_ = nullptr;
    };

    // Takes the slot; an invalid token (counted as refused, TransferOk false) when it is busy.
    Operation Begin();
    bool Busy() const { return held_; }

    // How long a read or journal request waits for its reply once sent (at least 1 ms).
    void SetReplyWait(std::chrono::milliseconds wait);
    std::chrono::milliseconds ReplyWait() const { return replyWait_; }
    // The port was opened (again): chaining is tried anew.
    void NewConnection();
    // The port has failed while open: the transaction under way and the rest of the
    // operation that holds the slot end with DeviceLost (see "A lost device" above).
    void DeviceLost();
    // True while the device is known to be gone (lost, and not opened again yet): an operation
    // begun then ends at once with DeviceLost, as one cut by the loss does.
    std::function<bool()> DeviceGone;
    // Runs when the slot is taken (true) and given back (false): the window disables and
    // enables the controls that start transactions.
    std::function<void(bool busy)> BusyChanged;
    // Runs when a command found no controller frame within its wait and sent nothing.
    std::function<void()> NoController;
    // Runs when a command's wait has ended, right before its frame is built from the data
    // (which the hook may still change in place: a clock value read as it goes out).
    std::function<void()> BeforeCommandFrame;

    // Single transactions, each taking the slot for itself. Results also in TransferOk.
    // Waits for a controller frame (5 ticks) and sends; Done once sent. With no frame, runs
    // NoController. A refused command returns Refused without running it.
    TxResult SendCommand(std::uint8_t code, std::uint16_t address, std::uint8_t count,
                     std::span<const std::uint8_t> data = {});
    // Waits (10 ticks) and sends a code-4 write; Done once sent.
    TxResult SendWriteBlock(std::uint16_t address, std::uint8_t count, std::span<const std::uint8_t> data);
    // Reads `count` bytes from `address` into destination (at least count bytes); on any
    // failure the destination is untouched.
    TxResult ReadBlock(std::uint16_t address, std::uint8_t count, std::span<std::uint8_t> destination);
    // Reads journal record `index` of journal `selector`: 5 bytes.
    TxResult ReadJournalRecord(std::uint8_t index, JournalSelector selector, std::span<std::uint8_t> destination);

  private:
    using Duration = std::chrono::steady_clock::duration;
    void Release();
    TxResult Refuse();
    // Waits until `done` or `limit` has passed; returns `done`.
    bool Wait(Duration limit, const std::function<bool()>& done);
    // Clears the reply flag and waits for the controller's next frame before a request;
    // false (counted) when none came within `limit` ticks. True at once when the last
    // controller frame was a status frame that has just arrived, and no request followed it.
    bool WaitBeforeSend(int limit);
    // The last controller frame arrived less than kStillListening ago.
    bool JustArrived() const;
    // Sends a request that brings a reply and awaits the reply.
    TxResult SendAndAwait(const std::string& frame, std::uint8_t expectedCode, std::size_t count, bool chained);
    void Send(const char* prefix, const std::string& frame);
    TxResult DoSendCommand(std::uint8_t code, std::uint16_t address, std::uint8_t count,
                       std::span<const std::uint8_t> data);
    TxResult DoSendWriteBlock(std::uint16_t address, std::uint8_t count, std::span<const std::uint8_t> data);
    TxResult DoRead(const std::string& frame, std::uint8_t expectedCode, std::size_t count,
                std::span<std::uint8_t> destination);

    LinkState& state_;
    IPortWriter& port_;
    IEventPump& pump_;
    EchoHook echo_;
    Clock clock_;
    std::chrono::milliseconds replyWait_ = kDefaultReplyWait;
    bool held_ = false;
    bool inTransaction_ = false;
    bool chainable_ = false;                // the holder's last request brought a reply
    std::uint32_t sentAfter_ = 0;           // RxFrameCount when the last request went out
    const CancelToken* cancel_ = nullptr;  // of the operation that holds the slot
    bool cancelled_ = false;               // the last wait ended on it or on the device's loss
    bool lost_ = false;                    // the device was lost while the slot was held
    // What a wait that ended early (cancelled_) gives: Cancelled, or DeviceLost.
    TxResult CutShort() const { return lost_ ? TxResult::DeviceLost : TxResult::Cancelled; }
};

}  // namespace lum
