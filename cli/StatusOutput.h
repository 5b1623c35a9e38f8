#pragma once
// A status record as lumctl prints it: the measurements page's captions and texts in an
// aligned listing, one line per record for --follow, and the JSON object of the README's
// schema. Pure functions, any thread.
#include <nlohmann/json.hpp>
#include <string>

#include "cli/Session.h"
#include "telemetry/StatusRecord.h"

namespace lum::cli {

// "ЛУМ-бензин v2.0" for 200 (no trailing space); "модель N" for an unknown code.
std::string ModelName(std::uint8_t code);

// The English key of each flag lamp, in FlagLamp order.
extern const std::array<const char*, kFlagLampCount> kFlagKeys;

// "auto", "semi-auto", "manual" or "unknown".
std::string ModeKey(const StatusRecord& r);

nlohmann::json StatusJson(const StatusRecord& r, const StatusTexts& texts);
// The full listing: caption, value.
std::string StatusListing(const StatusRecord& r, const StatusTexts& texts);
// One line for --follow, and the header line above the first.
std::string StatusLineHeader();
std::string StatusLine(const StatusRecord& r, const StatusTexts& texts);

}  // namespace lum::cli
