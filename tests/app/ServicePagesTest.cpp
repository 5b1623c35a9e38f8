// The pages "Дополнительно" and "Журнал событий" against the simulated controller on a
// pseudo-terminal: every command shows in the controller's next status frames, the
// password unlocks, the refusals send nothing, both journals are listed and saved.
#include <gtest/gtest.h>

#include <QTest>

#include <QDate>
#include <QTest>
#include <QRegularExpression>
#include <QTime>
#include <QTimer>
#include <fstream>
#include <sstream>

#include "app/QtSafeSync.h"
#include "app/Unit1.h"
#include "sim/SimRunner.h"
#include "tests/app/QtTestApp.h"

namespace lum {
namespace {

using namespace std::chrono_literals;

class ServicePages : public ::testing::Test {
  protected:
    void SetUp() override {
        test::EnsureApp();
        InstallQtSafeSync(dialogs);
        form = std::make_unique<TForm1>(dialogs);
    }
    void TearDown() override {
        form.reset();
        sim.Stop();
        UninstallQtSafeSync();
    }
    // Starts the simulated controller and opens the window's port on it.
    void Connect(sim::SimOptions options = Fast()) {
        const std::string path = sim.Start(options);
        form->OpenDevicePath(path);
        ASSERT_TRUE(form->ComPort1->Connected());
        ASSERT_TRUE(Until([&] { return form->Device->State.RxFrameCount > 0; }));
    }
    static sim::SimOptions Fast() {
        sim::SimOptions o;
        o.interval = 50ms;
        o.listenWindow = 40ms;
        return o;
    }
    // A controller with the journals given, sending often so that a reading is quick.
    static sim::SimOptions WithJournals(int events, int alarms) {
        sim::SimOptions o;
        o.interval = 40ms;
        o.listenWindow = 35ms;  // wide enough for a loaded machine's delays
        o.eventRecords = events;
        o.alarmRecords = alarms;
        return o;
    }
    static sim::SimOptions Unchained(sim::SimOptions o) { return o.listenAfterStatus = true, o; }
    // Runs `action` once, while a reading runs, as soon as its progress shows `records` events
    // asked and the list shows two: what the test does then does not hang on the machine's speed.
    void OnceEventsRead(int records, std::function<void()> action) {
        auto* poll = new QTimer(form.get());
        QObject::connect(poll, &QTimer::timeout, form.get(), [this, poll, records, action] {
            static const QRegularExpression re(QStringLiteral("^События: (\\d+) из"));
            const auto m = re.match(form->StatusPanelText(1));
            if (!m.hasMatch() || m.captured(1).toInt() < records || form->Journals->Memo3->blockCount() < 2) return;
            poll->stop();
            poll->deleteLater();
            action();
        });
        poll->start(10);
    }
    static bool Until(const std::function<bool()>& pred, int ms = 10000) { return test::WaitUntil(pred, ms); }
    sim::Memory Memory() {
        sim::Memory m{};
        sim.WithController([&](sim::ControllerCore& core, sim::TimePoint) { m = core.GetMemory(); });
        return m;
    }
    int Requests() {
        int n = 0;
        sim.WithController([&](sim::ControllerCore& core, sim::TimePoint) { n = core.Stats().requests; });
        return n;
    }
    // Requests whose reply went wrong or missed its wait: on a loaded machine each may be asked
    // again, one request more.
    int FailedRequests() const {
        const auto& c = form->Device->State.Counters;
        return static_cast<int>(c.ReplyTimeouts + c.WrongCode + c.CorruptReply + c.ShortReply);
    }
    std::string Status() const { return form->Measurements->iLabel_Status->text().toStdString(); }
    void Unlock() {
        form->Service->Edit4->setText(QStringLiteral("40617283"));
        form->Service->Button14->click();
    }

    ScriptedDialogs dialogs;
    sim::SimRunner sim;
    std::unique_ptr<TForm1> form;
};

TEST_F(ServicePages, PasswordUnlocksTheWritesAndTheTerminalPageOnlyWhenExact) {
    const auto locked = [&] {
        return !form->Service->Edit1->isEnabled() && !form->Service->Edit2->isEnabled() && !form->Service->Button7->isEnabled() &&
               !form->Service->Edit3->isEnabled() && !form->Service->Button10->isEnabled() &&
               !form->PageVisible(form->TabSheet3);
    };
    ASSERT_TRUE(locked());
    // The entry shows one "*" per character; the journal lists take no typing.
    form->Service->Edit4->setText(QStringLiteral("4ж6"));
    EXPECT_EQ(form->Service->Edit4->displayText(), QStringLiteral("***"));
    QTest::keyClicks(form->Journals->Memo3, QStringLiteral("x"));
    QTest::keyClicks(form->Journals->Memo4, QStringLiteral("x"));
    EXPECT_EQ(form->Journals->Memo3->toPlainText() + form->Journals->Memo4->toPlainText(), QStringLiteral("-пусто--пусто-"));
    for (const char* wrong : {"40617283 ", " 40617283", "4061728", ""}) {
        form->Service->Edit4->setText(QString::fromUtf8(wrong));
        form->Service->Button14->click();
        EXPECT_TRUE(locked()) << "'" << wrong << "'";
    }
    Unlock();
    EXPECT_TRUE(form->Service->Edit1->isEnabled() && form->Service->Edit2->isEnabled() && form->Service->Button7->isEnabled() &&
                form->Service->Edit3->isEnabled() && form->Service->Button10->isEnabled());
    EXPECT_TRUE(form->PageVisible(form->TabSheet3));
    // A second confirmation, right or wrong, changes nothing.
    form->Service->Edit4->setText(QStringLiteral("x"));
    form->Service->Button14->click();
    Unlock();
    EXPECT_TRUE(form->Service->Button7->isEnabled() && form->Service->Button10->isEnabled() &&
                form->PageVisible(form->TabSheet3));
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(ServicePages, UnlockingWhileTheLinkIsHeldEnablesTheWritesWhenItIsFree) {
    auto op = form->Device->Tx.Begin();
    ASSERT_FALSE(form->Service->Button7->isEnabled());
    Unlock();
    EXPECT_TRUE(form->Service->Edit1->isEnabled());
    EXPECT_FALSE(form->Service->Button7->isEnabled());  // a transaction holds the link
    op.Release();
    EXPECT_TRUE(form->Service->Button7->isEnabled());
    EXPECT_TRUE(form->Service->Button10->isEnabled());
}

TEST_F(ServicePages, RefusedEntriesWarnOrFailAndSendNothing) {
    Connect();
    Unlock();
    const int before = Requests();
    struct Case {
        QLineEdit* field;
        QString text;
        QPushButton* button;
        std::string warning;  // empty: a conversion error instead
    };
    const Case cases[] = {
        {form->Service->Edit5, QStringLiteral("24"), form->Service->Button16, kGuTimeRangeText},
        {form->Service->Edit8, QStringLiteral("-1"), form->Service->Button17, kGuTimeRangeText},
        {form->Service->Edit1, QStringLiteral("-5"), form->Service->Button7, kNegativeMotorHoursText},
        {form->Service->Edit3, QStringLiteral("1234567"), form->Service->Button10, kSerialLengthText},
        {form->Service->Edit6, QString(), form->Service->Button16, {}},
        {form->Service->Edit2, QStringLiteral("5 м"), form->Service->Button7, {}},
    };
    for (const Case& c : cases) {
        const QString old = c.field->text();
        c.field->setText(c.text);
        dialogs.boxes.clear();
        dialogs.errors.clear();
        c.button->click();
        if (c.warning.empty()) {
            ASSERT_EQ(dialogs.errors.size(), 1u) << c.text.toStdString();
            EXPECT_EQ(dialogs.errors[0], "'" + c.text.toStdString() + "' is not a valid integer value");
            EXPECT_TRUE(dialogs.boxes.empty());
        } else {
            ASSERT_EQ(dialogs.boxes.size(), 1u) << c.text.toStdString();
            EXPECT_EQ(dialogs.boxes[0].text, c.warning);
            EXPECT_EQ(dialogs.boxes[0].caption, "Warning");
            EXPECT_TRUE(dialogs.errors.empty());
        }
        c.field->setText(old);
    }
    // Not one of them reached the line (given the time a request would need to arrive).
    Until([] { return false; }, 300);
    EXPECT_EQ(Requests(), before);
    EXPECT_NE(std::string(kGuTimeRangeText).find("18 ч 12 мин"), std::string::npos);
    form->Service->Edit3->setText(QStringLiteral("ABCDEFG中"));
    dialogs.boxes.clear();
    form->Service->Button10->click();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_NE(dialogs.boxes[0].text.find("1251"), std::string::npos) << dialogs.boxes[0].text;
    EXPECT_EQ(Requests(), before);
}

TEST_F(ServicePages, WritesThatFindNoControllerSaySo) {
    Unlock();  // the port is not even open
    form->Service->Edit1->setText(QStringLiteral("1000"));
    form->Service->Button7->click();
    form->Service->Edit3->setText(QStringLiteral("ABCDEFGH"));
    form->Service->Button10->click();
    ASSERT_EQ(dialogs.boxes.size(), 2u);
    for (const auto& box : dialogs.boxes) {
        EXPECT_EQ(box.text, "Нет связи. Устройство занято или не подключено. Попробуйте еще раз.");
        EXPECT_EQ(box.caption, "Ошибка");
    }
    // A command says it through the link's own box, once.
    form->Service->Button8->click();
    ASSERT_EQ(dialogs.boxes.size(), 3u);
    EXPECT_EQ(dialogs.boxes[2].text, "глююююк");
    EXPECT_EQ(dialogs.boxes[2].caption, "Error");
}

TEST_F(ServicePages, MotorHoursAndSerialNumberReachTheControllersMemoryAndStatus) {
    Connect();
    Unlock();
    form->Service->Edit1->setText(QStringLiteral("1000"));
    form->Service->Edit2->setText(QStringLiteral("5"));
    form->Service->Button7->click();
    EXPECT_TRUE(Until([&] { return form->Measurements->iEdit_Motoclock->text() == QStringLiteral("1000ч 5м"); }))
        << form->Measurements->iEdit_Motoclock->text().toStdString();
    sim::Memory m = Memory();
    EXPECT_EQ((std::vector<int>{m[0], m[1], m[2], m[3]}), (std::vector<int>{0x00, 0x00, 0xEA, 0x65}));
    form->Service->Edit3->setText(QStringLiteral("АБВ12345"));
    form->Service->Button10->click();
    EXPECT_TRUE(Until([&] { return Memory()[184] == 0xC0; }));
    m = Memory();
    EXPECT_EQ(std::string(m.begin() + 184, m.begin() + 192),
              "\xC0\xC1\xC2"
              "12345");
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(ServicePages, ClockSyncShowsThePcTimeInTheNextStatusFrame) {
    sim::SimOptions o = Fast();
    o.clock = {3, 4, 5, 1, 6, 25};  // far from any time the test runs at
    Connect(o);
    form->Service->Button12->click();
    const auto shownNearNow = [&] {
        const QTime shown = QTime::fromString(form->Measurements->iEdit_Time->text(), QStringLiteral("hh:mm:ss"));
        return shown.isValid() && std::abs(shown.secsTo(QTime::currentTime())) <= 2;
    };
    EXPECT_TRUE(Until(shownNearNow)) << form->Measurements->iEdit_Time->text().toStdString();
    sim::ClockTime c;
    sim.WithController([&](sim::ControllerCore& core, sim::TimePoint now) { c = core.Clock(now); });
    const QDate today = QDate::currentDate();
    EXPECT_EQ(c.day, today.day());
    EXPECT_EQ(c.month, today.month());
    EXPECT_EQ(c.year, today.year() % 100);
    // One reading of an injected clock goes out as it is.
    form->Service->LocalTimeSource = [] { return LocalDateTime{2026, 12, 31, 21, 59, 58}; };
    form->Service->Button12->click();
    EXPECT_TRUE(Until([&] {
        return form->Measurements->iEdit_Time->text().startsWith(QStringLiteral("21:59:5")) ||
               form->Measurements->iEdit_Time->text().startsWith(QStringLiteral("22:00:0"));
    }));
    sim.WithController([&](sim::ControllerCore& core, sim::TimePoint now) { c = core.Clock(now); });
    EXPECT_EQ((std::vector<int>{c.day, c.month, c.year}), (std::vector<int>{31, 12, 26}));
}

TEST_F(ServicePages, ModeSwitchesFlipTheLampsThroughTheNextStatusFrames) {
    Connect();
    ASSERT_TRUE(Until([&] { return form->Service->iSwitchLed4->active() && !form->Service->iSwitchLed5->active(); }));
    form->Service->iSwitchLed5->click();
    EXPECT_TRUE(Until([&] {
        return !form->Service->iSwitchLed4->active() && form->Service->iSwitchLed5->active() && form->Measurements->iLed_Semiauto->active();
    }));
    bool semi = false;
    sim.WithController([&](sim::ControllerCore& core, sim::TimePoint) { semi = core.SemiAutomatic(); });
    EXPECT_TRUE(semi);
    form->Service->iSwitchLed4->click();
    EXPECT_TRUE(Until([&] {
        return form->Service->iSwitchLed4->active() && !form->Service->iSwitchLed5->active() && form->Measurements->iLed_Auto->active();
    }));
    // A click on the switch already on: it turns its lamp off, the next status turns it on again.
    form->Service->iSwitchLed4->click();
    EXPECT_TRUE(Until([&] { return form->Service->iSwitchLed4->active(); }));
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(ServicePages, StartRunsTheGeneratorThroughItsStatesAndStopEndsIt) {
    Connect();
    ASSERT_TRUE(Until([&] { return Status() == "Питание от сети"; })) << Status();
    form->Service->Edit5->setText(QStringLiteral("0"));
    form->Service->Edit6->setText(QStringLiteral("1"));
    form->Service->Button16->click();
    const auto sawState = [&](const std::string& prefix) {
        return Until([&] { return Status().rfind(prefix, 0) == 0; }, 30000);
    };
    EXPECT_TRUE(sawState("Запуск ГУ")) << Status();
    EXPECT_TRUE(sawState("Прогрев ГУ")) << Status();
    EXPECT_TRUE(sawState("Работа ГУ")) << Status();
    int workMode = 0;
    sim.WithController([&](sim::ControllerCore& core, sim::TimePoint) { workMode = core.WorkMode(); });
    EXPECT_EQ(workMode, 5);
    form->Service->Button17->click();
    EXPECT_TRUE(sawState("Охлаждение ГУ")) << Status();
    EXPECT_TRUE(sawState("Питание от сети")) << Status();
    EXPECT_TRUE(dialogs.boxes.empty());
}

// Reads both journals through the window and checks them against the controller's own.
void ExpectJournalsListed(TForm1& form, sim::SimRunner& sim) {
    std::vector<sim::JournalRecord> events, alarms;
    sim.WithController([&](sim::ControllerCore& core, sim::TimePoint) {
        events = core.Journal(0);
        alarms = core.Journal(1);
    });
    ASSERT_EQ(events.size(), 105u);
    ASSERT_EQ(alarms.size(), 50u);
    const auto expected = [](const std::vector<sim::JournalRecord>& records, JournalSelector j) {
        QStringList lines;
        for (const auto& r : records) lines << QString::fromStdString(JournalLine(j, sim::JournalBytes(r)));
        return lines.join('\n').toStdString();
    };
    EXPECT_EQ(form.Journals->Memo3->toPlainText().toStdString(), expected(events, JournalSelector::Events));
    EXPECT_EQ(form.Journals->Memo4->toPlainText().toStdString(), expected(alarms, JournalSelector::Alarms));
    EXPECT_EQ(form.StatusPanelText(1).toStdString(), "Записей: 155");
}

TEST_F(ServicePages, BothFullJournalsAreListedAndSavedAsCsv) {
    Connect(Unchained(WithJournals(105, 50)));  // chained, the reading is over before the progress is seen
    // The window goes on receiving status frames during the reading.
    const std::uint32_t framesBefore = form->Device->State.RxFrameCount;
    const int failedBefore = FailedRequests();
    QStringList progress;
    QObject probe;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &probe, [&] {
        if (progress.isEmpty() || progress.back() != form->StatusPanelText(1))
            progress << form->StatusPanelText(1);
    });
    poll.start(30);
    form->Journals->Button13->click();
    poll.stop();
    ExpectJournalsListed(*form, sim);
    // Full journals: 155 records and no end marker asked for. On a loaded machine a reply can
    // miss its wait and the record is asked again, so each failed request may add one.
    EXPECT_GE(Requests(), 155);
    EXPECT_LE(Requests(), 155 + 1 + FailedRequests() - failedBefore);  // and the chained one ignored
    EXPECT_GT(form->Device->State.RxFrameCount, framesBefore + 155);
    EXPECT_GE(progress.size(), 3) << progress.join('|').toStdString();  // progress shown while reading
    EXPECT_TRUE(form->Journals->Button13->isEnabled());

    const std::string path = testing::TempDir() + "i9-journal";
    dialogs.fileAnswers.push_back(path);
    form->Journals->Button18->click();
    std::ifstream file(path + ".csv", std::ios::binary);
    ASSERT_TRUE(file.is_open());
    std::stringstream stream;
    stream << file.rdbuf();
    const std::string content = stream.str();
    EXPECT_EQ(content, JournalCsv(form->Journals->JournalEvents, form->Journals->JournalAlarms));
    EXPECT_EQ(content.rfind("\xEF\xBB\xBF"
                            "журнал,индекс,время,дата,код,текст\r\n",
                            0),
              0u);
    EXPECT_EQ(std::count(content.begin(), content.end(), '\n'), 156);
    EXPECT_TRUE(dialogs.errors.empty());
    // A folder that cannot be written: the error box names the file.
    dialogs.fileAnswers.push_back("/nonexistent-dir/j.csv");
    form->Journals->Button18->click();
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_NE(dialogs.errors[0].find("/nonexistent-dir/j.csv"), std::string::npos);
}

// Every fifth request is dropped by the controller; the retries still get every record.
// With seed 240 the simulator's drop choices never drop three requests in a row over the
// first 800 requests, so no record is lost to the drops alone. On a loaded machine a reply
// can also miss its wait; such a failure may cost a record, and no more than one each.
TEST_F(ServicePages, JournalsAreCompleteDespiteDroppedRequests) {
    sim::SimOptions o = WithJournals(105, 50);
    o.drop = 0.2;
    o.seed = 240;
    Connect(o);
    form->Journals->Button13->click();
    int dropped = 0;
    sim.WithController([&](sim::ControllerCore& core, sim::TimePoint) { dropped = core.Stats().dropped; });
    EXPECT_GT(dropped, 15);
    EXPECT_GE(Requests(), 155 + dropped);
    if (const int missedWaits = FailedRequests() - dropped; missedWaits <= 0) {
        ExpectJournalsListed(*form, sim);
    } else {
        const auto listed = form->Journals->JournalEvents.size() + form->Journals->JournalAlarms.size();
        EXPECT_GE(static_cast<int>(listed), 155 - missedWaits);
    }
}

TEST_F(ServicePages, ClosingTheWindowStopsAReading) {
    Connect(Unchained(WithJournals(105, 50)));
    OnceEventsRead(3, [&] { form->close(); });
    form->Journals->Button13->click();
    EXPECT_LT(Requests(), 155);
    EXPECT_GT(form->Journals->Memo3->blockCount(), 1);   // some lines came before the close
    EXPECT_TRUE(form->Journals->JournalEvents.empty());  // a window closing keeps nothing
    EXPECT_FALSE(form->Device->Tx.Busy());
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(ServicePages, EscOrStopEndsAReadingAndTheListsKeepWhatCame) {
    Connect(Unchained(WithJournals(105, 50)));
    form->show();
    form->activateWindow();
    ASSERT_TRUE(Until([&] { return QApplication::activeWindow() == form.get(); }));
    for (const bool esc : {true, false}) {
        form->Journals->Memo4->setPlainText(QStringLiteral("прошлое"));
        dialogs.boxes.clear();
        OnceEventsRead(3, [&] {
            EXPECT_FALSE(form->Journals->JournalStop->Button->isHidden());
            if (esc) QTest::keyClick(form.get(), Qt::Key_Escape);
            else form->Journals->JournalStop->Button->click();
        });
        form->Journals->Button13->click();
        EXPECT_TRUE(form->Journals->JournalStop->Button->isHidden()) << esc;
        const int listed = static_cast<int>(form->Journals->JournalEvents.size());
        EXPECT_GT(listed, 0) << esc;
        EXPECT_LT(listed, 105) << esc;
        EXPECT_EQ(form->Journals->Memo3->blockCount(), listed) << esc;
        EXPECT_EQ(form->Journals->Memo4->toPlainText(), QStringLiteral("прошлое")) << esc;
        EXPECT_EQ(form->StatusPanelText(1).toStdString(), JournalUnreadText(155 - listed)) << esc;
        ASSERT_EQ(dialogs.boxes.size(), 1u) << esc;
        EXPECT_EQ(dialogs.boxes[0].text.rfind("Чтение журналов остановлено", 0), 0u) << esc;
    }
}

TEST_F(ServicePages, JournalsWithEndMarkersAndASilentLine) {
    Connect(WithJournals(7, 0));
    form->Journals->Button13->click();
    EXPECT_EQ(form->Journals->Memo3->blockCount(), 7);
    EXPECT_EQ(form->Journals->Memo4->toPlainText(), QString());
    EXPECT_GE(Requests(), 8 + 1);
    EXPECT_LE(Requests(), 8 + 1 + FailedRequests());
    EXPECT_EQ(form->StatusPanelText(1), QStringLiteral("Записей: 7"));
    // The controller gone: the reading ends after one record's tries, and says so; the
    // alarm list it did not reach stays; every record counts as not read.
    form->Journals->Memo4->setPlainText(QStringLiteral("прошлое"));
    sim.Stop();
    form->Journals->Button13->click();
    EXPECT_EQ(form->Journals->Memo3->toPlainText(), QString());
    EXPECT_EQ(form->Journals->Memo4->toPlainText(), QStringLiteral("прошлое"));
    EXPECT_EQ(form->StatusPanelText(1), QStringLiteral("Не прочитано записей: 155"));
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text.rfind(kNoLinkRetryText, 0), 0u);
    EXPECT_NE(dialogs.boxes[0].text.find("Журнал аварий не читался"), std::string::npos);
}

}  // namespace
}  // namespace lum
