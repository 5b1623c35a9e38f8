#include <gtest/gtest.h>

#include "app/logic/LayoutRules.h"

namespace lum::layout {
namespace {

// Every control the rules know, with plausible design sizes, in a window `outerW` wide whose
// client area holds a page control `pageH` high at its top and the status bar below it.
LayoutInput FullInput(int outerW, int pageH, int statusBar = 19) {
    LayoutInput in;
    in.outerWidth = outerW;
    in.clientWidth = outerW;
    in.clientHeight = pageH + statusBar;
    in.statusBarHeight = statusBar;
    for (const auto& name : LayoutControlNames()) in.controls[name] = {5, 7, 40, 13};
    in.controls["PageControl1"] = {0, 0, outerW, pageH};
    for (const char* d : {"iDigital_A", "iDigital_B", "iDigital_C", "iDigital_GU", "iDigital_ACC",
                          "iDigital_UPS", "iDigital_SignalStrength", "iDigital_Temperature",
                          "iDigital_Temperature2", "iDigital_Temperature3", "iDigital_Temperature4"})
        in.controls[d] = {0, 0, 70, 22};
    for (const char* b : {"Button1", "Button2", "Button3", "Button4"}) in.controls[b] = {0, 480, 100, 41};
    in.controls["Button13"] = {0, 480, 200, 41};
    in.controls["ComboBox_DeviceVersions"] = {541, 1, 109, 21};
    in.controls["ComboBox1"] = {695, 1, 96, 21};
    in.controls["iLed_Auto"] = in.controls["iLed_Semiauto"] = in.controls["iLed_Manual"] = {290, 8, 130, 18};
    in.controls["iLabel_Status"] = {40, 20, 200, 40};
    in.controls["iLabel_Carrier"] = {90, 466, 200, 40};
    in.controls["iSwitchLed1"] = {670, 490, 115, 22};
    in.controls["Button6"] = {560, 482, 100, 35};
    return in;
}

TEST(LayoutRounding, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(RoundEven(47.5), 48);
    EXPECT_EQ(RoundEven(28.5), 28);
    EXPECT_EQ(RoundEven(128.8), 129);
    EXPECT_EQ(RoundEven(179.2), 179);
    EXPECT_EQ(RoundEven(-0.5), 0);
    EXPECT_EQ(RoundEven(-1.5), -2);
    EXPECT_EQ(RoundEven(-1.6), -2);
    EXPECT_EQ(DivRoundEven(95, 2), 48);
    EXPECT_EQ(DivRoundEven(57, 2), 28);
    EXPECT_EQ(DivRoundEven(-3, 2), -2);
    EXPECT_EQ(DivRoundEven(-1, 2), 0);
    EXPECT_EQ(DivRoundEven(-5, 4), -1);
    EXPECT_EQ(DivRoundEven(105000, 10000), 10);  // 0.015 x 700 = 10.5
    EXPECT_EQ(DivRoundEven(135000, 10000), 14);  // 0.015 x 900 = 13.5
}

TEST(LayoutRules, PageControlOf800By560) {
    const auto r = ApplyLayoutRules(FullInput(800, 560));
    EXPECT_TRUE(r.missing.empty());
    EXPECT_EQ(r.W, 800);
    EXPECT_EQ(r.H, 560);
    EXPECT_EQ(r.controls.at("PageControl1").width, 800);
    EXPECT_EQ(r.controls.at("PageControl1").height, 560);
    EXPECT_EQ(r.controls.at("ComboBox_DeviceVersions").left, 800 - 109 - 160);
    EXPECT_EQ(r.controls.at("ComboBox1").left, 800 - 96 - 14);
    for (const char* d : {"iAnalog_A", "iAnalog_B", "iAnalog_C"}) {
        EXPECT_EQ(r.controls.at(d).width, 129) << d;
        EXPECT_EQ(r.controls.at(d).height, 129) << d;
    }
    EXPECT_EQ(r.controls.at("iAnalog_GU").width, 179);
    EXPECT_EQ(r.controls.at("iAnalog_GU").height, 179);

    // Phase A: centre x RoundEven(64) = 64, centre y RoundEven(168) = 168, half size RoundEven(64.5) = 64.
    EXPECT_EQ(r.controls.at("iAnalog_A"), (Geometry{0, 104, 129, 129}));
    EXPECT_EQ(r.controls.at("iDigital_A"), (Geometry{29, 168 + 64 - 11 + 10, 70, 22}));
    // Caption 40 x 13: RoundEven(6.5) = 6.
    EXPECT_EQ(r.controls.at("Label1"), (Geometry{44, 168 - 6 - 64 - 10, 40, 13}));
    EXPECT_EQ(r.gauges.at("iAnalog_A"), (GaugeMetrics{12, 6, 8, 12}));
    // Generator: centre x RoundEven(576), half size RoundEven(89.5) = 90.
    EXPECT_EQ(r.controls.at("iAnalog_GU").left, 576 - 90);
    EXPECT_EQ(r.controls.at("iAnalog_GU").top, 140 - 90);
    EXPECT_EQ(r.gauges.at("iAnalog_GU"), (GaugeMetrics{16, 8, 12, 16}));

    // Battery bar: 56 x 196 centred at (736, 134).
    EXPECT_EQ(r.controls.at("iAnalog_ACC"), (Geometry{708, 36, 56, 196}));
    EXPECT_EQ(r.controls.at("iDigital_ACC").top, 134 + 98 - 11 + 10);
    EXPECT_EQ(r.controls.at("Label5").top, 134 - 6 - 98 - 10);
    EXPECT_EQ(r.gauges.at("iAnalog_ACC"), (GaugeMetrics{16, 8, 12, std::nullopt}));
    // UPS bar: 280 x 56 centred at (192, 308); caption gap 5.
    EXPECT_EQ(r.controls.at("iAnalog_UPS"), (Geometry{52, 280, 280, 56}));
    EXPECT_EQ(r.controls.at("Label17").top, 308 - 6 - 28 - 5);
    // The temperature caption spans the four bars, centred at 0.80.
    EXPECT_EQ(r.controls.at("Label11").left, 640 - 20);
    // Temperature displays as wide as the 64 pixel pitch of their bars less a 6 pixel gap.
    EXPECT_EQ(r.controls.at("iDigital_Temperature3"), (Geometry{672 - 29, 392 + 98 - 11 + 10, 58, 22}));

    // State panel and mode lamps around y = RoundEven(39.2) = 39.
    EXPECT_EQ(r.controls.at("iLabel_Status"), (Geometry{144 - 100, 39 - 20, 200, 40}));
    EXPECT_EQ(r.controls.at("Label10").top, 39 - 6 - 20 - 10);
    EXPECT_EQ(r.controls.at("iLed_Auto").top, 39 - 9 - 24);
    EXPECT_EQ(r.controls.at("iLed_Semiauto").top, 39 - 9);
    EXPECT_EQ(r.controls.at("iLed_Manual").top, 39 - 9 + 24);
    EXPECT_EQ(r.controls.at("iLed_Manual").left, 320 - 65);
    EXPECT_EQ(r.controls.at("Label9").top, 515 - 6 - 20 - 10);  // RoundEven(0.92 x 560) = RoundEven(515.2)
}

// The window is 799 x 572 with a 19 pixel status bar; whatever frame the outer width stands
// for, the status bar spans the bottom of the client area and the page control ends at its top.
TEST(LayoutRules, PageControlEndsAtTheStatusBarTopWithAndWithoutAFrame) {
    struct Case {
        const char* what;
        int outerWidth;
        int pageTop;
    };
    for (const Case& c : {Case{"no frame", 799, 0}, Case{"framed", 809, 0}, Case{"page control lower", 799, 3}}) {
        LayoutInput in = FullInput(799, 553);
        in.outerWidth = c.outerWidth;
        in.clientWidth = 799;
        in.clientHeight = 572;
        in.controls["PageControl1"] = {0, c.pageTop, 640, 400};
        in.controls["StatusBar1"] = {0, 540, 700, 19};  // somewhere else before a resize
        const auto r = ApplyLayoutRules(in);
        const Geometry& page = r.controls.at("PageControl1");
        const Geometry& bar = r.controls.at("StatusBar1");
        EXPECT_EQ(bar, (Geometry{0, 553, 799, 19})) << c.what;
        EXPECT_EQ(page.top + page.height, bar.top) << c.what;
        EXPECT_EQ(r.H, page.height) << c.what;
        EXPECT_EQ(page.width, c.outerWidth) << c.what;
        // The proportional rules use that height: the registration panel, lowest on the
        // measurements page, is centred at 0.92 of it.
        const Geometry& carrier = r.controls.at("iLabel_Carrier");
        EXPECT_EQ(carrier.top, DivRoundEven(92LL * page.height, 100) - 20) << c.what;
    }
    // A taller window: the status bar follows the bottom edge.
    LayoutInput taller = FullInput(799, 553);
    taller.clientHeight = 700;
    const auto r = ApplyLayoutRules(taller);
    EXPECT_EQ(r.controls.at("StatusBar1").top, 681);
    EXPECT_EQ(r.controls.at("PageControl1").height, 681);
}

TEST(LayoutRules, TemperatureDisplaysKeepAGapAtAnyWidth) {
    const char* displays[] = {"iDigital_Temperature", "iDigital_Temperature2", "iDigital_Temperature3",
                              "iDigital_Temperature4"};
    for (int outerW : {640, 799, 800, 1024, 1280}) {
        const auto r = ApplyLayoutRules(FullInput(outerW, 553));
        for (int i = 0; i < 4; ++i) {
            const Geometry& d = r.controls.at(displays[i]);
            EXPECT_EQ(d.width, DivRoundEven(8LL * outerW, 100) - kTemperatureDisplayGap) << outerW;
            if (i == 0) continue;
            const Geometry& left = r.controls.at(displays[i - 1]);
            EXPECT_GE(d.left - (left.left + left.width), 4) << outerW << " " << displays[i];
        }
    }
}

TEST(LayoutRules, MiddleColumnCentresOddWidthsWithEvenRounding) {
    auto in = FullInput(800, 560);
    in.controls["Label6"] = {3, 250, 95, 13};
    in.controls["iLed_GPRS_FLAG"] = {3, 500, 130, 18};
    const auto r = ApplyLayoutRules(in);
    EXPECT_EQ(r.controls.at("Label6").left, 392);  // RoundEven(440) - RoundEven(47.5)
    EXPECT_EQ(r.controls.at("Label6").top, 250);   // tops unchanged
    EXPECT_EQ(r.controls.at("iLed_GPRS_FLAG").left, 440 - 65);
    EXPECT_EQ(r.controls.at("iLed_THERMO_FLAG").left, 440 - 20);
}

TEST(LayoutRules, TallPageControlTakesDialSizeFromItsWidth) {
    const auto r = ApplyLayoutRules(FullInput(400, 900));
    EXPECT_EQ(r.W, 400);
    EXPECT_EQ(r.H, 900);
    EXPECT_EQ(r.controls.at("iAnalog_B").width, 92);     // RoundEven(0.23 x 400)
    EXPECT_EQ(r.controls.at("iAnalog_GU").height, 128);  // RoundEven(0.32 x 400)
    // Bars still take their heights from H.
    EXPECT_EQ(r.controls.at("iAnalog_Temperature").height, 315);
}

TEST(LayoutRules, OtherPagesFollowTheBottomAndRightEdges) {
    const auto r = ApplyLayoutRules(FullInput(800, 560, 19));
    // Bottom row for a 41 pixel button: 560 - 19 - RoundEven(20.5) - 35.
    const int row41 = 560 - 19 - 20 - 35;
    EXPECT_EQ(r.controls.at("TreeList1").width, 786);
    EXPECT_EQ(r.controls.at("TreeList1").height, 560 - 19 - 86);
    EXPECT_EQ(r.controls.at("Button1").top, row41);
    EXPECT_EQ(r.controls.at("Button3"), (Geometry{800 - 100 - 100 - 19, row41, 100, 41}));
    EXPECT_EQ(r.controls.at("Button4"), (Geometry{800 - 100 - 14, row41, 100, 41}));
    // The progress bar takes its new width before it is centred: RoundEven((800 - 340) / 2) - 10.
    EXPECT_EQ(r.controls.at("ProgressBar1").width, 340);
    EXPECT_EQ(r.controls.at("ProgressBar1").left, 220);
    EXPECT_EQ(r.controls.at("Memo1").top, 7);
    EXPECT_EQ(r.controls.at("Memo1").height, 560 - 19 - 60 - 7);  // below the top strip, bottom kept
    EXPECT_EQ(r.controls.at("iSwitchLed1"), (Geometry{800 - 115 - 14, 560 - 19 - 11 - 35, 115, 22}));
    EXPECT_EQ(r.controls.at("Button6").left, 800 - 100 - 115 - 19);
    EXPECT_EQ(r.controls.at("Button6").top, 560 - 19 - 18 - 35);  // RoundEven(17.5) = 18
    EXPECT_EQ(r.controls.at("Memo3"), (Geometry{0, 7, 386, 560 - 19 - 90}));
    EXPECT_EQ(r.controls.at("Memo4"), (Geometry{400, 7, 386, 560 - 19 - 90}));
    EXPECT_EQ(r.controls.at("Label19").left, 193 - 20);
    EXPECT_EQ(r.controls.at("Label20").left, 400 + 193 - 20);
    EXPECT_EQ(r.controls.at("Button13").left, 400 - 100 - 7);

    // An odd width: RoundEven(399.5) = 400, RoundEven(385.5) = 386, RoundEven(192.75) = 193.
    const auto odd = ApplyLayoutRules(FullInput(799, 560, 19));
    EXPECT_EQ(odd.controls.at("Memo4").left, 400);
    EXPECT_EQ(odd.controls.at("Memo3").width, 386);
    EXPECT_EQ(odd.controls.at("Label19").left, 193 - 20);
    EXPECT_EQ(odd.controls.at("ProgressBar1").left, DivRoundEven(799 - 340, 2) - 10);
}

TEST(LayoutRules, ApplyingTwiceChangesNothing) {
    const auto first = ApplyLayoutRules(FullInput(799, 572));
    LayoutInput again = FullInput(799, 572);
    again.controls = first.controls;
    const auto second = ApplyLayoutRules(again);
    EXPECT_EQ(first.controls, second.controls);
    EXPECT_EQ(first.gauges, second.gauges);
}

TEST(LayoutRules, MissingControlsAreReportedAndTheRestIsPlaced) {
    auto in = FullInput(800, 560);
    in.controls.erase("Label2");
    in.controls.erase("Button4");
    const auto r = ApplyLayoutRules(in);
    EXPECT_EQ(r.missing, (std::vector<std::string>{"Label2", "Button4"}));
    // Phase B's dial needs its caption; the dial keeps its design place.
    EXPECT_EQ(r.controls.at("iAnalog_B"), in.controls.at("iAnalog_B"));
    EXPECT_EQ(r.controls.at("iAnalog_C").width, 129);
    EXPECT_EQ(r.controls.at("Button3").left, in.controls.at("Button3").left);
    EXPECT_EQ(r.controls.at("Memo4").left, 400);
}

}  // namespace
}  // namespace lum::layout
