#include "platform/window_place.h"

#include <filesystem>
#include <system_error>

#include <toml++/toml.h>

#include "platform/files.h"
#include "platform/toml_depth.h"

namespace lanqi {
namespace {

constexpr std::size_t kMaxPlaceFileBytes = 4096;
constexpr long long kMaxCoordinate = 1 << 20;  // far past any screen; keeps the arithmetic on them in range

}  // namespace

std::string windowPlaceFile(const std::string& settingsFile) {
    const size_t slash = settingsFile.find_last_of("/\\");
    return (slash == std::string::npos ? std::string() : settingsFile.substr(0, slash + 1)) + "window.toml";
}

std::optional<WindowPlace> readWindowPlace(const std::string& file) {
    Bytes content;
    if (readSmallFile(file, kMaxPlaceFileBytes, content) != FileRead::Read) return std::nullopt;
    if (tomlTooDeepLine(content) > 0) return std::nullopt;
    toml::table document;
    try {
        document = toml::parse(content, file);
    } catch (const toml::parse_error&) {
        return std::nullopt;
    }
    WindowPlace place;
    for (const auto& [key, out] : {std::pair{"left", &place.left}, std::pair{"top", &place.top},
                                   std::pair{"width", &place.width}, std::pair{"height", &place.height}}) {
        const std::optional<long long> value = document[key].value<long long>();
        if (!value || *value < -kMaxCoordinate || *value > kMaxCoordinate) return std::nullopt;
        *out = static_cast<int>(*value);
    }
    const std::optional<bool> maximised = document["maximised"].value<bool>();
    if (!maximised || place.width <= 0 || place.height <= 0) return std::nullopt;
    place.maximised = *maximised;
    return place;
}

bool writeWindowPlace(const std::string& file, const WindowPlace& place) {
    std::error_code failure;
    const std::filesystem::path path = pathFromUtf8(file);
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), failure);
    const std::string text =
        "# Where the main window was when it closed; the window writes this file.\n"
        "left = " +
        std::to_string(place.left) + "\ntop = " + std::to_string(place.top) +
        "\nwidth = " + std::to_string(place.width) + "\nheight = " + std::to_string(place.height) +
        "\nmaximised = " + (place.maximised ? "true" : "false") + "\n";
    return writeFileBlocksAtUtf8(file, {text});
}

}  // namespace lanqi
