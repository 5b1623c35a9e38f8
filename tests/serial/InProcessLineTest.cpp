// The in-process line behind the port component, as the demo mode uses it (every system).
#include <memory>
#include <string>

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
    // What the port wrote, as the peer reads it, until `want` characters came or 10 s passed.
    std::string PeerGets(std::size_t want) {
        std::string got;
        for (int i = 0; i < 100 && got.size() < want; ++i) got += line->PeerRead(100ms);
        return got;
    }

    std::shared_ptr<InProcessLine> line;
    TComPort port;
    std::string received;
    std::uint32_t lineErrors = 0;
};

TEST_F(InProcessLineTest, CarriesBothWaysThroughThePort) {
    port.Open();
    ASSERT_TRUE(line->PortOpen());
    line->PeerWrite("\x10" "0115\r");
    line->PeerWrite("\x10" "0205\r");
    ASSERT_TRUE(Until([&] { return received.size() >= 12; }));
    EXPECT_EQ(received, "\x10" "0115\r" "\x10" "0205\r");
    port.WriteString("\x10" "0005000000\r");
    EXPECT_EQ(PeerGets(12), "\x10" "0005000000\r");
    EXPECT_TRUE(errors.empty());
}

TEST_F(InProcessLineTest, CharactersSentWhileNoPortListensAreLost) {
    line->PeerWrite("lost");
    port.Open();
    line->PeerWrite("kept");
    ASSERT_TRUE(Until([&] { return received.size() >= 4; }));
    EXPECT_EQ(received, "kept");
}

TEST_F(InProcessLineTest, AFullInputQueueDropsTheRestAndReportsAnOverrun) {
    port.SetInBufSize(64);
    port.Open();
    line->PeerWrite(std::string(100, 'x'));
    ASSERT_TRUE(Until([&] { return received.size() >= 64 && lineErrors != 0; }));
    EXPECT_EQ(received, std::string(64, 'x'));
    EXPECT_TRUE(lineErrors & serial_os::kCeRxOver);
}

TEST_F(InProcessLineTest, OpensOncePerLineAndAgainAfterClose) {
    port.Open();
    TComPort second;
    second.SetDevicePath(line->Name());
    EXPECT_EQ(test::ErrorOf<std::exception>([&] { second.Open(); }), "Can't open device " + line->Name());
    port.Close();
    EXPECT_FALSE(line->PortOpen());
    second.Open();
    EXPECT_TRUE(second.Connected());
    second.Close();
}

TEST_F(InProcessLineTest, NamesOfLinesThatAreGoneAreNoDevices) {
    const std::string name = line->Name();
    line.reset();
    TComPort other;
    other.SetDevicePath(name);
    EXPECT_EQ(test::ErrorOf<std::exception>([&] { other.Open(); }), "Invalid port number (" + name + ")");
}

TEST_F(InProcessLineTest, ALineThatGoesWhileOpenFailsThePortOnce) {
    port.Open();
    line.reset();
    ASSERT_TRUE(Until([&] { return !port.Connected(); }));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("линия имитатора закрыта"), std::string::npos) << errors[0];
}

}  // namespace
}  // namespace lum
