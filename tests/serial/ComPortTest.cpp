#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <thread>

#include "common/MainLoop.h"
#include "serial/ComPort.h"
#include "serial/SafeSync.h"
#include "tests/support/PortLoopTest.h"
#include "tests/support/PtyPair.h"

namespace lum {
namespace {

using namespace std::chrono_literals;
using test::ErrorOf;
using test::PtyPair;

// The test thread is the main thread: it runs a MainLoop that serves the port's deliveries, and
// collects the errors that reach the application's error handling.
class ComPortTest : public test::PortLoopTest {
  protected:

    static void Attach(TComPort& port, const PtyPair& pty) {
        port.SetBaudRate(br9600);
        port.SetDevicePath(pty.Path());
    }

    // The process's thread count with a port opened and closed once before (a sanitizer starts a
    // thread of its own with the first thread), once it has settled.
    int BaselineThreads() {
        {
            PtyPair pty;
            TComPort port;
            Attach(port, pty);
            port.Open();
            port.Close();
        }
        int last = test::Threads();
        for (int i = 0; i < 100; ++i) {
            std::this_thread::sleep_for(20ms);
            const int now = test::Threads();
            if (now == last) break;
            last = now;
        }
        return last;
    }
};

// ---- properties and the settings record ----------------------------------------------------

TEST_F(ComPortTest, DefaultsAndTheRecordOf9600_8N1) {
    TComPort port;
    EXPECT_EQ(port.Name(), "ComPort1");
    EXPECT_EQ(port.ComNumber(), 0);
    EXPECT_EQ(port.BaudRate(), br115200);
    EXPECT_EQ(port.Databits(), db8);
    EXPECT_EQ(port.Parity(), paNone);
    EXPECT_EQ(port.Stopbits(), sbOne);
    EXPECT_EQ(port.FlowControl(), fwNone);
    EXPECT_TRUE(port.DTR());
    EXPECT_TRUE(port.RTS());
    EXPECT_EQ(port.InBufSize(), 4096);
    EXPECT_EQ(port.OutBufSize(), 2048);
    EXPECT_EQ(port.EventThreadPriority(), tpNormal);
    EXPECT_EQ(port.WriteThreadPriority(), tpHighest);
    EXPECT_FALSE(port.Connected());

    port.SetBaudRate(br9600);
    const TDcb& d = port.Dcb();
    EXPECT_EQ(d.BaudRate, 9600u);
    EXPECT_EQ(d.ByteSize, 8);
    EXPECT_EQ(d.Parity, 0);
    EXPECT_EQ(d.StopBits, 0);
    EXPECT_EQ(d.Flags, 0x1011u);
    EXPECT_EQ(d.XonChar, 0x11);
    EXPECT_EQ(d.XoffChar, 0x13);
}

TEST_F(ComPortTest, FlagWordFollowsFlowControlOptionsAndLines) {
    TComPort port;
    port.SetFlowControl(fwXOnXOff);
    EXPECT_EQ(port.Dcb().Flags, 0x1311u);
    EXPECT_EQ(port.XOnLim(), 1024);
    EXPECT_EQ(port.XOffLim(), 3072);
    port.SetFlowControl(fwRtsCts);  // RTS is the handshake line now
    EXPECT_EQ(port.Dcb().Flags, 0x2015u);
    port.SetFlowControl(fwDtrDsr);  // DTR is the handshake line now
    EXPECT_EQ(port.Dcb().Flags, 0x1029u);
    port.SetFlowControl(fwNone);
    EXPECT_EQ(port.XOnLim(), 0);
    EXPECT_EQ(port.XOffLim(), 0);
    port.SetOptions(Opt(coParityCheck) | Opt(coDsrSensitivity) | Opt(coIgnoreXOff) | Opt(coErrorChar) |
                    Opt(coStripNull));
    EXPECT_EQ(port.Dcb().Flags, 0x1CD3u);
    port.SetOptions(0);
    port.SetDTR(false);  // the record follows at once, so the next open applies it
    EXPECT_EQ(port.Dcb().Flags, 0x1001u);
    port.SetRTS(false);
    EXPECT_EQ(port.Dcb().Flags, 0x0001u);

    port.SetXOnLim(100);
    EXPECT_EQ(port.XOffLim(), 4096 - 100);
    EXPECT_EQ(port.Dcb().XonLim, 100);
    port.SetXOffLim(1000);
    EXPECT_EQ(port.XOnLim(), 4096 - 1000);

    port.SetUserBaudRate(12345);
    EXPECT_EQ(port.BaudRate(), brUser);
    EXPECT_EQ(port.Dcb().BaudRate, 12345u);
    port.SetBaudRate(br600);
    EXPECT_EQ(port.UserBaudRate(), 0);
    EXPECT_EQ(port.Dcb().BaudRate, 600u);
    port.SetDatabits(db7);
    port.SetParity(paMark);
    port.SetStopbits(sbTwo);
    EXPECT_EQ(port.Dcb().ByteSize, 7);
    EXPECT_EQ(port.Dcb().Parity, 3);
    EXPECT_EQ(port.Dcb().StopBits, 2);
}

// ---- the line ---------------------------------------------------------------------------------

TEST_F(ComPortTest, LineSettingsReachTheDevice) {
    PtyPair pty;
    TComPort port;
    Attach(port, pty);
    port.Open();
    ASSERT_TRUE(port.Connected());

    termios t{};
    ASSERT_EQ(::tcgetattr(pty.Slave(), &t), 0);
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B9600));
    EXPECT_EQ(::cfgetispeed(&t), static_cast<speed_t>(B9600));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.c_cflag & (CREAD | CLOCAL), static_cast<tcflag_t>(CREAD | CLOCAL));
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);  // raw
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | INLCR | ISTRIP), 0u);
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 0);

    // A change on the open port is applied at once.
    port.SetBaudRate(br19200);
    port.SetStopbits(sbTwo);
    ASSERT_EQ(::tcgetattr(pty.Slave(), &t), 0);
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B19200));
    EXPECT_EQ(t.c_cflag & CSTOPB, static_cast<tcflag_t>(CSTOPB));
    // A pseudo-terminal carries no parity: the device drops it, which is a failure, not a success.
    EXPECT_EQ(ErrorOf<EComPortCoreError>([&] { port.SetParity(paEven); }),
              "Error setting parameters from DCB");
    EXPECT_EQ(port.Dcb().Parity, 0);
    EXPECT_EQ(port.Dcb().BaudRate, 19200u);
}

TEST_F(ComPortTest, DtrAndRtsOnAnOpenPortLeaveTheOtherSettingsAlone) {
    PtyPair pty;
    TComPort port;
    Attach(port, pty);
    port.Open();
    termios t{};
    ASSERT_EQ(::tcgetattr(pty.Slave(), &t), 0);
    ::cfsetospeed(&t, B2400);  // a mark that applying the whole record again would undo
    ASSERT_EQ(::tcsetattr(pty.Slave(), TCSANOW, &t), 0);
    port.SetDTR(false);
    port.SetRTS(false);
    ASSERT_EQ(::tcgetattr(pty.Slave(), &t), 0);
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B2400));
    EXPECT_EQ(port.Dcb().Flags & 0x1010u, 0u);  // the next open applies the levels
}

TEST_F(ComPortTest, RejectedSettingOnOpenPortRestoresTheRecord) {
    PtyPair pty;
    TComPort port;
    Attach(port, pty);
    port.Open();
    EXPECT_EQ(ErrorOf<EComPortCoreError>([&] { port.SetUserBaudRate(12345); }),
              "Error setting parameters from DCB");
    EXPECT_EQ(port.Dcb().BaudRate, 9600u);  // what the device still has
    EXPECT_TRUE(port.Connected());
    std::string got;
    port.OnDataRecived = [&](TCustomSerialPort*, std::uint32_t) { got += port.ReadString(); };
    pty.Write("still");
    EXPECT_TRUE(Until([&] { return got == "still"; }));
}

TEST_F(ComPortTest, BytesArriveOnTheMainThreadAndReadStringTakesThemAll) {
    PtyPair pty;
    TComPort port;
    Attach(port, pty);
    std::string received;
    std::vector<std::pair<std::uint32_t, std::size_t>> events;  // Count, bytes read
    bool otherThread = false;
    const auto mainThread = std::this_thread::get_id();
    port.OnDataRecived = [&](TCustomSerialPort* sender, std::uint32_t count) {
        EXPECT_EQ(sender, &port);
        if (std::this_thread::get_id() != mainThread) otherThread = true;
        const std::string now = port.ReadString();
        events.emplace_back(count, now.size());
        received += now;
    };
    port.Open();

    std::string sent;
    for (int i = 0; i < 20; ++i)
        sent +=
            "\x10"
            "0115001C0000000000000000001234"
            "\r";
    std::thread controller([&] {
        for (std::size_t at = 0; at < sent.size(); at += 30) {
            pty.Write(std::string_view(sent).substr(at, 30));
            std::this_thread::sleep_for(3ms);
        }
    });
    EXPECT_TRUE(Until([&] { return received.size() >= sent.size(); }));
    controller.join();
    EXPECT_EQ(received, sent);
    EXPECT_FALSE(otherThread);
    ASSERT_FALSE(events.empty());
    std::uint32_t announced = 0;
    for (const auto& [count, read] : events) {
        EXPECT_LE(count, read);  // bytes may arrive between the count and the read, never vanish
        announced += count;
    }
    EXPECT_GT(announced, 0u);
    EXPECT_EQ(port.ReadString(), "");
}

TEST_F(ComPortTest, UnreadBytesAreAnnouncedAgainWithoutSpinning) {
    PtyPair pty;
    TComPort port;
    Attach(port, pty);
    std::vector<std::uint32_t> counts;
    port.OnDataRecived = [&](TCustomSerialPort*, std::uint32_t count) { counts.push_back(count); };
    port.Open();
    const auto cpuBefore = test::ProcessCpuTime();
    const auto start = std::chrono::steady_clock::now();
    pty.Write("hello");
    // First the received-character event, then about every 200 ms the idle look at the queue.
    ASSERT_TRUE(Until([&] { return counts.size() >= 4; }));
    const auto waited = std::chrono::steady_clock::now() - start;
    const auto cpu = test::ProcessCpuTime() - cpuBefore;
    for (auto c : counts) EXPECT_EQ(c, 5u);
    EXPECT_LT(cpu, waited / 2) << "bytes left queued must not keep a thread busy";

    EXPECT_EQ(port.ReadString(), "hello");
    const std::size_t seen = counts.size();
    loop.RunFor(700ms);
    EXPECT_LE(counts.size(), seen + 1);  // at most one already under way
}

TEST_F(ComPortTest, WriteLongerThanTheRingRaisesAndQueuesNothing) {
    PtyPair pty;
    TComPort port;
    Attach(port, pty);
    port.Open();
    EXPECT_EQ(ErrorOf<EComPortError>([&] { port.WriteString(std::string(3000, 'x')); }),
              "Write data error [requested: 3000, free: 2048] - ComPort1 ");
    EXPECT_EQ(pty.Read(1, 300ms), "");
    port.WriteString("");  // nothing, no error
    port.WriteString("ok");
    EXPECT_EQ(pty.Read(2, 10s), "ok");
}

TEST_F(ComPortTest, LongTextSentInPiecesArrivesCompleteAndInOrder) {
    PtyPair pty;
    TComPort port;
    Attach(port, pty);
    int outFree = 0;
    port.OnOutBufFree = [&](TCustomSerialPort*) { ++outFree; };
    port.Open();

    std::string text;
    for (int i = 0; i < 64 * 1024; ++i) text += static_cast<char>((i * 7 + i / 256) & 0xFF);
    std::string got;
    std::thread controller([&] { got = pty.Read(text.size(), 60s); });
    const std::size_t piece = 700;
    for (std::size_t at = 0; at < text.size(); at += piece) {
        const std::size_t n = std::min(piece, text.size() - at);
        ASSERT_TRUE(Until([&] { return port.OutBufFree() >= n; }, 30s));
        port.WriteString(std::string_view(text).substr(at, n));
    }
    controller.join();
    EXPECT_EQ(got.size(), text.size());
    EXPECT_TRUE(got == text);
    EXPECT_TRUE(Until([&] { return outFree > 0; }));
}

// A frame written just before Close reaches the other end once the port has drained: the
// close purges only output that has not gone out.
TEST_F(ComPortTest, FramesWrittenBeforeDrainAndCloseAllArrive) {
    PtyPair pty;
    const std::string frame(140, 'A');
    for (int round = 0; round < 50; ++round) {
        TComPort port;
        Attach(port, pty);
        port.Open();
        port.WriteString(frame);
        EXPECT_TRUE(port.Drain(2s));
        port.Close();
        ASSERT_EQ(pty.Read(frame.size(), 2s), frame) << "round " << round;
    }
}

// ---- errors -------------------------------------------------------------------------------------

TEST_F(ComPortTest, TabledErrorsWithTheirExactTexts) {
    const int threads = BaselineThreads();
    PtyPair pty;
    const auto resolver = [&](int n) -> std::string {
        if (n == 3) return pty.Path();
        if (n == 7) return "/nonexistent/ttyX";
        return {};
    };
    TComPort port;
    port.SetBaudRate(br9600);
    port.DeviceResolver = resolver;
    EXPECT_EQ(ErrorOf<EComPortCoreError>([&] { port.Open(); }), "Invalid port number (COM0)");
    EXPECT_FALSE(port.Connected());
    port.SetComNumber(7);
    EXPECT_EQ(ErrorOf<EComPortCoreError>([&] { port.Open(); }), "Invalid port number (COM7)");
    port.SetComNumber(200);  // no device for this number at all
    EXPECT_EQ(ErrorOf<EComPortCoreError>([&] { port.Open(); }), "Invalid port number (COM200)");
    EXPECT_EQ(ErrorOf<EComPortCoreError>([&] { port.SetComNumber(70000); }),
              "Invalid port number (COM70000)");
    EXPECT_EQ(port.ComNumber(), 200);

    TComPort holder;  // another program holding the device
    holder.SetName("ComPort2");
    holder.DeviceResolver = resolver;
    holder.SetComNumber(3);
    holder.Open();
    port.SetComNumber(3);
    EXPECT_EQ(ErrorOf<EComPortCoreError>([&] { port.Open(); }), "Can't open device COM3");
    port.SetDevicePath(pty.Path());
    EXPECT_EQ(ErrorOf<EComPortCoreError>([&] { port.Open(); }), "Can't open device " + pty.Path());
    port.SetDevicePath("/dev/null");  // exists, but is no serial device
    EXPECT_EQ(ErrorOf<EComPortCoreError>([&] { port.Open(); }), "Can't open device /dev/null");
    port.SetDevicePath("/nonexistent/ttyY");
    EXPECT_EQ(ErrorOf<EComPortCoreError>([&] { port.Open(); }), "Invalid port number (/nonexistent/ttyY)");
    if (::access("/dev/ttyACM31", F_OK) != 0) {
        port.SetDevicePath("/dev/ttyACM31");
        EXPECT_EQ(ErrorOf<EComPortCoreError>([&] { port.Open(); }), "Invalid port number (COM96)");
    }
    EXPECT_FALSE(port.Connected());

    EXPECT_EQ(ErrorOf<EComPortError>([&] { port.WriteString("hello"); }),
              "Write data error [requested: 5, free: 0] - ComPort1 ");
    EXPECT_EQ(ErrorOf<EComPortError>([&] { holder.SetInBufSize(8192); }), "Port is not closed - ComPort2 ");
    EXPECT_EQ(ErrorOf<EComPortError>([&] { holder.SetOutBufSize(4096); }), "Port is not closed - ComPort2 ");
    EXPECT_EQ(holder.InBufSize(), 4096);
    char buf[4];
    EXPECT_EQ(ErrorOf<EComPortError>([&] { holder.ReadData(buf, 4); }), "Read data error - ComPort2 ");
    pty.Write("abcd");
    ASSERT_TRUE(Until([&] { return holder.InBufUsed() == 4; }));
    holder.ReadData(buf, 4);
    EXPECT_EQ(std::string(buf, 4), "abcd");

    holder.Close();
    port.SetInBufSize(8192);  // closed: allowed
    EXPECT_EQ(port.InBufSize(), 8192);
    EXPECT_TRUE(Until([&] { return test::Threads() == threads; }));  // failed opens left no thread
}

TEST_F(ComPortTest, ChangingComNumberOnAnOpenPortReopensIt) {
    PtyPair a, b;
    TComPort port;
    port.SetBaudRate(br9600);
    port.DeviceResolver = [&](int n) -> std::string { return n == 1 ? a.Path() : n == 2 ? b.Path() : ""; };
    int opens = 0, closes = 0;
    port.OnPortOpen = [&](TCustomSerialPort*) { ++opens; };
    port.OnPortClose = [&](TCustomSerialPort*) { ++closes; };
    std::string received;
    port.OnDataRecived = [&](TCustomSerialPort*, std::uint32_t) { received += port.ReadString(); };

    port.SetComNumber(1);  // closed: only stored
    EXPECT_EQ(opens, 0);
    port.Open();
    a.Write("A1");
    ASSERT_TRUE(Until([&] { return received == "A1"; }));

    port.SetComNumber(2);
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(opens, 2);
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(port.Address().path, b.Path());
    b.Write("B2");
    ASSERT_TRUE(Until([&] { return received == "A1B2"; }));
    a.Write("A3");  // the old port is no longer read
    loop.RunFor(300ms);
    EXPECT_EQ(received, "A1B2");

    port.SetComNumber(2);  // the same number: nothing happens
    EXPECT_EQ(opens, 2);
    EXPECT_EQ(closes, 1);
}

TEST_F(ComPortTest, OpenTwiceAndCloseTwice) {
    PtyPair pty;
    TComPort port;
    Attach(port, pty);
    int opens = 0, closes = 0;
    port.OnPortOpen = [&](TCustomSerialPort*) { ++opens; };
    port.OnPortClose = [&](TCustomSerialPort*) { ++closes; };
    port.Open();
    port.Open();
    EXPECT_EQ(opens, 1);
    port.Close();
    port.Close();
    EXPECT_EQ(closes, 2);
    EXPECT_FALSE(port.Connected());
}

TEST_F(ComPortTest, NoDataEventAfterClose) {
    PtyPair pty;
    TComPort port;
    Attach(port, pty);
    bool closed = false;
    int events = 0, afterClose = 0;
    port.OnDataRecived = [&](TCustomSerialPort*, std::uint32_t) {
        ++events;
        if (closed) ++afterClose;
        port.ReadString();
    };
    port.Open();
    std::atomic<bool> stop{false};
    std::thread controller([&] {
        while (!stop) {
            pty.TryWrite("data");
            std::this_thread::sleep_for(1ms);
        }
    });
    ASSERT_TRUE(Until([&] { return events > 3; }));
    port.Close();
    closed = true;
    loop.RunFor(500ms);
    stop = true;
    controller.join();
    EXPECT_EQ(afterClose, 0);
    EXPECT_EQ(port.ReadString(), "");
}

TEST_F(ComPortTest, HandlerMayCloseThePortWithoutWaitingOutTheBound) {
    PtyPair pty;
    TComPort port;
    Attach(port, pty);
    bool closedInHandler = false;
    port.OnDataRecived = [&](TCustomSerialPort*, std::uint32_t) {
        port.Close();  // the event thread is waiting for this very delivery
        closedInHandler = true;
    };
    port.Open();
    const auto start = std::chrono::steady_clock::now();
    pty.Write("x");
    ASSERT_TRUE(Until([&] { return closedInHandler; }));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1800ms);  // not the 2000 ms delivery bound
    EXPECT_FALSE(port.Connected());
    EXPECT_TRUE(errors.empty());
}

TEST_F(ComPortTest, HandlerErrorReachesErrorHandlingAndThePortGoesOn) {
    PtyPair pty;
    TComPort port;
    Attach(port, pty);
    int calls = 0;
    std::string received;
    port.OnDataRecived = [&](TCustomSerialPort*, std::uint32_t) {
        if (++calls == 1) throw std::runtime_error("handler failed");
        received += port.ReadString();
    };
    port.Open();
    pty.Write("one");
    ASSERT_TRUE(Until([&] { return received == "one"; }));  // announced again, then read
    EXPECT_EQ(errors, std::vector<std::string>{"handler failed"});
    EXPECT_TRUE(port.Connected());
}

TEST_F(ComPortTest, NonSyncEventRunsOnTheEventThreadInstead) {
    PtyPair pty;
    TComPort port;
    Attach(port, pty);
    std::atomic<int> lineEvents{0};
    std::atomic<bool> onMain{false};
    const auto mainThread = std::this_thread::get_id();
    int dataEvents = 0;
    port.OnNonSyncEvent = [&](TCustomSerialPort*, TCoreEvent kind, std::uint32_t data, std::exception_ptr) {
        if (std::this_thread::get_id() == mainThread) onMain = true;
        if (kind == ceLineEvent && (data & serial_os::kEvRxChar)) ++lineEvents;
    };
    port.OnDataRecived = [&](TCustomSerialPort*, std::uint32_t) { ++dataEvents; };
    port.Open();
    pty.Write("abc");
    ASSERT_TRUE(Until([&] { return lineEvents > 0; }));
    EXPECT_FALSE(onMain);
    EXPECT_EQ(dataEvents, 0);
    EXPECT_EQ(port.ReadString(), "abc");
}

// ---- a device that goes away -------------------------------------------------------------------

TEST_F(ComPortTest, VanishedPeerGivesOneErrorClosesThePortAndReopeningWorks) {
    const int threads = BaselineThreads();
    auto pty = std::make_unique<PtyPair>();
    const std::string path = pty->Path();
    TComPort port;
    Attach(port, *pty);
    int closes = 0;
    std::string received;
    port.OnPortClose = [&](TCustomSerialPort*) { ++closes; };
    port.OnDataRecived = [&](TCustomSerialPort*, std::uint32_t) { received += port.ReadString(); };
    port.Open();
    pty->Write("before");
    ASSERT_TRUE(Until([&] { return received == "before"; }));

    pty->CloseMaster();
    ASSERT_TRUE(Until([&] { return !errors.empty(); }));
    EXPECT_EQ(errors[0], "Устройство " + path + " отключено или недоступно: Ошибка ввода-вывода (Input/output error)");
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(closes, 1);

    const auto cpuBefore = test::ProcessCpuTime();
    loop.RunFor(1s);
    EXPECT_LT(test::ProcessCpuTime() - cpuBefore, 300ms) << "a hung-up device must not keep a thread busy";
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_TRUE(Until([&] { return test::Threads() == threads; }));

    PtyPair again;  // the user chooses a port again
    port.SetDevicePath(again.Path());
    port.Open();
    again.Write("after");
    EXPECT_TRUE(Until([&] { return received == "beforeafter"; }));
    EXPECT_EQ(errors.size(), 1u);
}

TEST_F(ComPortTest, VanishedPeerWhileWritingStillGivesOneError) {
    PtyPair pty;
    TComPort port;
    Attach(port, pty);
    port.Open();
    // Fill the line and the ring: nobody reads on the other side.
    for (int i = 0; i < 20; ++i) {
        if (Until([&] { return port.OutBufFree() >= 1024; }, 200ms)) port.WriteString(std::string(1024, 'w'));
    }
    pty.CloseMaster();
    ASSERT_TRUE(Until([&] { return !errors.empty(); }));
    EXPECT_FALSE(port.Connected());
    loop.RunFor(500ms);
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("отключено или недоступно"), std::string::npos) << errors[0];
}

TEST_F(ComPortTest, OpenCloseCyclesLeaveNoDescriptorOrThread) {
    PtyPair pty;
    TComPort port;
    Attach(port, pty);
    port.Open();  // first use sets up what lives for the whole process
    port.Close();
    const int fds = test::OpenDescriptors();
    // A thread just joined can still be listed for a moment, so the baseline may hold one of the
    // first port's workers; a leak of 200 cycles would leave hundreds.
    const int threads = test::Threads();
    for (int i = 0; i < 200; ++i) {
        port.Open();
        ASSERT_TRUE(port.Connected());
        port.Close();
    }
    EXPECT_EQ(test::OpenDescriptors(), fds);
    EXPECT_TRUE(Until([&] { return test::Threads() <= threads; }, 5s))
        << test::Threads() << " vs " << threads;
}

}  // namespace
}  // namespace lum
