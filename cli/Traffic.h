#pragma once
// Lines of `lumctl monitor` (and of --trace on stderr): each frame with its time stamp,
// its direction, its fields in hex and the verdict of its check byte.
//
//   12:00:01.250  <-  01 15 0000 24  C8 00 01 ...  КС верна  состояние
//   12:00:01.262  ->  00 05 0040 40  КС верна  чтение
//
// Pure functions, any thread.
#include <chrono>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <span>
#include <string>

#include "link/LinkState.h"

namespace lum::cli {

using WallTime = std::chrono::system_clock::time_point;

// "12:00:01.250" in local time.
std::string TimeStamp(WallTime at);

// What the code of a frame asks or carries, in words ("состояние", "чтение", ...).
std::string CodeName(std::uint8_t code);

// One frame: direction "<-" (from the controller) or "->" (to it), its bytes, the verdict.
std::string FormatFrame(WallTime at, const char* direction, std::span<const std::uint8_t> bytes, bool checkOk);
// The frame the receive path has just decoded into RxFrame.
std::string FormatReceived(const LinkState& state, WallTime at);
// A frame the transactions sent, as their echo hook gives it ("<< " or "<<", start byte,
// hex text, carriage return).
std::string FormatSent(const std::string& echoLine, WallTime at);
// The frame in RxFrame as one JSON object: time, direction, kind, code, address, count,
// data (numbers), check, check_ok, meaning; a frame too short for a header gives its
// bytes only.
nlohmann::json FrameJson(const LinkState& state, WallTime at);
// A received line as it came, control characters shown as <10>, <0D>.
std::string FormatRawLine(const std::string& line, WallTime at);

}  // namespace lum::cli
