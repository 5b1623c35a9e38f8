// The window's long waits against the simulated controller on a pseudo-terminal, timed
// by the wall clock: a journal reading on a controller that sends but answers nothing
// (--drop 1, 300 ms), "Стоп" pressed during a full journal reading and during a
// configuration read (1000 ms), the unread count after the device is lost in the middle of
// a reading, a configuration read and a write cut by the loss (300 ms); then configuration
// reads through the window at --noise 0.01 --chunked, 300 ms, each compared with the
// controller's memory. Prints each time, the box shown and the status bar's text.
//
//   bench_gui_field_waits [NOISY_READS, default 5]
#include <QApplication>
#include <QTimer>
#include <chrono>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "app/Application.h"
#include "app/Pages.h"
#include "app/QtSafeSync.h"
#include "app/Unit1.h"
#include "sim/SimRunner.h"
#include "tests/support/ScriptedDialogs.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

struct Bench {
    lum::ScriptedDialogs dialogs;
    lum::TForm1 form{dialogs};
    lum::sim::SimRunner sim;

    void Connect(const lum::sim::SimOptions& o) {
        form.OpenDevicePath(sim.Start(o));
        const auto until = Clock::now() + 5s;
        while (form.Device->State.RxFrameCount == 0 && Clock::now() < until) QApplication::processEvents();
    }
    std::string LastBox() const { return dialogs.boxes.empty() ? "(нет)" : dialogs.boxes.back().text; }
    std::string Status() const { return form.StatusPanelText(1).toStdString(); }
    // Runs `click` (a handler that returns when the operation ends) with `during` fired
    // `after` into it; the time from `during` (or from the click) to the end.
    double Time(const std::function<void()>& click, std::chrono::milliseconds after = 0ms,
                const std::function<void()>& during = {}) {
        Clock::time_point from = Clock::now();
        QObject scope;  // an operation over before `after` cancels `during` with it
        if (during) QTimer::singleShot(after, &scope, [&] {
            from = Clock::now();
            during();
        });
        click();
        return Seconds(Clock::now() - from);
    }
};

lum::sim::SimOptions Options(int intervalMs, double drop, int events, int alarms) {
    lum::sim::SimOptions o;
    o.interval = std::chrono::milliseconds(intervalMs);
    o.drop = drop;
    o.eventRecords = events;
    o.alarmRecords = alarms;
    return o;
}

// A controller that listens only after its status records (no chained requests): operations
// take their plain length, so that a stop or a loss comes while they run.
lum::sim::SimOptions Plain(lum::sim::SimOptions o) {
    o.listenAfterStatus = true;
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    lum::TApplication app(argc, argv);
    {
        Bench b;
        lum::InstallQtSafeSync(b.dialogs);
        b.Connect(Options(300, 1.0, 105, 50));
        const double t = b.Time([&] { b.form.Journals->Button13->click(); });
        std::printf("journal, --drop 1, 300 ms: ended after %.1f s\n  box: %s\n  status: %s\n", t, b.LastBox().c_str(),
                    b.Status().c_str());
        b.sim.Stop();
        lum::UninstallQtSafeSync();
    }
    {
        Bench b;
        lum::InstallQtSafeSync(b.dialogs);
        b.Connect(Plain(Options(1000, 0, 105, 50)));
        const double t = b.Time([&] { b.form.Journals->Button13->click(); }, 4000ms,
                                [&] { b.form.Journals->JournalStop->Button->click(); });
        std::printf("journal, 1000 ms, \"Стоп\" after 4 s: ended %.2f s after the press, %d lines listed\n  box: %s\n"
                    "  status: %s\n",
                    t, b.form.Journals->Memo3->document()->lineCount(), b.LastBox().c_str(), b.Status().c_str());
        const double r = b.Time([&] { b.form.Parameters->Button4->click(); }, 2500ms,
                                [&] { b.form.Parameters->TransferStop->Button->click(); });
        std::printf("configuration read, 1000 ms, \"Стоп\" after 2.5 s: ended %.2f s after the press\n  box: %s\n", r,
                    b.LastBox().c_str());
        b.sim.Stop();
        lum::UninstallQtSafeSync();
    }
    {
        Bench b;
        lum::InstallQtSafeSync(b.dialogs);
        b.Connect(Plain(Options(300, 0, 105, 50)));
        const double t = b.Time([&] { b.form.Journals->Button13->click(); }, 6000ms, [&] { b.sim.Stop(); });
        const auto listed = b.form.Journals->JournalEvents.size() + b.form.Journals->JournalAlarms.size();
        std::printf("journal, 300 ms, device lost after 6 s: ended %.3f s later, %zu records listed\n  box: %s\n"
                    "  status: %s (listed + unread = 155 when right)\n  loss messages: %zu\n",
                    t, listed, b.LastBox().c_str(), b.Status().c_str(), b.dialogs.errors.size());
        lum::UninstallQtSafeSync();
    }
    for (const bool write : {false, true}) {
        Bench b;
        lum::InstallQtSafeSync(b.dialogs);
        b.Connect(Plain(Options(300, 0, 0, 0)));
        QPushButton* button = write ? b.form.Parameters->Button3 : b.form.Parameters->Button4;
        const double t = b.Time([&] { button->click(); }, 700ms, [&] { b.sim.Stop(); });
        std::printf("configuration %s, 300 ms, device lost after 0.7 s: ended %.3f s later\n  box: %s\n"
                    "  loss messages: %zu\n",
                    write ? "write" : "read", t, b.LastBox().c_str(), b.dialogs.errors.size());
        lum::UninstallQtSafeSync();
    }
    {
        Bench b;
        lum::InstallQtSafeSync(b.dialogs);
        lum::sim::SimOptions o = Options(300, 0, 40, 8);
        o.noise = 0.01;
        o.chunked = true;
        b.Connect(o);
        const int reads = argc > 1 ? std::atoi(argv[1]) : 5;
        int ok = 0, corrupted = 0;
        double worst = 0;
        for (int i = 0; i < reads; ++i) {
            const double t = b.Time([&] { b.form.Parameters->Button4->click(); });
            worst = std::max(worst, t);
            if (b.LastBox() != "Параметры успешно прочитаны из устройства.") continue;
            ++ok;
            lum::sim::Memory m{};
            b.sim.WithController([&](lum::sim::ControllerCore& core, lum::sim::TimePoint) { m = core.GetMemory(); });
            if (!std::equal(m.begin() + 4, m.end(), b.form.Parameters->Image.begin() + 4)) ++corrupted;  // 0-3: the hour counter runs
        }
        std::printf("configuration reads, --noise 0.01 --chunked, 300 ms: %d of %d, worst %.1f s, %d differing from the "
                    "controller\n  last box: %s\n",
                    ok, reads, worst, corrupted, b.LastBox().c_str());
        b.sim.Stop();
        lum::UninstallQtSafeSync();
    }
    return 0;
}
