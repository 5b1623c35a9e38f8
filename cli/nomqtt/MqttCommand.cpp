// Built where no MQTT client library is found (the Windows cross-build): lumctl has no mqtt
// command.
#include "cli/MqttCommand.h"

namespace lum::cli {

OptionalCommand AddMqttCommand(const CommandMaker&) {
    return {};
}

}  // namespace lum::cli
