#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace lanqi {

// JSON values keep their fields in the order they were set.
using Json = nlohmann::ordered_json;

// One compact line of JSON: no blanks, UTF-8 kept as it is, and every byte that is not valid UTF-8
// replaced with U+FFFD, so each line is valid JSON whatever a page held.
inline std::string jsonLine(const Json& value) { return value.dump(-1, ' ', false, Json::error_handler_t::replace); }

}  // namespace lanqi
