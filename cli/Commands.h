#pragma once
// lumctl's commands. Each takes the shared context and its own arguments, prints on the
// context's streams and returns the exit code; failures the user must see raise CliError.
// Every command is a thin front end over the logic the window uses (link/, telemetry/,
// params/, service/).
//
// Threads: main thread only.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/Context.h"
#include "service/Commands.h"

namespace lum::cli {

struct OutputFormat {
    bool json = false;
    bool csv = false;
};

// Following (status --follow, monitor, mqtt) goes on over a lost port: its error once on stderr,
// then a note before each attempt to open it again (not with -q), until it is back; `lost` hears
// of each loss after its error, `resumed` of each return (Session::KeepFollowing).
void FollowOverLosses(Context& ctx, Session& s, std::function<void(const std::string& error)> lost = {},
                      std::function<void()> resumed = {});

int CmdPorts(Context& ctx, bool json);
// --follow: every record until Ctrl-C, or `count` records when it is above 0.
int CmdStatus(Context& ctx, bool follow, bool json, int count);
// Runs until Ctrl-C, or until `frames` frames (lines with --raw) when it is above 0.
int CmdMonitor(Context& ctx, bool raw, int frames, bool json);
// `outFile` as -o gave it (see WriteOutputFile): "-" is standard output.
int CmdRead(Context& ctx, const std::optional<std::string>& outFile, bool json);
int CmdDiff(Context& ctx, const std::string& file, bool json);
// write and set: --dry-run shows the changes and sends nothing; --json prints what changed
// and what the read-back showed as one object.
struct WriteOptions {
    bool dryRun = false;
    bool json = false;
};
int CmdWrite(Context& ctx, const std::string& file, const WriteOptions& options);
int CmdSet(Context& ctx, const std::vector<std::string>& assignments, const WriteOptions& options);
// params: every parameter of a model's catalogue, without a controller.
int CmdParams(Context& ctx, bool json);
int CmdShow(Context& ctx, const std::string& file, bool json);
int CmdJournal(Context& ctx, OutputFormat format);
// clock-sync, auto, semi-auto, sms-test, gprs-test, modem-restart: `name` as on the command
// line; start and stop take the time H:MM.
int CmdService(Context& ctx, const std::string& name, const std::string& time);
// The same command built and checked (CliError(2) for bad input) before anything is sent;
// `refresh` renews its data as the frame goes out (the clock).
struct PreparedCommand {
    ServiceRequest request;
    std::string caption;  // "Режим Полу-авто", "Старт ГУ на 1:30"
    std::function<void(ServiceRequest&)> refresh;
};
PreparedCommand PrepareService(const std::string& name, const std::string& time);
// Sent right after the controller's next frame; CliError(1) when none came or the port failed.
void SendPrepared(Context& ctx, PreparedCommand& command);
int CmdMotorHours(Context& ctx, const std::string& time);
int CmdSerialNumber(Context& ctx, const std::string& number);

}  // namespace lum::cli
