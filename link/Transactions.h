#pragma once
// Request/reply transactions with the controller. The controller speaks first: each
// operation waits for the controller's next frame, sends its request right after it and,
// for a read or a journal request, takes the very next controller frame as the reply.
// Each returns a TxResult that says what happened; the outcome is also left in the reply
// slot of LinkState (ReplyArrived, WaitTicks, TransferOk).
//
// Waiting: the wait runs the window's pending events through the pump (the receive path
// runs inside it) and sleeps until an event or the next tick, never spinning. A tick is
// 300 ms; WaitTicks counts the whole ticks elapsed since the wait began, so a wait ends
// even on a line where not one byte arrives. Limits: 5 ticks before a command, 10 before
// a write, read or journal request, 2 for the reply (more on a network port:
// SetReplyWaitTicks).
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

inline constexpr std::uint8_t kWriteCode = 4;
inline constexpr std::uint8_t kReadCode = 5;
inline constexpr std::uint8_t kJournalCode = 40;
inline constexpr std::uint8_t kJournalRecordSize = 5;

// What one transaction did.
enum class TxResult {
    Done,               // sent (a command or a write), or the reply taken (a read, a journal request)
    NoControllerFrame,  // no controller frame came before the request could go out: nothing sent
    NoReply,            // sent, but no controller frame came after it
    CorruptReply,       // the first frame after the request failed its check
    WrongCode,          // the first frame after the request carried another code
    ShortReply,         // the reply carried fewer data bytes than asked for
    Refused,            // another transaction held the link (or asked from inside dispatch): nothing sent
    Cancelled,          // the operation's cancel token was set during a wait: nothing more sent
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
    // The wait for a reply after a request went out, in ticks (kReplyWaitTicks unless set; at
    // least 1): longer on a line with a long round trip (a network port).
    void SetReplyWaitTicks(int ticks) { replyWaitTicks_ = ticks < 1 ? 1 : ticks; }
    int ReplyWaitTicks() const { return replyWaitTicks_; }
    bool Busy() const { return held_; }
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
    void Release();
    TxResult Refuse();
    // Waits until ReplyArrived or `limit` ticks have passed; returns ReplyArrived.
    bool Wait(int limit);
    // Clears the reply flag and waits for the controller's next frame before a request;
    // false (counted) when none came within `limit` ticks.
    bool WaitBeforeSend(int limit);
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
    int replyWaitTicks_ = kReplyWaitTicks;
    bool held_ = false;
    bool inTransaction_ = false;
    const CancelToken* cancel_ = nullptr;  // of the operation that holds the slot
    bool cancelled_ = false;               // the last wait ended on it
};

}  // namespace lum
