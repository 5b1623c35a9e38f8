#pragma once
// JSON text as lumctl prints it: UTF-8 kept as it is (not escaped), an invalid byte
// replaced rather than failing, one newline at the end; indent -1 gives one line.
// Pure, any thread.
#include <nlohmann/json.hpp>
#include <string>

namespace lum::cli {

inline std::string JsonText(const nlohmann::json& j, int indent = 2) {
    return j.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace lum::cli
