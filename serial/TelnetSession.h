#pragma once
// The telnet side of a network port in RFC 2217 mode (telnet with COM-port control): the client's
// option negotiation, IAC handling in both directions and the COM-port commands with their
// acknowledgements. Pure byte logic: the network device (serial/NetworkDevice.h) feeds it what the
// server sent and sends what it returns.
//
//  - Received: IAC IAC is one data byte 0xFF; commands (also when cut between two reads) are taken
//    out of the data; WILL/WONT/DO/DONT are answered once per change of an option's state (binary
//    transmission, suppress-go-ahead and COM-port control are agreed to, everything else refused);
//    the server's COM-port answers (command code + 100) are kept as acknowledgements.
//  - Sent: 0xFF data bytes are doubled; while binary transmission to the server is not agreed, a
//    CR is followed by NUL (and a CR NUL from the server gives CR).
//
// A server that never acknowledges a COM-port command is tolerated: nothing here waits for one.
//
// Threads: one thread at a time (the device guards it with its lock).
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lum::telnet {

inline constexpr std::uint8_t kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251, kSb = 250,
                              kSe = 240;
inline constexpr std::uint8_t kOptBinary = 0, kOptEcho = 1, kOptSuppressGoAhead = 3, kOptComPort = 44;

// COM-port commands of the client; the server answers each with its code + 100.
inline constexpr std::uint8_t kSetBaudRate = 1, kSetDataSize = 2, kSetParity = 3, kSetStopSize = 4,
                              kSetControl = 5;
// Values of kSetControl.
inline constexpr std::uint8_t kControlNoFlow = 1, kControlXonXoff = 2, kControlHardware = 3, kControlDtrOn = 8,
                              kControlDtrOff = 9, kControlRtsOn = 11, kControlRtsOff = 12;
inline constexpr std::uint8_t kServerOffset = 100;

class TelnetSession {
  public:
    // The client's opening requests: WILL/DO binary, WILL/DO suppress-go-ahead, WILL COM-port.
    std::string Start();
    // Takes bytes from the server: their data is appended to `data`, the answers to send to `reply`.
    void Receive(std::string_view bytes, std::string& data, std::string& reply);
    // `data` as it goes to the server (IAC doubled; CR NUL while not binary).
    std::string Encode(std::string_view data) const;
    // IAC SB COM-PORT `code` `payload` IAC SE, the payload escaped.
    static std::string ComPortCommand(std::uint8_t code, std::string_view payload);

    // The server has answered the request for COM-port control (agreed or refused).
    bool ComPortAnswered() const { return !us_[kOptComPort].pending; }
    bool ComPortAgreed() const { return us_[kOptComPort].enabled; }
    bool BinaryToServer() const { return us_[kOptBinary].enabled; }
    bool BinaryFromServer() const { return him_[kOptBinary].enabled; }
    // The payload of the server's last answer to COM-port command `code`, if one came.
    std::optional<std::string> Acknowledged(std::uint8_t code) const;

  private:
    struct Option {
        bool enabled = false;
        bool pending = false;  // asked for, no answer yet
    };
    static bool WeOffer(std::uint8_t option);
    static bool WeAccept(std::uint8_t option);
    void Negotiate(std::uint8_t verb, std::uint8_t option, std::string& reply);
    void EndSubnegotiation();

    enum class State { Data, Iac, Verb, Sb, SbIac } state_ = State::Data;
    std::uint8_t verb_ = 0;
    bool afterCr_ = false;
    std::string sb_;
    std::array<Option, 256> us_{};   // options we perform
    std::array<Option, 256> him_{};  // options the server performs
    std::array<std::optional<std::string>, 256> acks_{};
};

}  // namespace lum::telnet
