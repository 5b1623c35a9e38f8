// The service commands: the frame of every command on the wire, the conversions from the
// engineer's entries and their refusals, the password, and what sending reports.
#include <gtest/gtest.h>

#include "link/ReceivePath.h"
#include "service/Commands.h"
#include "tests/link/FakeLine.h"

namespace lum {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

// A scripted controller that sends a status frame every 200 ms; what the tool writes is recorded.
struct Line {
    test::ScriptedPump pump;
    LinkState state;
    ReceivePath rx{state};
    test::RecordingPort port{pump};
    int noController = 0;
    Transactions tx{state, port, pump, [](const std::string&) {}, pump.Clock()};

    explicit Line(bool talking = true) {
        tx.NoController = [this] { ++noController; };
        if (talking)
            for (int i = 1; i <= 20; ++i) pump.At(i * 200ms, [this] { rx.Chunk(test::StatusFrame()); });
    }
    // Sends and returns the one frame written (empty when none).
    std::string Send(const ServiceRequest& r, SendResult* result = nullptr) {
        const SendResult res = SendServiceRequest(tx, r);
        if (result) *result = res;
        return port.writes.empty() ? std::string() : port.writes.back().text;
    }
};

// A frame's wire text from its hex digits: start byte, digits, carriage return.
std::string Framed(const std::string& hex) {
    return "\x10" + hex + "\r";
}

std::string Wire(std::uint8_t code, std::uint16_t address, const Bytes& data) {
    return BuildFrame(code, address, static_cast<std::uint8_t>(data.size()), data);
}

TEST(ServiceCommands, EveryCommandGoesOutWithItsExactFrame) {
    struct Case {
        ServiceRequest request;
        std::string wire;
    };
    const LocalDateTime newYearsEve{2026, 12, 31, 23, 59, 58};
    const Case cases[] = {
        {CommandRequest(ServiceCommand::SmsTest), Framed("002000000020")},
        {CommandRequest(ServiceCommand::GprsTest), Framed("002100000021")},
        {CommandRequest(ServiceCommand::ModemRestart), Framed("002200000022")},
        {CommandRequest(ServiceCommand::AutoMode), Framed("003000000030")},
        {CommandRequest(ServiceCommand::SemiAutoMode), Framed("003100000031")},
        {ClockSyncRequest(newYearsEve), Wire(38, 0, {0x23, 0x59, 0x58, 0x31, 0x12, 0x26})},
        {StartRequest("1", "30"), Wire(50, 0, {0x15, 0x18})},
        {StopRequest("0", "0"), Wire(51, 0, {0x00, 0x00})},
        {MotorHoursRequest("1000", "5"), Wire(4, 0, {0x00, 0x00, 0xEA, 0x65})},
        {MotorHoursRequest("2000", "0"), Wire(4, 0, {0x00, 0x01, 0xD4, 0xC0})},
        {SerialNumberRequest("ABCDEFGH"), Wire(4, 184, {0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48})},
    };
    for (const Case& c : cases) {
        Line line;
        SendResult result;
        EXPECT_EQ(line.Send(c.request, &result), c.wire) << int(c.request.code);
        EXPECT_TRUE(result.Ok());
        EXPECT_EQ(result.Message(), "");
        EXPECT_EQ(line.port.writes.size(), 1u);
    }
    // The write at 184 spelled out: Kind 0, code 4, address 00 B8, count 8, data, check.
    EXPECT_EQ(Wire(4, 184, {0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48}),
              Framed("000400B808" + std::string("4142434445464748") + "BC"));
    EXPECT_THROW(CommandRequest(ServiceCommand::Start), std::invalid_argument);
}

TEST(ServiceCommands, ClockComesFromOneReadingInBcd) {
    EXPECT_EQ(ClockBytes({2026, 12, 31, 23, 59, 58}),
              (std::array<std::uint8_t, 6>{0x23, 0x59, 0x58, 0x31, 0x12, 0x26}));
    EXPECT_EQ(ClockBytes({2000, 1, 1, 0, 0, 0}),
              (std::array<std::uint8_t, 6>{0x00, 0x00, 0x00, 0x01, 0x01, 0x00}));
    EXPECT_EQ(ClockBytes({2109, 7, 4, 9, 5, 7}),
              (std::array<std::uint8_t, 6>{0x09, 0x05, 0x07, 0x04, 0x07, 0x09}));
    std::tm tm{};
    tm.tm_year = 126, tm.tm_mon = 11, tm.tm_mday = 31, tm.tm_hour = 23, tm.tm_min = 59, tm.tm_sec = 58;
    EXPECT_EQ(ClockBytes(LocalDateTimeFromTm(tm)),
              (std::array<std::uint8_t, 6>{0x23, 0x59, 0x58, 0x31, 0x12, 0x26}));
}

TEST(ServiceCommands, IntegerConversionFollowsTheStandardRule) {
    EXPECT_EQ(ParseInteger("0"), 0);
    EXPECT_EQ(ParseInteger("-17"), -17);
    EXPECT_EQ(ParseInteger("+42"), 42);
    EXPECT_EQ(ParseInteger("007"), 7);
    EXPECT_EQ(ParseInteger("2147483647"), 2147483647);
    EXPECT_EQ(ParseInteger("-2147483648"), -2147483647 - 1);
    for (const char* bad : {"", " 1", "1 ", "1.5", "abc", "-", "+", "2147483648", "-2147483649",
                            "99999999999999999999", "１"}) {
        try {
            ParseInteger(bad);
            ADD_FAILURE() << "accepted '" << bad << "'";
        } catch (const ConversionError& e) {
            EXPECT_EQ(e.what(), "'" + std::string(bad) + "' is not a valid integer value");
        }
    }
}

TEST(ServiceCommands, EmptyOrBadFieldFailsTheConversionAndNothingIsSent) {
    Line line;
    try {
        line.Send(StartRequest("1", ""));
        ADD_FAILURE() << "an empty minutes field was accepted";
    } catch (const ConversionError& e) {
        EXPECT_STREQ(e.what(), "'' is not a valid integer value");
    }
    EXPECT_THROW(StopRequest("x", "0"), ConversionError);
    EXPECT_THROW(MotorHoursRequest("10", "5m"), ConversionError);
    // A bad text is reported as such even when the other field is out of range.
    EXPECT_THROW(StartRequest("100", "z"), ConversionError);
    EXPECT_TRUE(line.port.writes.empty());
}

TEST(ServiceCommands, RunAndWaitTimesOutsideTwoBytesAreRefusedNotWrapped) {
    EXPECT_EQ(GuSeconds("18", "12"), 65520);
    EXPECT_EQ(GuSeconds("0", "1092"), 65520);
    EXPECT_EQ(GuSeconds("0", "0"), 0);
    EXPECT_EQ(GuSeconds("1", "-30"), 1800);  // only the sum counts
    // 24 h would have gone out as 0x51 0x80 and run the generator for 5 h 47 min.
    for (auto [h, m] : {std::pair{"24", "0"},
                        {"18", "13"},
                        {"0", "1093"},
                        {"0", "-1"},
                        {"-1", "0"},
                        {"2147483647", "2147483647"}}) {
        try {
            GuSeconds(h, m);
            ADD_FAILURE() << h << ":" << m << " was accepted";
        } catch (const InputRefused& e) {
            EXPECT_NE(std::string(e.what()).find("18 ч 12 мин"), std::string::npos) << e.what();
        }
    }
    Line line;
    EXPECT_THROW(line.Send(StartRequest("24", "0")), InputRefused);
    EXPECT_THROW(line.Send(StopRequest("0", "-5")), InputRefused);
    EXPECT_TRUE(line.port.writes.empty());
}

TEST(ServiceCommands, MotorHoursAreRefusedWhenNegativeOrBeyondTheCounter) {
    EXPECT_EQ(MotorMinutes("1000", "5"), 60005);
    EXPECT_EQ(MotorMinutes("0", "75"), 75);  // minutes above 59 simply add
    EXPECT_EQ(MotorMinutes("35791394", "7"), 2147483647);
    EXPECT_EQ(MotorMinutesBytes(2147483647), (std::array<std::uint8_t, 4>{0x7F, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(MotorMinutesBytes(0x01020304), (std::array<std::uint8_t, 4>{0x01, 0x02, 0x03, 0x04}));
    for (auto [h, m] : {std::pair{"-1", "0"}, {"0", "-1"}, {"-2147483648", "0"}, {"10", "-5"}}) {
        try {
            MotorMinutes(h, m);
            ADD_FAILURE() << h << ":" << m << " was accepted";
        } catch (const InputRefused& e) {
            EXPECT_STREQ(e.what(), kNegativeMotorHoursText);
        }
    }
    EXPECT_THROW(MotorMinutes("35791394", "8"), InputRefused);
    EXPECT_THROW(MotorMinutes("2147483647", "0"), InputRefused);
}

TEST(ServiceCommands, SerialNumberIsEightCharactersOfCodePage1251) {
    EXPECT_EQ(SerialNumberBytes("00012345"),
              (std::array<std::uint8_t, 8>{'0', '0', '0', '1', '2', '3', '4', '5'}));
    // Eight Cyrillic characters are sixteen bytes of UTF-8 but eight characters.
    EXPECT_EQ(SerialNumberBytes("АБВГДЕЖЗ"),
              (std::array<std::uint8_t, 8>{0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7}));
    EXPECT_EQ(SerialNumberBytes("№1234567")[0], 0xB9);
    for (const char* wrongLength : {"ABCDEFG", "ABCDEFGHI", "", "АБВГ", "ABCDEFGH "}) {
        try {
            SerialNumberBytes(wrongLength);
            ADD_FAILURE() << "'" << wrongLength << "' was accepted";
        } catch (const InputRefused& e) {
            EXPECT_STREQ(e.what(), kSerialLengthText);
        }
    }
    EXPECT_EQ(SerialNumberBytes("ABCDEFG€")[7], 0x88);  // the euro sign has a byte in 1251
    try {
        SerialNumberBytes("ABCDEFG中");
        ADD_FAILURE() << "a character outside code page 1251 was accepted";
    } catch (const InputRefused& e) {
        const std::string text = e.what();
        EXPECT_NE(text.find("中"), std::string::npos) << text;
        EXPECT_NE(text.find("1251"), std::string::npos) << text;
    }
    EXPECT_THROW(SerialNumberBytes("ABCDEFG\xFF"), InputRefused);  // not UTF-8 at all
    Line line;
    EXPECT_THROW(line.Send(SerialNumberRequest("1234567")), InputRefused);
    EXPECT_TRUE(line.port.writes.empty());
}

TEST(ServiceCommands, PasswordIsTheWholeEntryExactly) {
    EXPECT_TRUE(PasswordMatches("40617283"));
    for (const char* wrong : {"40617283 ", " 40617283", "4061728", "406172830", "", "40617284"})
        EXPECT_FALSE(PasswordMatches(wrong)) << "'" << wrong << "'";
}

TEST(ServiceCommands, SilentLineAndBusyLinkSayWhatHappened) {
    // A command on a silent line: the transactions' hook told the user; nothing more to say.
    Line silent(false);
    SendResult r;
    EXPECT_EQ(silent.Send(CommandRequest(ServiceCommand::SmsTest), &r), "");
    EXPECT_EQ(r.outcome, SendOutcome::NoController);
    EXPECT_TRUE(r.reportedByLink);
    EXPECT_EQ(r.Message(), "");
    EXPECT_EQ(silent.noController, 1);
    // A write on a silent line: no hook runs, so the result carries the message.
    for (const ServiceRequest& w : {MotorHoursRequest("1000", "5"), SerialNumberRequest("ABCDEFGH")}) {
        EXPECT_EQ(silent.Send(w, &r), "");
        EXPECT_EQ(r.outcome, SendOutcome::NoController);
        EXPECT_FALSE(r.reportedByLink);
        EXPECT_EQ(r.Message(), "Нет связи. Устройство занято или не подключено. Попробуйте еще раз.");
    }
    EXPECT_EQ(silent.noController, 1);
    // While a reading holds the link every request is refused untouched, with the message.
    Line busy;
    auto op = busy.tx.Begin();
    for (const ServiceRequest& w : {CommandRequest(ServiceCommand::AutoMode), MotorHoursRequest("1", "0")}) {
        EXPECT_EQ(busy.Send(w, &r), "");
        EXPECT_EQ(r.outcome, SendOutcome::Busy);
        EXPECT_EQ(r.Message(), kNoLinkRetryText);
    }
    EXPECT_EQ(busy.noController, 0);
}

TEST(ServiceCommands, HoursAndMinutesOfACommandLineSplitAtTheColon) {
    const auto hm = SplitHoursMinutes("1:30");
    EXPECT_EQ(hm.hours, "1");
    EXPECT_EQ(hm.minutes, "30");
    EXPECT_EQ(SplitHoursMinutes(":").hours, "");
    for (const char* bad : {"130", "1:3:0", ""}) EXPECT_THROW(SplitHoursMinutes(bad), ConversionError) << bad;
}

}  // namespace
}  // namespace lum
