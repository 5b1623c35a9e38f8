// The terminal under hours of traffic: 100,000 received lines of 30 characters (start
// byte, 28 hex digits, carriage return), cut into pieces of 1 to 64 characters as the port
// hands them over, go through the window's receive path with the display switch on. The
// screen takes a batch every `lines per batch` lines and repaints (offscreen) after each.
// Prints the time, the growth of the resident memory, the slowest batch, and the time of
// one "Очистить " (Button5) afterwards.
//
//   bench_gui_terminal [lines, default 100000] [lines per batch, default 100]
#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <random>
#include <string>

#include "app/Application.h"
#include "app/Pages.h"
#include "app/Unit1.h"
#include "tests/support/ScriptedDialogs.h"
#include "link/FrameCodec.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Resident memory of this process, in kilobytes.
long RssKb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kb = 0;
            status >> kb;
            return kb;
        }
        status.ignore(1 << 16, '\n');
    }
    return 0;
}

// One 30-character line: a frame of 14 bytes as the controller writes it.
std::string Line(unsigned n) {
    std::string text(1, '\x10');
    for (int i = 0; i < 14; ++i) text += lum::ByteToHex(static_cast<std::uint8_t>(n >> (i % 4 * 8)));
    return text + '\r';
}

}  // namespace

int main(int argc, char** argv) {
    const long lines = argc > 1 ? std::atol(argv[1]) : 100000;
    const long perBatch = argc > 2 ? std::atol(argv[2]) : 100;
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    lum::TApplication app(argc, argv);
    lum::ScriptedDialogs dialogs;
    lum::TForm1 form(dialogs);
    form.SetPageVisible(form.TabSheet3, true);
    form.PageControl1->setCurrentWidget(form.TabSheet3);
    form.show();
    form.TerminalLog->iSwitchLed2->click();  // "Отображать данные"
    QApplication::processEvents();

    // The traffic, cut beforehand so that only the terminal's work is timed.
    std::mt19937 rng(7);
    std::uniform_int_distribution<std::size_t> piece(1, 64);
    std::vector<std::vector<std::string>> batches;
    std::string pending;
    for (long n = 0; n < lines;) {
        std::vector<std::string> chunks;
        for (long k = 0; k < perBatch && n < lines; ++k, ++n) pending += Line(static_cast<unsigned>(n));
        while (!pending.empty()) {
            const std::size_t size = std::min(piece(rng), pending.size());
            chunks.push_back(pending.substr(0, size));
            pending.erase(0, size);
        }
        batches.push_back(std::move(chunks));
    }

    const long rssBefore = RssKb();
    double slowest = 0, receive = 0, append = 0;
    const std::clock_t cpuStart = std::clock();
    const auto start = Clock::now();
    for (const auto& chunks : batches) {
        const auto t0 = Clock::now();
        for (const auto& c : chunks) form.Device->Rx.Chunk(c);
        const auto t1 = Clock::now();
        form.TerminalLog->Flush();
        const auto t2 = Clock::now();
        QApplication::processEvents();  // the repaint of this batch
        receive += Ms(t1 - t0);
        append += Ms(t2 - t1);
        slowest = std::max(slowest, Ms(Clock::now() - t0));
    }
    const double total = Ms(Clock::now() - start);
    const double cpu = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    const long rssAfter = RssKb();
    const int shown = form.TerminalLog->Memo1->lineCount();

    const auto c0 = Clock::now();
    form.TerminalLog->Button5Click();
    QApplication::processEvents();
    const double clear = Ms(Clock::now() - c0);

    std::printf("terminal: %ld received lines of 30 characters, %zu batches of %ld lines, display on\n",
                lines, batches.size(), perBatch);
    std::printf("  lines in Memo1      : %d (LineCount %u)\n", shown, form.TerminalLog->Term().LineCount());
    std::printf(
        "  time                : %.0f ms (%.2f us per line; slowest batch %.1f ms)   target < 2000 ms\n",
        total, 1000.0 * total / static_cast<double>(lines), slowest);
    std::printf("  CPU time            : %.0f ms (the machine's other load left out)\n", cpu);
    std::printf(
        "  of which            : receive path and entries %.0f ms, Memo1 appends %.0f ms, repaints %.0f ms\n",
        receive, append, total - receive - append);
    std::printf("  resident memory     : +%.1f MB (%ld -> %ld kB)   target < 64 MB\n",
                (rssAfter - rssBefore) / 1024.0, rssBefore, rssAfter);
    std::printf("  one Button5 (clear) : %.1f ms\n", clear);
    return 0;
}
