#pragma once
// `lumctl mqtt`: where the tool is built with an MQTT client (libmosquitto; cli/mqtt/), the
// command that puts the controller on a broker; elsewhere (cli/nomqtt/) no such command.
//
// Threads: main thread only.
#include <CLI/CLI.hpp>
#include <functional>
#include <string>

#include "cli/Context.h"

namespace lum::cli {

struct CommandMaker {
    // A new command with the tool's help conventions (group, -h, example, global options).
    std::function<CLI::App*(const char* name, const char* description, const std::string& example)> command;
    // A number option's check in Russian: an integer within [low, high].
    std::function<CLI::Validator(long low, long high)> integerIn;
};

// Adds the command; returns what runs it once it was parsed, nothing where there is none.
struct OptionalCommand {
    CLI::App* app = nullptr;
    std::function<int(Context&)> run;
};
OptionalCommand AddMqttCommand(const CommandMaker& make);

}  // namespace lum::cli
