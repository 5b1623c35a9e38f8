#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "StatusFrame.h"
#include "telemetry/StatusPresenter.h"

namespace lum {
namespace {

using test::StatusFrame;

// Records every call as one line of text.
class RecordingView : public IMeasurementsView, public ICatalogView, public IChartSink {
  public:
    std::vector<std::string> calls;
    std::vector<std::pair<ChartChannel, double>> points;

    void ClearIndicatorsError() override { calls.push_back("clear"); }
    void SetModeLamps(bool a, bool s, bool m) override { Log("lamps ", a, s, m); }
    void SetModeSwitches(bool a, bool s) override { Log("switches ", a, s); }
    void SetStatusText(const std::string& t) override { calls.push_back("status " + t); }
    void SetGuPointerColour(Rgb c) override { Log("pointer ", +c.r, ',', +c.g, ',', +c.b); }
    void SetClockText(const std::string& t) override { calls.push_back("clock " + t); }
    void SetVoltage(VoltageGauge g, double v) override { Log("voltage ", static_cast<int>(g), ' ', v); }
    void SetBattery(double v) override { Log("battery ", v); }
    void SetUps(double v) override { Log("ups ", v); }
    void SetMotorHoursText(const std::string& t) override { calls.push_back("motor " + t); }
    void SetServiceText(const std::string& t) override { calls.push_back("service " + t); }
    void SetSignal(double v) override { Log("signal ", v); }
    void SetCarrierText(const std::string& t) override { calls.push_back("carrier " + t); }
    void SetTemperature(int i, double v) override { Log("temp ", i, ' ', v); }
    void SetFlagLamp(FlagLamp l, bool lit) override { Log("flag ", static_cast<int>(l), ' ', lit); }
    void LoadCatalogForModel(std::uint8_t m) override { Log("load ", +m); }
    void ShowJournalPage() override { calls.push_back("journal"); }
    void SelectDeviceVersion(int i) override { Log("select ", i); }
    void AddPoint(ChartChannel c, double v) override {
        points.emplace_back(c, v);
        Log("point ", static_cast<int>(c), ' ', v);
    }

    bool Has(const std::string& call) const {
        return std::find(calls.begin(), calls.end(), call) != calls.end();
    }
    int Count(const std::string& prefix) const {
        int n = 0;
        for (const auto& c : calls) n += c.rfind(prefix, 0) == 0;
        return n;
    }

  private:
    template <class... A>
    void Log(A... a) {
        std::ostringstream s;
        (s << ... << a);
        calls.push_back(s.str());
    }
};

class StatusPresenterTest : public ::testing::Test {
  protected:
    RecordingView view;
    std::uint8_t currentModel = 200;
    bool blink = false;
    StatusPresenter presenter{view, view, view, currentModel, blink};

    bool Show(const StatusFrame& f) {
        view.calls.clear();
        view.points.clear();
        return presenter.DecodeStatusRecord(f.Bytes());
    }
};

TEST_F(StatusPresenterTest, UpdatesEveryIndicatorInOrder) {
    StatusFrame f;
    f.Mode(2).State(5).Timer(61).FlagsB(0x81);
    f.Set(8, 180).Set(9, 170).Set(10, 171).Set(11, 49);
    f.Set16(15, 125).Set16(17, 272).Set32(21, 12345).Set16(25, 59);
    f.Set(27, 0x23).Set(28, 0x59).Set(29, 0x07).Set(30, 20).Set(31, 1);
    f.Set(32, 0xF6).Set(33, 0xE2).Set(34, 5).Set(35, 40);
    ASSERT_TRUE(Show(f));

    std::vector<std::string> expected = {
        "clear",
        "lamps 100",
        "switches 10",
        "status Работа ГУ\n\r00:01:01",
        "pointer 0,0,255",
        "clock 23:59:07",
        "voltage 0 230",  // generator first, then A, B, C
        "voltage 1 220",
        "voltage 2 221",
        "voltage 3 0",
        "battery 12.5",
        "ups 27.2",
        "motor 205ч 45м",
        "service 0ч 59м",
        "signal -73",
        "carrier Зарегистрирован\n\rв домашней сети",
        "temp 0 -10",
        "temp 1 -30",
        "temp 2 5",
        "temp 3 40",
    };
    for (int i = 0; i < kFlagLampCount; ++i) {
        const bool lit =
            i == static_cast<int>(FlagLamp::ServicePeriod) || i == static_cast<int>(FlagLamp::Thermo);
        expected.push_back("flag " + std::to_string(i) + (lit ? " 1" : " 0"));
    }
    for (const char* p : {"point 0 220", "point 1 221", "point 2 0", "point 3 230", "point 4 -10",
                          "point 5 12.5", "point 7 5"})
        expected.emplace_back(p);
    EXPECT_EQ(view.calls, expected);
    EXPECT_EQ(presenter.Record().WORK_MODE, 5);
}

TEST_F(StatusPresenterTest, StartModeIsChartedOnlyInStateThree) {
    Show(StatusFrame().Mode(2).State(3).Timer(0x0104));
    ASSERT_EQ(view.points.size(), 8u);
    EXPECT_EQ(view.points[6].first, ChartChannel::START_MODE);
    EXPECT_EQ(view.points[6].second, 4);  // the start step, not the attempt
    EXPECT_EQ(view.points[7].first, ChartChannel::WORK_MODE);
    EXPECT_EQ(view.points[7].second, 3);

    for (std::uint8_t state : {0, 2, 4, 27}) {
        Show(StatusFrame().Mode(2).State(state).Timer(0x0104));
        EXPECT_EQ(view.points.size(), 7u) << +state;
        EXPECT_EQ(view.points.back().first, ChartChannel::WORK_MODE);
    }
    // Points are added whatever the mode.
    Show(StatusFrame().Mode(0).State(3));
    EXPECT_EQ(view.points.size(), 8u);
}

TEST_F(StatusPresenterTest, ModeLampsSwitchesAndStateText) {
    // Manual: fixed text, manual lamp, switches untouched, the state code is not looked at.
    Show(StatusFrame().Mode(1).State(22));
    EXPECT_TRUE(view.Has("status Ручной режим"));
    EXPECT_TRUE(view.Has("lamps 001"));
    EXPECT_EQ(view.Count("switches"), 0);
    EXPECT_FALSE(blink);

    // Automatic, semi-automatic bit set.
    Show(StatusFrame().Mode(2).FlagsA(0x20).State(0));
    EXPECT_TRUE(view.Has("lamps 010"));
    EXPECT_TRUE(view.Has("switches 01"));
    EXPECT_TRUE(view.Has("status Питание от сети"));

    // Automatic, bit clear.
    Show(StatusFrame().Mode(2).FlagsA(0x1F).State(0));
    EXPECT_TRUE(view.Has("lamps 100"));
    EXPECT_TRUE(view.Has("switches 10"));

    // Any other mode and state 27 leave the text (and, for the mode, the lamps) alone.
    for (std::uint8_t mode : {0, 3, 255}) {
        Show(StatusFrame().Mode(mode).State(5));
        EXPECT_EQ(view.Count("status"), 0) << +mode;
        EXPECT_EQ(view.Count("lamps"), 0) << +mode;
        EXPECT_EQ(view.Count("switches"), 0) << +mode;
        EXPECT_EQ(view.Count("pointer"), 0) << +mode;
        EXPECT_EQ(view.Count("clock"), 1) << +mode;  // the rest is shown as usual
    }
    Show(StatusFrame().Mode(2).State(27));
    EXPECT_EQ(view.Count("status"), 0);
    EXPECT_TRUE(view.Has("lamps 100"));
}

TEST_F(StatusPresenterTest, PointerBlinksFromLowOrHighVoltageUntilRunningIsReported) {
    Show(StatusFrame().Mode(2).State(22));
    EXPECT_TRUE(blink);
    Show(StatusFrame().Mode(2).State(1));
    EXPECT_TRUE(blink);
    EXPECT_EQ(view.Count("pointer"), 0);
    // Manual mode does not look at the state, even state 5.
    Show(StatusFrame().Mode(1).State(5));
    EXPECT_TRUE(blink);
    EXPECT_EQ(view.Count("pointer"), 0);
    Show(StatusFrame().Mode(2).State(5));
    EXPECT_FALSE(blink);
    EXPECT_TRUE(view.Has("pointer 0,0,255"));
    Show(StatusFrame().Mode(2).State(23));
    EXPECT_TRUE(blink);
    // Alarm states 24 and 25 neither start nor stop it.
    blink = false;
    Show(StatusFrame().Mode(2).State(24));
    Show(StatusFrame().Mode(2).State(25));
    EXPECT_FALSE(blink);
}

TEST(BlinkTick, AlternatesYellowAndRedOnlyWhileBlinking) {
    EXPECT_EQ(BlinkTick(true, kRgbYellow), kRgbRed);
    EXPECT_EQ(BlinkTick(true, kRgbRed), kRgbYellow);
    EXPECT_EQ(BlinkTick(true, kRgbBlue), kRgbYellow);
    EXPECT_EQ(BlinkTick(true, Rgb{255, 255, 1}), kRgbYellow);
    EXPECT_FALSE(BlinkTick(false, kRgbYellow).has_value());
    // Three ticks from blue: yellow, red, yellow.
    Rgb c = kRgbBlue;
    std::vector<Rgb> seen;
    for (int i = 0; i < 3; ++i) seen.push_back(c = *BlinkTick(true, c));
    EXPECT_EQ(seen, (std::vector<Rgb>{kRgbYellow, kRgbRed, kRgbYellow}));
}

TEST_F(StatusPresenterTest, ReportedModelSwitchesTheCatalogueOnce) {
    Show(StatusFrame().Model(200));
    EXPECT_EQ(view.Count("load"), 0);

    Show(StatusFrame().Model(201));
    EXPECT_EQ(currentModel, 201);
    // Lifted error state first, then the switch, then the record.
    ASSERT_GE(view.calls.size(), 4u);
    EXPECT_EQ((std::vector<std::string>(view.calls.begin(), view.calls.begin() + 4)),
              (std::vector<std::string>{"clear", "load 201", "journal", "select 1"}));

    Show(StatusFrame().Model(201));
    EXPECT_EQ(view.Count("load"), 0);
    Show(StatusFrame().Model(7));
    EXPECT_EQ(view.Count("load"), 0);
    EXPECT_EQ(currentModel, 201);

    Show(StatusFrame().Model(30));
    EXPECT_TRUE(view.Has("select 3"));
    Show(StatusFrame().Model(202));
    EXPECT_TRUE(view.Has("select 2"));
    Show(StatusFrame().Model(200));
    EXPECT_TRUE(view.Has("select 0"));
    EXPECT_EQ(currentModel, 200);
}

// A tree with edited values is kept and the other model reported; an unedited one follows.
class EditedView : public RecordingView {
  public:
    bool edited = false;
    std::vector<int> reported;  // -1: report cleared
    bool TreeEdited() const override { return edited; }
    void ReportOtherModel(std::optional<std::uint8_t> m) override { reported.push_back(m ? *m : -1); }
};

TEST(SelectCatalogForModel, FollowsTheUsersChoiceAndHoldsEditedValues) {
    struct Case {
        std::uint8_t code;
        bool edited;
        ModelSwitch result;
        std::uint8_t currentAfter;
        int reported;  // -2: nothing reported
    };
    const Case cases[] = {
        {30, false, ModelSwitch::None, 30, -1},       // the user picked v3 in the selector
        {30, true, ModelSwitch::None, 30, -1},        // the same model clears a report
        {200, true, ModelSwitch::Held, 30, 200},      // edits kept, the other model named
        {201, true, ModelSwitch::Held, 30, 201},
        {200, false, ModelSwitch::Switched, 200, -1},  // unedited: follows the controller
        {0, true, ModelSwitch::None, 30, -2},         // unknown codes change nothing
        {31, false, ModelSwitch::None, 30, -2},
    };
    for (const Case& c : cases) {
        EditedView view;
        view.edited = c.edited;
        std::uint8_t current = 30;
        EXPECT_EQ(SelectCatalogForModel(c.code, current, view), c.result) << +c.code << c.edited;
        EXPECT_EQ(current, c.currentAfter) << +c.code;
        EXPECT_EQ(view.Has("load " + std::to_string(c.code)), c.result == ModelSwitch::Switched) << +c.code;
        EXPECT_EQ(view.reported, c.reported == -2 ? std::vector<int>{} : std::vector<int>{c.reported}) << +c.code;
    }
}

TEST_F(StatusPresenterTest, ShortRecordChangesNothing) {
    Show(StatusFrame().Mode(2).State(22));
    auto bytes = StatusFrame().Model(201).Mode(2).State(5).Bytes();
    bytes.resize(bytes.size() - 2);
    view.calls.clear();
    view.points.clear();
    EXPECT_FALSE(presenter.DecodeStatusRecord(bytes));
    EXPECT_TRUE(view.calls.empty());
    EXPECT_TRUE(view.points.empty());
    EXPECT_EQ(currentModel, 200);
    EXPECT_TRUE(blink);
    EXPECT_EQ(presenter.Record().WORK_MODE, 22);
    EXPECT_EQ(presenter.ShortRecordsIgnored(), 1u);
    EXPECT_EQ(presenter.RecordsShown(), 1u);
}

TEST_F(StatusPresenterTest, UnknownRegistrationKeepsTheCarrierText) {
    Show(StatusFrame().Set(31, 6));
    EXPECT_EQ(view.Count("carrier"), 0);
    Show(StatusFrame().Set(31, 4));
    EXPECT_TRUE(view.Has("carrier Хер значет че происходит"));
}

TEST(ChartRecorder, StampsEachPointWithTheClockAtAdding) {
    ChartModel model;
    double now = 1000;
    ChartRecorder rec(model, [&] { return now += 0.25; });
    rec.AddPoint(ChartChannel::PhaseA, 220);
    rec.AddPoint(ChartChannel::WORK_MODE, 5);
    ASSERT_EQ(model.Series(0).size(), 1u);
    EXPECT_DOUBLE_EQ(model.Series(0).Back().time, 1000.25);
    EXPECT_DOUBLE_EQ(model.Series(7).Back().time, 1000.5);
    EXPECT_DOUBLE_EQ(model.Series(7).Back().value, 5);
}

}  // namespace
}  // namespace lum
