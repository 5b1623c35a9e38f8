// The telnet side of RFC 2217 ports and the network port names: byte tables, no connection.
#include <gtest/gtest.h>

#include <vector>

#include "serial/NetworkDevice.h"
#include "serial/TelnetSession.h"

namespace lum::telnet {
namespace {

std::string B(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s += static_cast<char>(b);
    return s;
}

struct ReceiveCase {
    const char* what;
    bool started;                    // the client's opening requests went out first
    std::vector<std::string> reads;  // as the connection hands them over
    std::string data, reply;
};

TEST(TelnetSession, ReceiveTakesCommandsOutOfTheDataAndAnswersOncePerChange) {
    const std::string sgaAck = B({kIac, kWill, kOptSuppressGoAhead, kIac, kDo, kOptSuppressGoAhead});
    const ReceiveCase cases[] = {
        {"plain data", true, {"\x10" "01\r"}, "\x10" "01\r", ""},
        {"IAC IAC is one 0xFF", true, {B({'a', kIac, kIac, 'b'})}, B({'a', 0xFF, 'b'}), ""},
        {"IAC IAC cut between reads", true, {B({'a', kIac}), B({kIac, 'b'})}, B({'a', 0xFF, 'b'}), ""},
        {"a command cut after IAC and after its verb", true, {B({'a', kIac}), B({kWill}), B({kOptEcho, 'b'})}, "ab",
         B({kIac, kDont, kOptEcho})},
        {"answers to what was asked are not answered", true, {sgaAck + B({kIac, kDo, kOptComPort})}, "", ""},
        {"a repeated request changes nothing", true, {sgaAck, sgaAck}, "", ""},
        {"unknown options refused", true, {B({kIac, kDo, 24, kIac, kWill, 31})}, "",
         B({kIac, kWont, 24, kIac, kDont, 31})},
        {"an offer asked for by the server is agreed", false, {B({kIac, kDo, kOptBinary, kIac, kWill, kOptBinary})},
         "", B({kIac, kWill, kOptBinary, kIac, kDo, kOptBinary})},
        {"withdrawn after agreement: confirmed once", true,
         {B({kIac, kDo, kOptBinary, kIac, kDont, kOptBinary, kIac, kDont, kOptBinary})}, "",
         B({kIac, kWont, kOptBinary})},
        {"COM-port answer cut anywhere, IAC IAC inside", true,
         {B({'x', kIac, kSb, kOptComPort, 101, 0, 0}), B({kIac}), B({kIac, 0x80, kIac}), B({kSe, 'y'})}, "xy", ""},
        {"a subnegotiation cut off by a command", true, {B({kIac, kSb, kOptComPort, 101, kIac, kWill, 24, 'z'})}, "z",
         B({kIac, kDont, 24})},
        {"NOP and GA carry nothing", true, {B({'a', kIac, 241, kIac, 249, 'b'})}, "ab", ""},
        {"CR NUL is CR while the server is not binary", false, {B({'a', '\r'}), B({0, 'b', '\r', '\n'})}, "a\rb\r\n",
         ""},
        {"CR NUL stays when the server is binary", true, {B({kIac, kWill, kOptBinary, '\r', 0})}, B({'\r', 0}), ""},
    };
    for (const auto& c : cases) {
        TelnetSession session;
        if (c.started) session.Start();
        std::string data, reply;
        for (const auto& r : c.reads) session.Receive(r, data, reply);
        EXPECT_EQ(data, c.data) << c.what;
        EXPECT_EQ(reply, c.reply) << c.what;
    }
}

TEST(TelnetSession, AcknowledgementsAndTheComPortAnswerAreKept) {
    TelnetSession session;
    const std::string start = session.Start();
    EXPECT_EQ(start, B({kIac, kWill, kOptBinary, kIac, kDo, kOptBinary, kIac, kWill, kOptSuppressGoAhead, kIac, kDo,
                        kOptSuppressGoAhead, kIac, kWill, kOptComPort}));
    EXPECT_FALSE(session.ComPortAnswered());
    std::string data, reply;
    session.Receive(B({kIac, kSb, kOptComPort, 101, 0, 0, 0x25, 0x80, kIac, kSe, kIac, kSb, kOptComPort, 103, kIac,
                       kIac, kIac, kSe}),
                    data, reply);
    EXPECT_EQ(session.Acknowledged(kSetBaudRate), B({0, 0, 0x25, 0x80}));
    EXPECT_EQ(session.Acknowledged(kSetParity), B({0xFF}));
    EXPECT_FALSE(session.Acknowledged(kSetControl).has_value());  // never answered: tolerated
    session.Receive(B({kIac, kDont, kOptComPort}), data, reply);
    EXPECT_TRUE(session.ComPortAnswered());
    EXPECT_FALSE(session.ComPortAgreed());
    EXPECT_EQ(reply, "");
}

TEST(TelnetSession, EncodeDoublesIacAndGuardsCrUntilBinary) {
    TelnetSession session;
    EXPECT_EQ(session.Encode(B({'a', 0xFF, 'b'})), B({'a', 0xFF, 0xFF, 'b'}));
    EXPECT_EQ(session.Encode("\x10" "0A\r"), B({0x10, '0', 'A', '\r', 0}));
    EXPECT_EQ(session.Encode("a\r\nb"), "a\r\nb");
    session.Start();
    std::string data, reply;
    session.Receive(B({kIac, kDo, kOptBinary}), data, reply);
    EXPECT_EQ(session.Encode("\x10" "0A\r"), "\x10" "0A\r");
    EXPECT_EQ(TelnetSession::ComPortCommand(kSetBaudRate, B({0, 0, 0x25, 0x80})),
              B({kIac, kSb, kOptComPort, kSetBaudRate, 0, 0, 0x25, 0x80, kIac, kSe}));
    EXPECT_EQ(TelnetSession::ComPortCommand(kSetControl, B({0xFF})),
              B({kIac, kSb, kOptComPort, kSetControl, 0xFF, 0xFF, kIac, kSe}));
}

TEST(NetworkPortName, ParsedOnlyWhenComplete) {
    struct Case {
        const char* text;
        bool valid, rfc2217;
        const char* host;
        int port;
        bool looksLike;
    } cases[] = {
        {"tcp://127.0.0.1:4001", true, false, "127.0.0.1", 4001, true},
        {"RFC2217://moxa.local:950", true, true, "moxa.local", 950, true},
        {"tcp://[::1]:65535", true, false, "::1", 65535, true},
        {"tcp://::1:4001", false, false, "", 0, true},
        {"tcp://host:0", false, false, "", 0, true},
        {"tcp://host:65536", false, false, "", 0, true},
        {"tcp://host:12x", false, false, "", 0, true},
        {"tcp://:4001", false, false, "", 0, true},
        {"tcp://host", false, false, "", 0, true},
        {"rfc2", false, false, "", 0, true},
        {"t", false, false, "", 0, true},
        {"COM3", false, false, "", 0, false},
        {"/dev/ttyUSB0", false, false, "", 0, false},
        {"", false, false, "", 0, false},
    };
    for (const auto& c : cases) {
        const auto name = lum::ParseNetworkPortName(c.text);
        EXPECT_EQ(name.has_value(), c.valid) << c.text;
        EXPECT_EQ(lum::LooksLikeNetworkPortName(c.text), c.looksLike) << c.text;
        if (!name || !c.valid) continue;
        EXPECT_EQ(name->rfc2217, c.rfc2217) << c.text;
        EXPECT_EQ(name->host, c.host) << c.text;
        EXPECT_EQ(name->port, c.port) << c.text;
    }
}

}  // namespace
}  // namespace lum::telnet
