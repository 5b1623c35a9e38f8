#include "app/logic/CommandLine.h"

#include "params/Catalog.h"

namespace lum {

AppOptions ParseAppOptions(const std::vector<std::string>& args) {
    AppOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= args.size()) throw AppUsageError("Option " + a + " needs a value");
            return args[++i];
        };
        if (a == "--port") {
            options.port = value();
            if (options.port->empty()) throw AppUsageError("--port needs a COM name or a device path");
        } else if (a == "--demo") {
            options.demo = true;
        } else if (a == "--model") {
            const std::string v = value();
            const auto code = ModelCodeFromText(v);
            if (!code) throw AppUsageError("--model takes " + ModelCodeList(" or ") + ", not " + v);
            options.model = *code;
        } else if (a == "--help" || a == "-h") {
            options.help = true;
        } else if (a == "--version") {
            options.help = options.version = true;
        } else if (a.rfind("--", 0) == 0) {
            throw AppUsageError("Unknown option " + a + " (see --help)");
        }
    }
    if (options.demo && options.port) throw AppUsageError("--demo and --port exclude each other");
    return options;
}

std::string AppVersionText(std::string_view version, std::string_view revision) {
    return "configurator " + std::string(version) + " (ревизия " + std::string(revision) + ")\n";
}

std::string AppHelpText() {
    return "Usage: configurator [--port DEVICE | --demo [--model CODE]]\n"
           "  --port DEVICE  open a port at start: a COM name (COM3) or a device path (/dev/ttyUSB0)\n"
           "  --demo         start the built-in simulated controller and open it\n"
           "  --model CODE   model of the simulated controller: " + ModelCodeList(" or ") + " (default 200)\n" +
           "Without options no port is opened; pick one in the \"COM-порт\" selector.\n";
}

}  // namespace lum
