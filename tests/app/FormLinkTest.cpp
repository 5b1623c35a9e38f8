// The main window's side of the link, over real pseudo-terminal pairs: the port
// selector, the receive handler's status bar count, the transactions' echo, and a
// device that vanishes while open.
#include <termios.h>

#include <gtest/gtest.h>

#include <QTest>

#include "app/logic/CommandLine.h"
#include "app/PageParameters.h"
#include "app/QtSafeSync.h"
#include "app/Unit1.h"
#include "link/FrameCodec.h"
#include "tests/app/QtTestApp.h"
#include "tests/support/LinkedController.h"
#include "tests/support/PtyPair.h"

namespace lum {
namespace {

// A controller frame (Kind 1) with a correct check byte, as wire text.
std::string ControllerFrame(std::uint8_t code, const std::vector<std::uint8_t>& data) {
    return FrameText(FrameBytes(1, code, 0, static_cast<std::uint8_t>(data.size()), data));
}

std::vector<std::uint8_t> StatusData() {
    std::vector<std::uint8_t> d(36, 0);
    d[0] = 200;  // model
    d[4] = 2;    // automatic
    d[9] = 170;  // phase A: 220 V
    return d;
}

class FormLink : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureApp();
        InstallQtSafeSync(dialogs);
        form = std::make_unique<TForm1>(dialogs, [](std::vector<std::string>& names) { names = {"COM1", "COM2"}; });
        // Numbers map to our pseudo-terminals instead of /dev/ttyS*.
        form->ComPort1->DeviceResolver = [this](int number) {
            if (number == 1) return pty1.Path();
            if (number == 2) return pty2.Path();
            return std::string();
        };
    }
    void TearDown() override {
        form.reset();
        UninstallQtSafeSync();
    }
    static bool Until(const std::function<bool()>& pred, int ms = 5000) { return test::WaitUntil(pred, ms); }

    ScriptedDialogs dialogs;
    test::PtyPair pty1, pty2;
    std::unique_ptr<TForm1> form;
};

TEST_F(FormLink, TypingAPortNameFailsUntilItHasDigitsThenOpensThatPort) {
    QLineEdit* edit = form->ComboBox1->lineEdit();
    ASSERT_NE(edit, nullptr);
    edit->clear();
    dialogs.errors.clear();
    for (QChar c : QStringLiteral("COM")) edit->insert(QString(c));
    ASSERT_EQ(dialogs.errors.size(), 3u);  // C, CO, COM
    for (const auto& e : dialogs.errors) EXPECT_EQ(e, "'' is not a valid integer value");
    EXPECT_FALSE(form->ComPort1->Connected());
    edit->insert(QStringLiteral("1"));
    EXPECT_EQ(dialogs.errors.size(), 3u);
    EXPECT_TRUE(form->ComPort1->Connected());
    EXPECT_EQ(form->ComPort1->ComNumber(), 1);
}

TEST_F(FormLink, PickingAnItemReopensOnItsNumberAndZeroIsRefused) {
    form->ComboBox1->setCurrentIndex(1);  // COM2
    EXPECT_TRUE(form->ComPort1->Connected());
    EXPECT_EQ(form->ComPort1->ComNumber(), 2);
    form->ComboBox1->setEditText(QStringLiteral("COM0"));
    EXPECT_FALSE(form->ComPort1->Connected());  // closed first, then refused
    ASSERT_FALSE(dialogs.errors.empty());
    EXPECT_EQ(dialogs.errors.back(), "Invalid port number (COM0)");
    form->ComboBox1->setEditText(QStringLiteral("COM7"));  // no device behind it
    EXPECT_EQ(dialogs.errors.back(), "Invalid port number (COM7)");
    EXPECT_FALSE(form->ComPort1->Connected());
}

TEST_F(FormLink, SelectorItemsCarryTheirDeviceAsTooltip) {
    ASSERT_EQ(form->ComboBox1->count(), 2);
    EXPECT_EQ(form->ComboBox1->itemData(0, Qt::ToolTipRole).toString(), QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(form->ComboBox1->itemData(1, Qt::ToolTipRole).toString(), QStringLiteral("/dev/ttyS1"));
}

TEST_F(FormLink, ReceivedFramesAreCountedInTheStatusBarAndShown) {
    form->ComboBox1->setEditText(QStringLiteral("COM1"));
    ASSERT_TRUE(form->ComPort1->Connected());
    // Noise, then a status frame split in two writes, then a frame with another kind.
    const std::string status = ControllerFrame(21, StatusData());
    pty1.Write("xx" + status.substr(0, 20));
    QTest::qWait(30);
    pty1.Write(status.substr(20));
    ASSERT_TRUE(Until([&] { return form->StatusPanelText(0) == QStringLiteral("Пакетов принято: 1"); }))
        << form->StatusPanelText(0).toStdString();
    EXPECT_TRUE(Until([&] { return form->Measurements->iDigital_A->value() == 220; }));
    EXPECT_FALSE(form->Measurements->iDigital_A->errorActive());
    EXPECT_TRUE(form->Timer1->isActive());  // restarted by the receive event
    pty1.Write(ControllerFrame(5, {1, 2, 3}) + ControllerFrame(21, StatusData()));
    EXPECT_TRUE(Until([&] { return form->StatusPanelText(0) == QStringLiteral("Пакетов принято: 3"); }));
}

TEST_F(FormLink, CommandIsSentRightAfterTheNextFrameAndEchoedInTheTerminal) {
    form->ComboBox1->setEditText(QStringLiteral("COM1"));
    ASSERT_TRUE(form->ComPort1->Connected());
    QTimer::singleShot(100, [&] { pty1.Write(ControllerFrame(21, StatusData())); });
    form->Device->Tx.SendCommand(34, 0, 0);
    EXPECT_TRUE(dialogs.boxes.empty());
    std::string sent;
    Until([&] {
        sent += pty1.ReadAll();
        return !sent.empty();
    });
    EXPECT_EQ(sent, "\x10" "002200000022\r");
    // The terminal shows it with its next batch.
    EXPECT_TRUE(Until([&] { return form->TerminalLog->Memo1->toPlainText().startsWith(QStringLiteral("<< ␐002200000022␍")); }))
        << form->TerminalLog->Memo1->toPlainText().toStdString();
}

TEST_F(FormLink, CommandOnASilentLineShowsTheBoxAndSendsNothing) {
    form->ComboBox1->setEditText(QStringLiteral("COM1"));
    ASSERT_TRUE(form->ComPort1->Connected());
    bool disabledWhileWaiting = false;
    QTimer::singleShot(200, [&] { disabledWhileWaiting = !form->Service->Button8->isEnabled(); });
    form->Device->Tx.SendCommand(32, 0, 0);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text, "глююююк");
    EXPECT_EQ(dialogs.boxes[0].caption, "Error");
    EXPECT_TRUE(disabledWhileWaiting);
    EXPECT_TRUE(form->Service->Button8->isEnabled());
    EXPECT_FALSE(form->Service->Button7->isEnabled());  // stays as it was before the wait
    EXPECT_EQ(pty1.ReadAll(), "");
}

TEST_F(FormLink, VanishedDeviceGivesOneErrorAndThePortCanBeChosenAgain) {
    form->ComboBox1->setEditText(QStringLiteral("COM1"));
    ASSERT_TRUE(form->ComPort1->Connected());
    dialogs.errors.clear();
    pty1.CloseMaster();
    ASSERT_TRUE(Until([&] { return !dialogs.errors.empty(); }));
    QTest::qWait(600);  // no flood follows
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_NE(dialogs.errors[0].find("COM1"), std::string::npos) << dialogs.errors[0];
    EXPECT_FALSE(form->ComPort1->Connected());
    // Another port works at once.
    form->ComboBox1->setEditText(QStringLiteral("COM2"));
    EXPECT_TRUE(form->ComPort1->Connected());
    pty2.Write(ControllerFrame(21, StatusData()));
    EXPECT_TRUE(Until([&] { return form->StatusPanelText(0) == QStringLiteral("Пакетов принято: 1"); }));
}

// ---- a lost port opened again: the controller's pseudo-terminal gone and back behind its path

struct Reconnecting : FormLink {
    std::string link = ::testing::TempDir() + "form-link-" + std::to_string(getpid());
    void Connect() {
        form->OpenDevicePath(link);
        ASSERT_TRUE(Until([&] { return form->Device->State.RxFrameCount > 0; }));
        dialogs.errors.clear();
    }
    bool FramesAgain() {
        const auto before = form->Device->State.RxFrameCount;
        return Until([&] { return form->Device->State.RxFrameCount > before + 1; }, 15000);
    }
};

TEST_F(Reconnecting, ALostPortOpensAgainByItselfAfterItsOneMessage) {
    test::LinkedController c(link, 100);
    Connect();
    form->SetStatusPanelText(1, QStringLiteral("прежний"));
    c.Stop();
    const QString note = QString::fromStdString("Переподключение к " + link + "…");
    ASSERT_TRUE(Until([&] { return form->StatusPanelText(1) == note; }));
    form->Parameters->Button4->click();  // begun while it is away: its own failure at once, nothing written
    EXPECT_EQ(form->Device->State.Counters.PreSendTimeouts, 0u);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    QTest::qWait(3000);  // away for 3 s
    c.Start();
    ASSERT_TRUE(FramesAgain());
    EXPECT_EQ(form->StatusPanelText(1), QStringLiteral("прежний"));
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0].rfind("Устройство " + link + " отключено", 0), 0u) << dialogs.errors[0];
}

TEST_F(Reconnecting, AReadingCutByTheLossEndsWithItsFailureAndIsNotCarriedOn) {
    test::LinkedController c(link, 300);
    Connect();
    // Gone right after the read's first reply, back half a second later while the read waits.
    const auto& t = form->Device->State.Counters;
    std::uint32_t before = 0;  // tries run out, at the loss
    bool cut = false;
    form->Device->Rx.FrameCounted = [&, counted = form->Device->Rx.FrameCounted](std::uint32_t n) {
        counted(n);
        if (cut || form->Device->State.RxFrame[1] != kReadCode) return;
        cut = true, before = t.PreSendTimeouts + t.ReplyTimeouts;
        c.Stop();
        QTimer::singleShot(500, [&] { c.Start(); });
    };
    form->Parameters->Button4->click();  // returns when the read has ended
    ASSERT_TRUE(cut);
    EXPECT_EQ(t.PreSendTimeouts + t.ReplyTimeouts, before);  // not one try waited on the lost device
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_NE(dialogs.boxes[0].text, "Параметры успешно прочитаны из устройства.");
    EXPECT_TRUE(FramesAgain());  // after the read, by itself
    EXPECT_EQ(dialogs.errors.size(), 1u);
}

TEST_F(FormLink, DevicePathOpensAsItIs) {
    form->OpenDevicePath(pty2.Path());
    EXPECT_TRUE(form->ComPort1->Connected());
    termios t{};
    // The line settings reached the device: 9600 8N1, raw.
    // Read through the pair's own handle on the device.
    ASSERT_EQ(tcgetattr(pty2.Slave(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), speed_t(B9600));
    EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(t.c_cflag & PARENB, tcflag_t(0));
    EXPECT_EQ(t.c_cflag & CSTOPB, tcflag_t(0));
    EXPECT_EQ(t.c_lflag & ICANON, tcflag_t(0));
}

// ---- command line ---------------------------------------------------------------------------

TEST(CommandLine, OptionsAndRefusals) {
    EXPECT_FALSE(ParseAppOptions({}).demo);
    EXPECT_FALSE(ParseAppOptions({}).port.has_value());
    EXPECT_EQ(*ParseAppOptions({"--port", "COM3"}).port, "COM3");
    EXPECT_EQ(*ParseAppOptions({"--port", "/dev/ttyUSB0"}).port, "/dev/ttyUSB0");
    const AppOptions demo = ParseAppOptions({"--demo", "--model", "201"});
    EXPECT_TRUE(demo.demo);
    EXPECT_EQ(demo.model, 201);
    EXPECT_THROW(ParseAppOptions({"--port"}), AppUsageError);
    EXPECT_THROW(ParseAppOptions({"--model", "7"}), AppUsageError);
    EXPECT_THROW(ParseAppOptions({"--demo", "--port", "COM1"}), AppUsageError);
    EXPECT_THROW(ParseAppOptions({"--bogus"}), AppUsageError);
    EXPECT_NO_THROW(ParseAppOptions({"-platform", "offscreen"}));  // Qt's own options pass
}

}  // namespace
}  // namespace lum
