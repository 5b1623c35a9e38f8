// --demo where the simulator is not built: the option is refused.
#include "cli/Demo.h"

#include "cli/Errors.h"

namespace lum::cli {

struct DemoController::Impl {};

DemoController::DemoController() = default;
DemoController::~DemoController() = default;

std::string DemoController::Start(std::uint8_t, std::chrono::milliseconds) {
    throw CliError(ExitBadArguments, "--demo недоступен в этой сборке: симулятор контроллера не собран");
}

}  // namespace lum::cli
