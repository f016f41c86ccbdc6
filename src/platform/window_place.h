#pragma once

#include <optional>
#include <string>

namespace lanqi {

// Where the main window was when it last closed: the position and size of its client area on the screen, in
// the window's own (logical) pixels, and whether it was maximised (then the size is the one it comes back to).
struct WindowPlace {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool maximised = false;
    bool operator==(const WindowPlace&) const = default;
};

// The file that keeps it: window.toml beside the settings file. It is the window's state, not a setting, so
// it never touches the settings file or its .bak.
std::string windowPlaceFile(const std::string& settingsFile);

// The place the file keeps; nullopt when there is none, or when the file is not one this program wrote (too
// large, not TOML, a value missing, not an integer, or a size that is not positive).
std::optional<WindowPlace> readWindowPlace(const std::string& file);

// Writes the place in one step (the folder made when missing). False when it cannot be written.
bool writeWindowPlace(const std::string& file, const WindowPlace& place);

}  // namespace lanqi
