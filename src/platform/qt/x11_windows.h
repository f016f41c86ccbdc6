#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace lanqi {

// The id of the process owning the topmost top-level window titled exactly `titleUtf8` on the X display named
// by $DISPLAY, as the window states it (_NET_WM_PID). nullopt when there is no X display, no such window, or
// the window names no process of this machine. Windows of every program count, this one's too.
std::optional<std::uint32_t> processOwningTopLevelWindow(std::string_view titleUtf8);

}  // namespace lanqi
