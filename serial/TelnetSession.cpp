#include "serial/TelnetSession.h"

namespace lum::telnet {

namespace {

std::string Command(std::uint8_t verb, std::uint8_t option) {
    return std::string{static_cast<char>(kIac), static_cast<char>(verb), static_cast<char>(option)};
}

}  // namespace

bool TelnetSession::WeOffer(std::uint8_t option) {
    return option == kOptBinary || option == kOptSuppressGoAhead || option == kOptComPort;
}

bool TelnetSession::WeAccept(std::uint8_t option) {
    return option == kOptBinary || option == kOptSuppressGoAhead;
}

std::string TelnetSession::Start() {
    std::string out;
    for (const std::uint8_t option : {kOptBinary, kOptSuppressGoAhead}) {
        out += Command(kWill, option);
        out += Command(kDo, option);
        us_[option].pending = him_[option].pending = true;
    }
    out += Command(kWill, kOptComPort);
    us_[kOptComPort].pending = true;
    return out;
}

void TelnetSession::Negotiate(std::uint8_t verb, std::uint8_t option, std::string& reply) {
    // An answer goes out only when the option's state changes, so two sides never loop.
    const bool ours = verb == kDo || verb == kDont;
    Option& o = ours ? us_[option] : him_[option];
    const bool wanted = verb == kDo || verb == kWill;
    const bool acceptable = ours ? WeOffer(option) : WeAccept(option);
    const std::uint8_t yes = ours ? kWill : kDo, no = ours ? kWont : kDont;
    const bool wasPending = o.pending;
    o.pending = false;
    if (wanted && acceptable) {
        if (!o.enabled && !wasPending) reply += Command(yes, option);
        o.enabled = true;
    } else if (wanted) {
        reply += Command(no, option);
        o.enabled = false;
    } else {
        if (o.enabled && !wasPending) reply += Command(no, option);
        o.enabled = false;
    }
}

void TelnetSession::EndSubnegotiation() {
    if (sb_.size() >= 2 && static_cast<std::uint8_t>(sb_[0]) == kOptComPort) {
        const auto code = static_cast<std::uint8_t>(sb_[1]);
        if (code > kServerOffset) acks_[code - kServerOffset] = sb_.substr(2);
    }
    sb_.clear();
}

void TelnetSession::Receive(std::string_view bytes, std::string& data, std::string& reply) {
    for (const char ch : bytes) {
        const auto b = static_cast<std::uint8_t>(ch);
        switch (state_) {
            case State::Data:
                if (b == kIac) {
                    state_ = State::Iac;
                    break;
                }
                if (!(afterCr_ && b == 0 && !BinaryFromServer())) data += ch;
                afterCr_ = b == '\r';
                break;
            case State::Iac:
                afterCr_ = false;
                if (b == kIac) {
                    data += ch;
                    state_ = State::Data;
                } else if (b >= kWill && b <= kDont) {
                    verb_ = b;
                    state_ = State::Verb;
                } else if (b == kSb) {
                    sb_.clear();
                    state_ = State::Sb;
                } else {
                    state_ = State::Data;  // NOP, GA, AYT and the like carry nothing for us
                }
                break;
            case State::Verb:
                Negotiate(verb_, b, reply);
                state_ = State::Data;
                break;
            case State::Sb:
                if (b == kIac) {
                    state_ = State::SbIac;
                } else {
                    sb_ += ch;
                }
                break;
            case State::SbIac:
                if (b == kIac) {
                    sb_ += ch;
                    state_ = State::Sb;
                } else if (b == kSe) {
                    EndSubnegotiation();
                    state_ = State::Data;
                } else {
                    // A subnegotiation cut off by another command: dropped, the command taken.
                    sb_.clear();
                    state_ = State::Iac;
                    Receive(std::string_view(&ch, 1), data, reply);
                }
                break;
        }
    }
}

std::string TelnetSession::Encode(std::string_view data) const {
    std::string out;
    out.reserve(data.size() + 8);
    const bool binary = BinaryToServer();
    for (std::size_t i = 0; i < data.size(); ++i) {
        const char ch = data[i];
        out += ch;
        if (static_cast<std::uint8_t>(ch) == kIac) out += ch;
        if (!binary && ch == '\r' && (i + 1 >= data.size() || data[i + 1] != '\n')) out += '\0';
    }
    return out;
}

std::string TelnetSession::ComPortCommand(std::uint8_t code, std::string_view payload) {
    std::string out{static_cast<char>(kIac), static_cast<char>(kSb), static_cast<char>(kOptComPort),
                    static_cast<char>(code)};
    for (const char ch : payload) {
        out += ch;
        if (static_cast<std::uint8_t>(ch) == kIac) out += ch;
    }
    out += static_cast<char>(kIac);
    out += static_cast<char>(kSe);
    return out;
}

std::optional<std::string> TelnetSession::Acknowledged(std::uint8_t code) const {
    return acks_[code];
}

}  // namespace lum::telnet
