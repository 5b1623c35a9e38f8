// The in-process line behind the port component, as the demo mode uses it (every system).
#include "serial/ComPort.h"
#include "serial/InProcessLine.h"
#include "tests/support/PortLoopTest.h"

namespace lum {
namespace {

using namespace std::chrono_literals;

class InProcessLineTest : public test::PortLoopTest {
  protected:
    void SetUp() override {
        PortLoopTest::SetUp();
        line = InProcessLine::Create();
        port.OnDataRecived = [this](TCustomSerialPort*, std::uint32_t) { received += port.ReadString(); };
        port.OnLineError = [this](TCustomSerialPort*, std::uint32_t e) { lineErrors |= e; };
        port.SetDevicePath(line->Name());
    }
    void TearDown() override {
        port.Close();
        PortLoopTest::TearDown();
    }

    std::shared_ptr<InProcessLine> line;
    TComPort port;
    std::string received;
    std::uint32_t lineErrors = 0;
};

// What the peer sends before a port listens is lost, as on a real line.
TEST_F(InProcessLineTest, CarriesBothWaysThroughThePort) {
    line->PeerWrite("lost");
    port.Open();
    line->PeerWrite("\x10" "0115\r");
    line->PeerWrite("\x10" "0205\r");
    ASSERT_TRUE(Until([&] { return received.size() >= 12; }));
    EXPECT_EQ(received, "\x10" "0115\r" "\x10" "0205\r");
    port.WriteString("\x10" "0005000000\r");
    std::string got;  // as the peer reads it, within 10 s
    for (int i = 0; i < 100 && got.size() < 12; ++i) got += line->PeerRead(100ms);
    EXPECT_EQ(got, "\x10" "0005000000\r");
    EXPECT_TRUE(errors.empty());
}

TEST_F(InProcessLineTest, AFullInputQueueDropsTheRestAndReportsAnOverrun) {
    port.SetInBufSize(64);
    port.Open();
    line->PeerWrite(std::string(100, 'x'));
    ASSERT_TRUE(Until([&] { return received.size() >= 64 && lineErrors != 0; }));
    EXPECT_EQ(received, std::string(64, 'x'));
    EXPECT_TRUE(lineErrors & serial_os::kCeRxOver);
}

// A line that goes fails its open port once; its name then opens nothing.
TEST_F(InProcessLineTest, ALineThatGoesFailsThePortOnceAndIsNoDeviceAfter) {
    const std::string name = line->Name();
    port.Open();
    TComPort second;  // one port per line
    second.SetDevicePath(name);
    EXPECT_EQ(test::ErrorOf<std::exception>([&] { second.Open(); }), "Can't open device " + name);
    line.reset();
    ASSERT_TRUE(Until([&] { return !port.Connected(); }));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("линия имитатора закрыта"), std::string::npos) << errors[0];
    EXPECT_EQ(test::ErrorOf<std::exception>([&] { port.Open(); }), "Invalid port number (" + name + ")");
}

}  // namespace
}  // namespace lum
