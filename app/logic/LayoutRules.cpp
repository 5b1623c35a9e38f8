#include "app/logic/LayoutRules.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace lum::layout {

namespace {

// The rounding rule itself: the integer below, raised by one when the rest is over a half
// (restAgainstHalf > 0), or exactly a half (== 0) and the integer below is odd.
int RoundFromBelow(long long below, int restAgainstHalf) {
    const bool up = restAgainstHalf > 0 || (restAgainstHalf == 0 && below % 2 != 0);
    return static_cast<int>(up ? below + 1 : below);
}

}  // namespace

int RoundEven(double x) {
    const double below = std::floor(x);
    const double rest = x - below;
    return RoundFromBelow(static_cast<long long>(below), (rest > 0.5) - (rest < 0.5));
}

int DivRoundEven(long long num, long long den) {
    long long below = num / den;
    long long rest = num % den;
    if (rest < 0) {
        rest += den;
        --below;
    }
    return RoundFromBelow(below, (2 * rest > den) - (2 * rest < den));
}

namespace {

// Fractions of the rules in ten-thousandths, so that every product is rounded exactly.
using Frac = int;

struct Dial {
    const char* name;
    Frac size;
    Frac cx, cy;
    const char* display;
    const char* caption;
    Frac majorTick, pointer, hub;
};

constexpr Dial kDials[] = {
    {"iAnalog_A", 2300, 800, 3000, "iDigital_A", "Label1", 150, 100, 150},
    {"iAnalog_B", 2300, 2400, 3000, "iDigital_B", "Label2", 150, 100, 150},
    {"iAnalog_C", 2300, 4000, 3000, "iDigital_C", "Label3", 150, 100, 150},
    {"iAnalog_GU", 3200, 7200, 2500, "iDigital_GU", "Label4", 200, 150, 200},
};

struct Bar {
    const char* name;
    Frac width, height;
    Frac cx, cy;
    const char* display;
    Frac displayCx;
    const char* caption;  // nullptr: none
    Frac captionCx;
    int captionGap;
    Frac displayPitch = 0;  // not 0: the display is this wide less kTemperatureDisplayGap
};

constexpr Bar kBars[] = {
    {"iAnalog_ACC", 700, 3500, 9200, 2400, "iDigital_ACC", 9200, "Label5", 9200, 10},
    {"iAnalog_SignalStrength", 3500, 1000, 2400, 7500, "iDigital_SignalStrength", 2400, "Label8", 2400, 5},
    {"iAnalog_UPS", 3500, 1000, 2400, 5500, "iDigital_UPS", 2400, "Label17", 2400, 5},
    {"iAnalog_Temperature", 700, 3500, 6800, 7000, "iDigital_Temperature", 6800, "Label11", 8000, 10, 800},
    {"iAnalog_Temperature2", 700, 3500, 7600, 7000, "iDigital_Temperature2", 7600, nullptr, 0, 0, 800},
    {"iAnalog_Temperature3", 700, 3500, 8400, 7000, "iDigital_Temperature3", 8400, nullptr, 0, 0, 800},
    {"iAnalog_Temperature4", 700, 3500, 9200, 7000, "iDigital_Temperature4", 9200, nullptr, 0, 0, 800},
};

// Centred at 0.55 of the width, tops unchanged: the text fields with their captions, then
// the twelve lamps of the flag table and the GPRS lamp.
constexpr const char* kMiddleColumn[] = {
    "Label6",
    "iEdit_Motoclock",
    "Label7",
    "iEdit_TO",
    "Label18",
    "iEdit_Time",
    "iLed_THREE_LINE_FLAG",
    "iLed_DIRECT_START_FLAG",
    "iLed_SMART_START_FLAG",
    "iLed_GU_FREQ_FLAG",
    "iLed_TO_FLAG",
    "iLed_ACC_VOLTAGE_CONTROL_FLAG",
    "iLed_UPS_VOLTAGE_CONTROL_FLAG",
    "iLed_WORK_SLEEP_FLAG",
    "iLed_TEST_START_FLAG",
    "iLed_SHORT_FLAG",
    "iLed_GSM_ACTIVITY_FLAG",
    "iLed_THERMO_FLAG",
    "iLed_GPRS_FLAG",
};

class Rules {
  public:
    explicit Rules(const LayoutInput& in) {
        out_.controls = in.controls;
        S_ = in.statusBarHeight;
    }

    LayoutResult Run(const LayoutInput& in) {
        // The status bar along the bottom of the client area, the page control down to its top.
        const int statusTop = in.clientHeight - S_;
        if (auto* bar = Get("StatusBar1")) *bar = {0, statusTop, in.clientWidth, S_};
        W_ = RoundEven(in.outerWidth);
        auto* page = Get("PageControl1");
        H_ = statusTop - (page ? page->top : 0);
        out_.W = W_;
        out_.H = H_;
        m_ = std::min(W_, H_);
        if (page) {
            page->width = W_;
            page->height = H_;
        }
        if (auto* c = Get("ComboBox_DeviceVersions")) c->left = W_ - c->width - 160;

        for (const Dial& d : kDials) PlaceDial(d);
        for (const Bar& b : kBars) PlaceBar(b);
        PlaceTextPanels();
        PlaceOtherPages();
        return std::move(out_);
    }

  private:
    Geometry* Get(const char* name) {
        auto it = out_.controls.find(name);
        if (it != out_.controls.end()) return &it->second;
        if (std::find(out_.missing.begin(), out_.missing.end(), name) == out_.missing.end())
            out_.missing.emplace_back(name);
        return nullptr;
    }
    // All of the named controls, or false (and each missing one noted).
    bool GetAll(std::initializer_list<std::pair<const char*, Geometry**>> wanted) {
        bool all = true;
        for (auto& [name, slot] : wanted) {
            *slot = Get(name);
            all = all && *slot;
        }
        return all;
    }

    int FW(Frac f) const { return DivRoundEven(static_cast<long long>(f) * W_, 10000); }
    int FH(Frac f) const { return DivRoundEven(static_cast<long long>(f) * H_, 10000); }
    int CentreLeft(Frac f, const Geometry& c) const { return FW(f) - DivRoundEven(c.width, 2); }
    int CentreTop(Frac f, const Geometry& c) const { return FH(f) - DivRoundEven(c.height, 2); }
    int BottomRowTop(const Geometry& c) const { return H_ - S_ - DivRoundEven(c.height, 2) - 35; }

    void PlaceDial(const Dial& d) {
        Geometry *dial, *display, *caption;
        if (!GetAll({{d.name, &dial}, {d.display, &display}, {d.caption, &caption}})) return;
        const int size = DivRoundEven(static_cast<long long>(d.size) * m_, 10000);
        dial->width = dial->height = size;
        dial->left = CentreLeft(d.cx, *dial);
        display->left = CentreLeft(d.cx, *display);
        caption->left = CentreLeft(d.cx, *caption);
        dial->top = CentreTop(d.cy, *dial);
        display->top = FH(d.cy) + DivRoundEven(dial->height, 2) - DivRoundEven(display->height, 2) + 10;
        caption->top = FH(d.cy) - DivRoundEven(caption->height, 2) - DivRoundEven(dial->height, 2) - 10;
        GaugeMetrics g;
        g.majorTickLength = FW(d.majorTick);
        g.minorTickLength = DivRoundEven(g.majorTickLength, 2);
        g.pointerSize = FW(d.pointer);
        g.hubSize = FW(d.hub);
        out_.gauges[d.name] = g;
    }

    void PlaceBar(const Bar& b) {
        Geometry *bar, *display, *caption = nullptr;
        if (!GetAll({{b.name, &bar}, {b.display, &display}})) return;
        if (b.caption && !(caption = Get(b.caption))) return;
        if (b.displayPitch) display->width = FW(b.displayPitch) - kTemperatureDisplayGap;
        bar->width = FW(b.width);
        bar->height = FH(b.height);
        bar->left = CentreLeft(b.cx, *bar);
        bar->top = CentreTop(b.cy, *bar);
        display->left = CentreLeft(b.displayCx, *display);
        display->top = FH(b.cy) + DivRoundEven(bar->height, 2) - DivRoundEven(display->height, 2) + 10;
        if (caption) {
            caption->left = CentreLeft(b.captionCx, *caption);
            caption->top = FH(b.cy) - DivRoundEven(caption->height, 2) - DivRoundEven(bar->height, 2) - b.captionGap;
        }
        GaugeMetrics g;
        g.majorTickLength = FW(200);
        g.minorTickLength = DivRoundEven(g.majorTickLength, 2);
        g.pointerSize = FW(150);
        out_.gauges[b.name] = g;
    }

    void PlaceTextPanels() {
        Geometry *carrier, *label9;
        if (GetAll({{"iLabel_Carrier", &carrier}, {"Label9", &label9}})) {
            carrier->left = CentreLeft(2400, *carrier);
            carrier->top = CentreTop(9200, *carrier);
            label9->left = CentreLeft(2400, *label9);
            label9->top = FH(9200) - DivRoundEven(label9->height, 2) - DivRoundEven(carrier->height, 2) - 10;
        }
        if (auto* c = Get("ComboBox1")) c->left = W_ - c->width - 14;
        for (const char* name : kMiddleColumn)
            if (auto* c = Get(name)) c->left = CentreLeft(5500, *c);
        Geometry *status, *label10;
        if (GetAll({{"iLabel_Status", &status}, {"Label10", &label10}})) {
            status->left = CentreLeft(1800, *status);
            status->top = CentreTop(700, *status);
            label10->left = CentreLeft(1800, *label10);
            label10->top = FH(700) - DivRoundEven(label10->height, 2) - DivRoundEven(status->height, 2) - 10;
        }
        Geometry *autoLed, *semiLed, *manualLed;
        if (GetAll({{"iLed_Auto", &autoLed}, {"iLed_Semiauto", &semiLed}, {"iLed_Manual", &manualLed}})) {
            for (Geometry* led : {autoLed, semiLed, manualLed}) led->left = CentreLeft(4000, *led);
            autoLed->top = FH(700) - DivRoundEven(autoLed->height, 2) - 24;
            semiLed->top = CentreTop(700, *semiLed);
            manualLed->top = FH(700) - DivRoundEven(manualLed->height, 2) + 24;
        }
    }

    void PlaceOtherPages() {
        if (auto* tree = Get("TreeList1")) {
            tree->width = W_ - 14;
            tree->height = H_ - S_ - 86;
        }
        for (const char* name : {"Button1", "Button2", "Button3"})
            if (auto* b = Get(name)) b->top = BottomRowTop(*b);
        Geometry *b3, *b4;
        if (GetAll({{"Button3", &b3}, {"Button4", &b4}})) b3->left = W_ - b3->width - b4->width - 19;
        if (auto* b = Get("Button4")) {
            b->top = BottomRowTop(*b);
            b->left = W_ - b->width - 14;
        }
        if (auto* p = Get("ProgressBar1")) {
            p->top = BottomRowTop(*p);
            p->width = DivRoundEven(W_, 2) - 60;
            p->left = DivRoundEven(W_ - p->width, 2) - 10;
        }
        if (auto* memo = Get("Memo1")) {
            memo->width = W_ - 14;
            memo->height = H_ - S_ - 60 - memo->top;  // its top clears the top strip
        }
        for (const char* name : {"iSwitchLed2", "Button5"})
            if (auto* c = Get(name)) c->top = BottomRowTop(*c);
        if (auto* s = Get("iSwitchLed1")) {
            s->left = W_ - s->width - 14;
            s->top = BottomRowTop(*s);
        }
        Geometry *b6, *s1;
        if (GetAll({{"Button6", &b6}, {"iSwitchLed1", &s1}})) {
            b6->left = W_ - b6->width - s1->width - 19;
            b6->top = BottomRowTop(*b6);
        }
        const int halfColumn = DivRoundEven(W_ - 28, 4);  // RoundEven((W / 2 - 14) / 2)
        const int halfWidth = DivRoundEven(W_ - 28, 2);   // RoundEven(W / 2 - 14)
        if (auto* l = Get("Label19")) l->left = halfColumn - DivRoundEven(l->width, 2);
        if (auto* memo = Get("Memo3")) {
            memo->left = 0;
            memo->width = halfWidth;
            memo->height = H_ - S_ - 90;
        }
        if (auto* l = Get("Label20")) l->left = DivRoundEven(W_, 2) + halfColumn - DivRoundEven(l->width, 2);
        if (auto* memo = Get("Memo4")) {
            memo->left = DivRoundEven(W_, 2);
            memo->width = halfWidth;
            memo->height = H_ - S_ - 90;
        }
        if (auto* b = Get("Button13")) {
            b->top = BottomRowTop(*b);
            b->left = DivRoundEven(W_, 2) - DivRoundEven(b->width, 2) - 7;
        }
    }

    LayoutResult out_;
    int W_ = 0, H_ = 0, S_ = 0, m_ = 0;
};

}  // namespace

LayoutResult ApplyLayoutRules(const LayoutInput& input) {
    return Rules(input).Run(input);
}

const std::vector<std::string>& LayoutControlNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> n = {"StatusBar1", "PageControl1", "ComboBox_DeviceVersions"};
        for (const Dial& d : kDials) n.insert(n.end(), {d.name, d.display, d.caption});
        for (const Bar& b : kBars) {
            n.insert(n.end(), {b.name, b.display});
            if (b.caption) n.emplace_back(b.caption);
        }
        n.insert(n.end(), {"iLabel_Carrier", "Label9", "ComboBox1"});
        n.insert(n.end(), std::begin(kMiddleColumn), std::end(kMiddleColumn));
        n.insert(n.end(),
                 {"iLabel_Status", "Label10", "iLed_Auto",   "iLed_Semiauto", "iLed_Manual",  "TreeList1",
                  "Button1",       "Button2", "Button3",     "Button4",       "ProgressBar1", "Memo1",
                  "iSwitchLed2",   "Button5", "iSwitchLed1", "Button6",       "Label19",      "Memo3",
                  "Label20",       "Memo4",   "Button13"});
        return n;
    }();
    return names;
}

}  // namespace lum::layout
