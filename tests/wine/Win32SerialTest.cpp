// The serial layer on Windows COM ports. Run by wine-pty-peer, which links pseudo-terminals as the
// ports named in LUM_TEST_COMS ("12,4,13": the first for data, the second for a peer that goes away,
// the third a port that cannot be opened) and answers on them: an echo of every byte, the line's
// `stty -a` for ENQ, and a vanishing peer for EOT.
// The COM name tests need no port.
#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "common/MainLoop.h"
#include "serial/ComPort.h"
#include "serial/PortList.h"
#include "serial/SafeSync.h"
#include "tests/support/PortLoopTest.h"

namespace lum {
namespace {

using namespace std::chrono_literals;
using test::ErrorOf;

constexpr char kAskSettings = 0x05;  // the peer answers with `stty -a`, ended by kEndOfReport
constexpr char kEndOfReport = 0x03;
constexpr char kGoAway = 0x04;  // the peer closes its end of the line

std::vector<int> TestPorts() {
    std::vector<int> ports;
    const char* env = std::getenv("LUM_TEST_COMS");
    std::string text = env ? env : "";
    std::size_t at = 0;
    while (at < text.size()) {
        ports.push_back(std::atoi(text.c_str() + at));
        const auto comma = text.find(',', at);
        if (comma == std::string::npos) break;
        at = comma + 1;
    }
    return ports;
}

std::chrono::milliseconds ProcessCpuTime() {
    FILETIME created, exited, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ticks = [](const FILETIME& f) {
        return (static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime;
    };
    return std::chrono::milliseconds((ticks(kernel) + ticks(user)) / 10000);
}

// ---- error texts ---------------------------------------------------------------------------------

// Russian: the system's own Russian message, or ours with the system's after it; an unknown code
// keeps its number.
TEST(ErrorTexts, RussianWhateverTheSystemOffers) {
    for (const std::uint32_t code : {2u, 5u, 31u, 1167u})  // a Cyrillic letter in UTF-8
        EXPECT_NE(serial_os::ErrorText(code).find("\xD0"), std::string::npos) << serial_os::ErrorText(code);
    EXPECT_NE(serial_os::ErrorText(0x2BADu).find("11181"), std::string::npos);
}

// ---- COM names ---------------------------------------------------------------------------------

TEST(ComNames, ShortNameUpToCom9DeviceNamespaceAbove) {
    EXPECT_EQ(serial_os::ComDevicePath(1), "COM1");
    EXPECT_EQ(serial_os::ComDevicePath(9), "COM9");
    EXPECT_EQ(serial_os::ComDevicePath(10), "\\\\.\\COM10");
    EXPECT_EQ(serial_os::ComDevicePath(255), "\\\\.\\COM255");
    EXPECT_EQ(serial_os::ComDevicePath(0), "");
    EXPECT_EQ(serial_os::ComDevicePath(-3), "");
}

TEST(ComNames, NumberOfADeviceName) {
    EXPECT_EQ(serial_os::ComNumberOfDevicePath("COM3"), 3);
    EXPECT_EQ(serial_os::ComNumberOfDevicePath("com7"), 7);
    EXPECT_EQ(serial_os::ComNumberOfDevicePath("\\\\.\\COM12"), 12);
    EXPECT_EQ(serial_os::ComNumberOfDevicePath("\\\\.\\COM256"), 256);
    for (const char* none : {"", "COM", "COM01", "COM1x", "LPT1", "\\\\.\\LPT1", "COM1234", "/dev/ttyS0"})
        EXPECT_EQ(serial_os::ComNumberOfDevicePath(none), 0) << none;
}

// ---- ports on the peer's lines ------------------------------------------------------------------

class Win32Port : public test::PortLoopTest {
  protected:
    void SetUp() override {
        const auto ports = TestPorts();
        if (ports.size() < 3) GTEST_SKIP() << "LUM_TEST_COMS names no ports (run through wine-pty-peer)";
        dataPort = ports[0];
        vanishingPort = ports[1];
        unopenablePort = ports[2];
        PortLoopTest::SetUp();
    }

    // Opens `port` on COMn at 9600 8N1, collecting what arrives into `received`.
    void OpenCollecting(TComPort& port, int number) {
        port.SetBaudRate(br9600);
        port.SetComNumber(number);
        port.OnDataRecived = [this, &port](TCustomSerialPort*, std::uint32_t) {
            mainThreadOnly = mainThreadOnly && std::this_thread::get_id() == mainThread;
            received += port.ReadString();
        };
        port.Open();
    }

    // The line's settings as the other end sees them.
    std::string LineSettings(TComPort& port) {
        received.clear();
        port.WriteString(std::string(1, kAskSettings));
        if (!Until([&] { return received.find(kEndOfReport) != std::string::npos; })) return "no answer";
        return received;
    }

    int dataPort = 0;
    int vanishingPort = 0;
    int unopenablePort = 0;
    std::string received;
    std::thread::id mainThread = std::this_thread::get_id();
    bool mainThreadOnly = true;
};

TEST_F(Win32Port, SettingsReachTheLine) {
    TComPort port;
    OpenCollecting(port, dataPort);
    const std::string stty = LineSettings(port);
    EXPECT_NE(stty.find("speed 9600 baud"), std::string::npos) << stty;
    EXPECT_NE(stty.find(" cs8 "), std::string::npos) << stty;
    EXPECT_NE(stty.find("-parenb"), std::string::npos) << stty;
    EXPECT_NE(stty.find("-cstopb"), std::string::npos) << stty;
    EXPECT_NE(stty.find("-crtscts"), std::string::npos) << stty;

    port.SetBaudRate(br19200);  // an open port takes a new setting at once
    EXPECT_NE(LineSettings(port).find("speed 19200 baud"), std::string::npos);
    EXPECT_TRUE(errors.empty());
}

TEST_F(Win32Port, DataBothWaysOnTheMainThread) {
    TComPort port;
    OpenCollecting(port, dataPort);
    std::string every;
    for (int b = 0; b < 256; ++b) {
        if (b != kAskSettings && b != kEndOfReport && b != kGoAway) every += static_cast<char>(b);
    }
    port.WriteString(every);
    ASSERT_TRUE(Until([&] { return received.size() >= every.size(); })) << received.size();
    EXPECT_EQ(received, every);

    // Longer than the output ring (2048): sent in pieces as the ring frees, echoed complete and in order.
    std::string longText;
    for (int i = 0; longText.size() < 10000; ++i)
        longText +=
            "\x10"
            "15" +
            std::to_string(i) + "\r";
    received.clear();
    std::size_t sent = 0;
    ASSERT_TRUE(Until([&] {
        const std::size_t piece = std::min(port.OutBufFree(), longText.size() - sent);
        if (piece > 0) port.WriteString(std::string_view(longText).substr(sent, piece));
        sent += piece;
        return received.size() >= longText.size();
    }));
    EXPECT_EQ(received, longText);
    EXPECT_TRUE(mainThreadOnly);
    EXPECT_TRUE(errors.empty());
}

TEST_F(Win32Port, UnreadBytesAreAnnouncedAgainWithoutSpinning) {
    TComPort port;
    port.SetBaudRate(br9600);
    port.SetComNumber(dataPort);
    int events = 0;
    port.OnDataRecived = [&](TCustomSerialPort*, std::uint32_t) { ++events; };  // reads nothing
    port.Open();
    port.WriteString("unread");
    ASSERT_TRUE(Until([&] { return events >= 1; }));
    const int first = events;
    loop.RunFor(1s);
    // The idle poll every 200 ms announces the queued bytes again: about five times a second.
    EXPECT_GE(events - first, 3);
    EXPECT_LE(events - first, 8);
    EXPECT_EQ(port.ReadString(), "unread");
}

// The system gives out the lowest free handle slots (4 apart): the highest of 64 new handles moves up
// by as many slots as are left taken. A per-cycle leak takes 50 or more; the thread library may keep
// one or two for itself.
HANDLE HighestOf64NewHandles() {
    HANDLE handles[64];
    for (auto& h : handles) h = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const HANDLE highest = *std::max_element(std::begin(handles), std::end(handles));
    for (auto h : handles) ::CloseHandle(h);
    return highest;
}

TEST_F(Win32Port, OpenCloseCyclesLeaveNoHandle) {
    TComPort port;
    OpenCollecting(port, dataPort);  // first use sets up what lives for the whole process
    port.Close();
    const HANDLE before = HighestOf64NewHandles();
    for (int i = 0; i < 50; ++i) {
        port.Open();
        ASSERT_TRUE(port.Connected());
        port.WriteString("x");  // a pending wait and a write in flight at close
        port.Close();
    }
    const auto taken =
        (reinterpret_cast<std::intptr_t>(HighestOf64NewHandles()) - reinterpret_cast<std::intptr_t>(before)) /
        4;
    EXPECT_LE(taken, 8);
    EXPECT_TRUE(errors.empty());
}

// The system lists its serial ports under HARDWARE\DEVICEMAP\SERIALCOMM; wine registers only the ports
// it found at start, so the test registers its own there first, as a port driver would.
TEST_F(Win32Port, PortListNamesTheRegisteredPorts) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr,
                                REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    std::vector<std::string> added;
    for (int n : {dataPort, vanishingPort}) {
        const std::string value = "\\Device\\LumTest" + std::to_string(n);
        const std::string data = "COM" + std::to_string(n);
        ::RegSetValueExA(key, value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                         static_cast<DWORD>(data.size() + 1));
        added.push_back(value);
    }
    std::vector<std::string> ports;
    ListComPorts(ports, "COM");
    std::vector<char> small(4);
    serial_os::SetLastError(0);
    const std::uint32_t shortQuery = serial_os::QueryDeviceNames(small.data(), 4);
    const std::uint32_t shortError = serial_os::GetLastError();
    for (const auto& value : added) ::RegDeleteValueA(key, value.c_str());
    ::RegCloseKey(key);

    const auto has = [&](int n) {
        return std::find(ports.begin(), ports.end(), "COM" + std::to_string(n)) != ports.end();
    };
    EXPECT_TRUE(has(dataPort));
    EXPECT_TRUE(has(vanishingPort));
    EXPECT_FALSE(has(199));
    for (const auto& p : ports) EXPECT_EQ(p.rfind("COM", 0), 0u) << p;
    EXPECT_EQ(shortQuery, 0u);
    EXPECT_EQ(shortError, serial_os::kErrorInsufficientBuffer);
}

TEST_F(Win32Port, OpenFailuresWithTheirTexts) {
    TComPort port;
    int opens = 0;
    port.OnPortOpen = [&](TCustomSerialPort*) { ++opens; };
    port.SetComNumber(199);
    EXPECT_EQ(ErrorOf<EComPortCoreError>([&] { port.Open(); }), "Invalid port number (COM199)");
    EXPECT_FALSE(port.Connected());
    port.SetComNumber(0);
    EXPECT_EQ(ErrorOf<EComPortCoreError>([&] { port.Open(); }), "Invalid port number (COM0)");
    port.SetComNumber(unopenablePort);
    EXPECT_EQ(ErrorOf<EComPortCoreError>([&] { port.Open(); }),
              "Can't open device COM" + std::to_string(unopenablePort));
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(opens, 0);

    port.SetComNumber(dataPort);  // a failed open leaves the port ready for the next choice
    port.Open();
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(opens, 1);
}

TEST_F(Win32Port, VanishedPeerGivesOneErrorAndNoSpin) {
    TComPort port;
    int closes = 0;
    port.OnPortClose = [&](TCustomSerialPort*) { ++closes; };
    OpenCollecting(port, vanishingPort);
    port.WriteString("before");
    ASSERT_TRUE(Until([&] { return received == "before"; }));

    port.WriteString(std::string(1, kGoAway));
    ASSERT_TRUE(Until([&] { return !errors.empty(); }));
    const std::string name = "COM" + std::to_string(vanishingPort);
    EXPECT_EQ(errors[0].rfind("Устройство " + name + " отключено или недоступно: ", 0), 0u) << errors[0];
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(closes, 1);

    const auto cpuBefore = ProcessCpuTime();
    loop.RunFor(1s);
    EXPECT_LT(ProcessCpuTime() - cpuBefore, 300ms) << "a vanished device must not keep a thread busy";
    EXPECT_EQ(errors.size(), 1u);

    // The peer comes back on the same port; the user chooses it again.
    received.clear();
    ASSERT_TRUE(Until([&] {
        try {
            port.Open();
            return true;
        } catch (const EComPortCoreError&) {
            return false;
        }
    }));
    port.WriteString("after");
    EXPECT_TRUE(Until([&] { return received == "after"; }));
    EXPECT_EQ(errors.size(), 1u);
}

}  // namespace
}  // namespace lum
