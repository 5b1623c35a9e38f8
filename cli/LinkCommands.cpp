// ports, status, monitor: the serial ports present and what the controller sends.
#include <ostream>

#include "cli/Commands.h"
#include "cli/Errors.h"
#include "cli/Json.h"
#include "cli/Platform.h"
#include "cli/StatusOutput.h"
#include "cli/Table.h"
#include "cli/Traffic.h"
#include "serial/PortList.h"

namespace lum::cli {

void FollowOverLosses(Context& ctx, Session& s, std::function<void(const std::string& error)> lost,
                      std::function<void()> resumed) {
    s.KeepFollowing(
        [&ctx, lost = std::move(lost)](const std::string& error) {
            ctx.Err() << "lumctl: " << error << "\n" << std::flush;
            if (lost) lost(error);
        },
        [&ctx](const std::string& note) {
            if (!ctx.Options().quiet) ctx.Err() << note << "\n" << std::flush;
        },
        std::move(resumed));
}

int CmdPorts(Context& ctx, bool json) {
    std::vector<std::string> names;
    try {
        ListComPorts(names, "COM");
    } catch (const std::exception& e) {
        throw CliError(ExitNoController, std::string("список портов: ") + e.what());
    }
    if (json) {
        nlohmann::json list = nlohmann::json::array();
        for (const auto& n : names) {
            const std::string device = ComNameToDevicePath(n);
            list.push_back({{"name", n}, {"device", device}, {"description", PortDescription(device)}});
        }
        ctx.Out() << JsonText(list, 2);
        return ExitDone;
    }
    if (names.empty()) {
        ctx.Out() << "Последовательных портов нет.\n";
        return ExitDone;
    }
    Table t({"Порт", "Устройство", "Адаптер"});
    for (const auto& n : names) {
        const std::string device = ComNameToDevicePath(n);
        t.Add({n, device, PortDescription(device)});
    }
    ctx.Out() << t.Render();
    return ExitDone;
}

int CmdStatus(Context& ctx, bool follow, bool json, int count) {
    Session& s = ctx.Open();
    const auto timeout = std::chrono::milliseconds(ctx.Options().statusTimeout);
    const StatusRecord& first = s.WaitForStatus(timeout);
    if (!follow) {
        ctx.Out() << (json ? JsonText(StatusJson(first, s.Texts()), 2) : StatusListing(first, s.Texts()));
        return ExitDone;
    }
    // --follow: every record as it comes (JSON: one object per line), until Ctrl-C.
    if (!json) ctx.Out() << StatusLineHeader();
    auto print = [&](const StatusRecord& r) {
        ctx.Out() << (json ? JsonText(StatusJson(r, s.Texts()), -1) : StatusLine(r, s.Texts())) << std::flush;
    };
    int printed = 0;
    auto each = [&](const StatusRecord& r) {
        if (count > 0 && printed >= count) return;
        print(r);
        ++printed;
    };
    each(first);
    s.OnStatus = each;
    FollowOverLosses(ctx, s);
    // Until Ctrl-C, N records, or the reader of stdout has gone (`| head -3`: seen between
    // records, not only at the next write).
    auto done = [&] { return !ctx.Out() || StdoutReaderGone() || (count > 0 && printed >= count); };
    while (!Interrupted() && !done()) s.Pump(timeout, done);
    s.OnStatus = nullptr;
    if (count > 0 && printed >= count) return ExitDone;
    if (StdoutReaderGone()) return ExitClosedPipe;
    return Interrupted() ? ExitInterrupted : ExitDone;
}

int CmdMonitor(Context& ctx, bool raw, int frames, bool json) {
    Session& s = ctx.Open();
    int seen = 0;
    std::uint32_t malformed = s.Link().State.Counters.Malformed;
    if (raw) {
        s.OnLine = [&](const std::string& line) {
            if (frames > 0 && seen >= frames) return;
            const auto now = std::chrono::system_clock::now();
            ctx.Out() << (json ? JsonText({{"time", TimeStamp(now)}, {"line", line}}, -1) : FormatRawLine(line, now))
                      << std::flush;
            ++seen;
        };
    } else {
        s.OnFrame = [&](const LinkState& state) {
            if (frames > 0 && seen >= frames) return;
            const auto now = std::chrono::system_clock::now();
            if (state.Counters.Malformed != malformed && !json) {
                ctx.Out() << TimeStamp(now) << "  <-  обрывков кадров отброшено: "
                          << state.Counters.Malformed - malformed << "\n";
                malformed = state.Counters.Malformed;
            }
            ctx.Out() << (json ? JsonText(FrameJson(state, now), -1) : FormatReceived(state, now)) << std::flush;
            ++seen;
        };
    }
    FollowOverLosses(ctx, s);
    auto done = [&] { return !ctx.Out() || StdoutReaderGone() || (frames > 0 && seen >= frames); };
    while (!Interrupted() && !done()) s.Pump(std::chrono::milliseconds(200), done);
    s.OnLine = nullptr;
    s.OnFrame = nullptr;
    if (StdoutReaderGone()) return ExitClosedPipe;
    return Interrupted() ? ExitInterrupted : ExitDone;
}

}  // namespace lum::cli
