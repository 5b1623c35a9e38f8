// The "Терминал+лог" page of the window: received and sent lines in Memo1, the display
// and log switches with the file-name buttons, the clear button, the view that follows
// the newest line only from the bottom, and the health line.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QScrollBar>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/PageTerminal.h"
#include "app/Unit1.h"
#include "link/FrameCodec.h"
#include "tests/app/QtTestApp.h"

namespace lum {
namespace {

namespace fs = std::filesystem;

std::string StatusFrame() {
    std::vector<std::uint8_t> bytes = {1, 21, 0, 0, 36};
    bytes.resize(5 + 36, 0);
    bytes[5] = 200;
    std::uint8_t check = 0;
    for (auto b : bytes) check ^= b;
    bytes.push_back(check);
    std::string text(1, '\x10');
    for (auto b : bytes) text += ByteToHex(b);
    return text + '\r';
}

class TerminalPageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::EnsureApp();
        form = std::make_unique<TForm1>(dialogs);
        dir = fs::temp_directory_path() / ("lum-terminal-page-" + std::to_string(getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override {
        form.reset();
        fs::remove_all(dir);
    }
    static bool Until(const std::function<bool()>& pred, int ms = 5000) {
        QElapsedTimer t;
        t.start();
        while (!pred() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return pred();
    }
    QStringList MemoLines() const { return form->TerminalLog->Memo1->toPlainText().split('\n', Qt::SkipEmptyParts); }
    void Receive(const std::string& chunk) { form->Device->Rx.Chunk(chunk); }

    ScriptedDialogs dialogs;
    std::unique_ptr<TForm1> form;
    fs::path dir;
};

TEST_F(TerminalPageTest, ReceivedAndSentLinesInterleaveAndClearKeepsTheNumbering) {
    form->TerminalLog->iSwitchLed2->click();  // "Отображать данные" on
    ASSERT_TRUE(form->TerminalLog->Term().ShowData());
    Receive(
        "\x10"
        "01");
    form->TerminalLog->Term().SentFrame(
        "<< \x10"
        "002200000022\r");
    Receive(
        "02\r\x10"
        "03\r");
    ASSERT_TRUE(Until([&] { return MemoLines().size() == 3; })) << form->TerminalLog->Memo1->toPlainText().toStdString();
    const QStringList lines = MemoLines();
    EXPECT_EQ(lines[0], QStringLiteral("<< ␐002200000022␍"));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("0 "))) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(" ␐0102␍")));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("1 ")));
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral(" ␐03␍")));

    QTest::mouseClick(form->TerminalLog->Button5, Qt::LeftButton);
    EXPECT_TRUE(form->TerminalLog->Memo1->toPlainText().isEmpty());
    EXPECT_TRUE(form->TerminalLog->Term().ShowData());  // nothing else changes
    Receive("x\r");
    ASSERT_TRUE(Until([&] { return MemoLines().size() == 1; }));
    EXPECT_TRUE(MemoLines()[0].startsWith(QStringLiteral("2 ")));
}

TEST_F(TerminalPageTest, DisplayOffShowsOnlySentFrames) {
    EXPECT_FALSE(form->TerminalLog->iSwitchLed2->active());
    Receive(StatusFrame());
    form->TerminalLog->Term().SentFrame(
        "<<\x10"
        "0005000040"
        "41\r");
    Receive(StatusFrame());
    ASSERT_TRUE(Until([&] { return !MemoLines().isEmpty(); }));
    QTest::qWait(2 * TerminalPage::kFlushMs);
    EXPECT_EQ(MemoLines(), QStringList{QStringLiteral("<<␐000500004041␍")});
    EXPECT_EQ(form->StatusPanelText(0), QStringLiteral("Пакетов принято: 2"));
}

TEST_F(TerminalPageTest, LogSwitchWithoutANameWarnsAndTurnsTheSwitchesOff) {
    form->TerminalLog->iSwitchLed2->click();
    form->Service->iSwitchLed3->click();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text, "Задайте имя LOG-файла");
    EXPECT_EQ(dialogs.boxes[0].caption, "Warning");
    EXPECT_EQ(dialogs.boxes[0].buttons, MsgButtons::Ok);
    EXPECT_FALSE(form->TerminalLog->iSwitchLed1->active());
    EXPECT_FALSE(form->Service->iSwitchLed3->active());  // no switch shows a log that is not kept
    EXPECT_FALSE(form->TerminalLog->iSwitchLed2->active());
    EXPECT_FALSE(form->TerminalLog->Term().ShowData());
    EXPECT_FALSE(form->TerminalLog->Term().LogActive());
}

TEST_F(TerminalPageTest, NameFromEitherButtonServesBothSwitchesAndTheLogIsAppended) {
    const fs::path log = dir / "traffic.txt";
    { std::ofstream(log) << "earlier\n"; }
    dialogs.fileAnswers.push_back(log.string());
    QTest::mouseClick(form->Service->Button15, Qt::LeftButton);  // on "Дополнительно"
    dialogs.fileAnswers.push_back(std::nullopt);        // cancelled: the name stays
    QTest::mouseClick(form->TerminalLog->Button6, Qt::LeftButton);
    EXPECT_EQ(form->TerminalLog->Term().LogFileName(), log.string());
    EXPECT_EQ(dialogs.appendChoices, 2);  // chosen as a file to append to: no "replace?" question

    form->Service->iSwitchLed3->click();
    form->TerminalLog->iSwitchLed1->click();
    form->TerminalLog->iSwitchLed1->click();  // off again: iSwitchLed3 keeps the log open
    Receive("a\r");
    EXPECT_TRUE(form->TerminalLog->Term().LogActive());
    form->Service->iSwitchLed3->click();
    EXPECT_FALSE(form->TerminalLog->Term().LogActive());
    Receive("b\r");
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_TRUE(dialogs.errors.empty());
    std::ifstream in(log, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_TRUE(text.str().starts_with("earlier\n0 ")) << text.str();
    EXPECT_TRUE(text.str().ends_with(" a\r\n")) << text.str();
}

TEST_F(TerminalPageTest, UnwritableLogShowsOneErrorSwitchesOffAndEveryFrameIsCounted) {
    { std::ofstream(dir / "plain"); }
    dialogs.fileAnswers.push_back((dir / "plain" / "log.txt").string());
    form->TerminalLog->Button6->click();
    form->TerminalLog->iSwitchLed1->click();
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_NE(dialogs.errors[0].find("log.txt"), std::string::npos) << dialogs.errors[0];
    EXPECT_FALSE(form->TerminalLog->iSwitchLed1->active());
    EXPECT_FALSE(form->Service->iSwitchLed3->active());
    for (int i = 0; i < 4; ++i) Receive(StatusFrame());
    QTest::qWait(50);
    EXPECT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(form->StatusPanelText(0), QStringLiteral("Пакетов принято: 4"));
    EXPECT_EQ(form->TerminalLog->Term().LineCount(), 4u);
}

TEST_F(TerminalPageTest, WriteFailureDuringReceptionIsShownOnceFromTheEventLoop) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    dialogs.fileAnswers.push_back("/dev/full");
    form->Service->Button15->click();
    form->Service->iSwitchLed3->click();
    ASSERT_TRUE(form->TerminalLog->Term().LogActive());
    for (int i = 0; i < 3; ++i) Receive(StatusFrame());
    EXPECT_TRUE(dialogs.errors.empty());  // not inside the receive handler
    EXPECT_FALSE(form->Service->iSwitchLed3->active());
    ASSERT_TRUE(Until([&] { return !dialogs.errors.empty(); }));
    QTest::qWait(50);
    EXPECT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(form->StatusPanelText(0), QStringLiteral("Пакетов принято: 3"));
}

TEST_F(TerminalPageTest, ViewFollowsTheNewestLineOnlyFromTheBottom) {
    form->SetPageVisible(form->TabSheet3, true);
    form->PageControl1->setCurrentWidget(form->TabSheet3);
    form->show();
    form->TerminalLog->iSwitchLed2->click();
    QScrollBar* bar = form->TerminalLog->Memo1->verticalScrollBar();
    auto feed = [&](int n) {
        std::string chunk;
        for (int i = 0; i < n; ++i)
            chunk +=
                "\x10"
                "0115000024000000000000000000000000000000000000\r";
        Receive(chunk);
        form->TerminalLog->Flush();
    };
    feed(200);
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
    bar->setValue(10);  // the engineer reads back
    feed(100);
    EXPECT_EQ(bar->value(), 10);
    bar->setValue(bar->maximum());
    feed(100);
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_EQ(form->TerminalLog->Memo1->lineCount(), 400);
}

TEST_F(TerminalPageTest, HealthLineCountsFramesAndTurnsRedOnASilentLine) {
    QLabel* panel = form->TerminalLog->LinkHealthPanel;
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->objectName(), QStringLiteral("LinkHealthPanel"));
    EXPECT_TRUE(panel->toolTip().contains(QStringLiteral("контрольным байтом")));
    Receive(StatusFrame() + StatusFrame() +
            "\x10"
            "0115\x10");
    ASSERT_TRUE(Until([&] { return panel->text().startsWith(QStringLiteral("Кадры 2  КС 0  Иск 1")); }, 2500))
        << panel->text().toStdString();
    EXPECT_NE(panel->palette().color(QPalette::WindowText), QColor(Qt::red));
    ASSERT_TRUE(Until([&] { return panel->palette().color(QPalette::WindowText) == QColor(Qt::red); }, 5000));
    EXPECT_TRUE(panel->text().contains(QStringLiteral("Тишина 3,")) ||
                panel->text().contains(QStringLiteral("Тишина 4,")))
        << panel->text().toStdString();
}

}  // namespace
}  // namespace lum
