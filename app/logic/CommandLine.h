#pragma once
// The tool's command line (a Linux extension; started without options the tool behaves
// exactly as an engineer expects: no port is opened until one is picked).
//   --port DEVICE   open a port at start: a COM name (COM3) or a device path (/dev/ttyUSB0)
//   --demo          start the built-in simulated controller and open it
//   --model CODE    the simulated controller's model with --demo (a code of the model table, params/Catalog.h)
//   --help          print the options
//   --version       print the program, its version and git revision (help is set too, so
//                   that the entry prints and ends)
// Pure functions, any thread.
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace lum {

struct AppOptions {
    std::optional<std::string> port;
    bool demo = false;
    int model = 200;
    bool help = false;
    bool version = false;
};

class AppUsageError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// The arguments after the program name; Qt's own options (e.g. -platform) are left alone.
AppOptions ParseAppOptions(const std::vector<std::string>& args);
std::string AppHelpText();
// "configurator VERSION (ревизия REVISION)": the entry passes the build's version.
std::string AppVersionText(std::string_view version, std::string_view revision);

}  // namespace lum
