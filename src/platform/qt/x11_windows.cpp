#include "platform/qt/x11_windows.h"

#include <unistd.h>
#include <xcb/xcb.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace lanqi {
namespace {

constexpr std::size_t kMaxWindows = 4096;
constexpr std::uint32_t kMaxTitleWords = 4096;  // 16 KiB of title

template <typename T>
using XcbReply = std::unique_ptr<T, decltype(&std::free)>;

xcb_atom_t internAtom(xcb_connection_t* c, const char* name) {
    XcbReply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

struct Property {
    xcb_atom_t type = XCB_ATOM_NONE;
    std::uint8_t format = 0;
    std::string bytes;
};

std::optional<Property> readProperty(xcb_connection_t* c, xcb_window_t window, xcb_atom_t name,
                                     std::uint32_t maxWords) {
    if (name == XCB_ATOM_NONE) return std::nullopt;
    XcbReply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, name, XCB_GET_PROPERTY_TYPE_ANY, 0, maxWords),
                               nullptr),
        &std::free);
    if (!reply || reply->type == XCB_ATOM_NONE) return std::nullopt;
    Property property;
    property.type = reply->type;
    property.format = reply->format;
    const int length = xcb_get_property_value_length(reply.get());
    property.bytes.assign(static_cast<const char*>(xcb_get_property_value(reply.get())),
                          static_cast<std::size_t>(length > 0 ? length : 0));
    return property;
}

std::string latin1ToUtf8(const std::string& latin1) {
    std::string out;
    for (const char ch : latin1) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::vector<xcb_window_t> windowList(const Property& property) {
    std::vector<xcb_window_t> windows(property.bytes.size() / sizeof(xcb_window_t));
    std::memcpy(windows.data(), property.bytes.data(), windows.size() * sizeof(xcb_window_t));
    return windows;
}

// Top-level windows of one screen, topmost first: the window manager's stacking list when one runs, else the
// root's children (which the server keeps bottom first).
std::vector<xcb_window_t> topLevelWindows(xcb_connection_t* c, xcb_window_t root, xcb_atom_t stackingList) {
    std::vector<xcb_window_t> windows;
    if (const auto stacking = readProperty(c, root, stackingList, kMaxWindows);
        stacking && stacking->type == XCB_ATOM_WINDOW && stacking->format == 32) {
        windows = windowList(*stacking);
    } else {
        XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr), &std::free);
        if (!tree) return {};
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        windows.assign(children, children + xcb_query_tree_children_length(tree.get()));
    }
    if (windows.size() > kMaxWindows) windows.erase(windows.begin(), windows.end() - kMaxWindows);
    return {windows.rbegin(), windows.rend()};
}

}  // namespace

std::optional<std::uint32_t> processOwningTopLevelWindow(std::string_view titleUtf8) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') return std::nullopt;
    std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> connection(xcb_connect(nullptr, nullptr),
                                                                            &xcb_disconnect);
    xcb_connection_t* c = connection.get();
    if (xcb_connection_has_error(c)) return std::nullopt;

    const xcb_atom_t netWmName = internAtom(c, "_NET_WM_NAME");
    const xcb_atom_t utf8String = internAtom(c, "UTF8_STRING");
    const xcb_atom_t netWmPid = internAtom(c, "_NET_WM_PID");
    const xcb_atom_t stackingList = internAtom(c, "_NET_CLIENT_LIST_STACKING");
    char hostName[HOST_NAME_MAX + 1] = {};
    ::gethostname(hostName, sizeof hostName - 1);

    for (auto screens = xcb_setup_roots_iterator(xcb_get_setup(c)); screens.rem > 0; xcb_screen_next(&screens)) {
        for (const xcb_window_t window : topLevelWindows(c, screens.data->root, stackingList)) {
            std::string title;
            if (const auto name = readProperty(c, window, netWmName, kMaxTitleWords);
                name && name->type == utf8String && name->format == 8) {
                title = name->bytes;
            } else if (const auto legacy = readProperty(c, window, XCB_ATOM_WM_NAME, kMaxTitleWords);
                       legacy && legacy->format == 8) {
                title = legacy->type == utf8String ? legacy->bytes : latin1ToUtf8(legacy->bytes);
            } else {
                continue;
            }
            if (title != titleUtf8) continue;

            // A window of a program on another machine names a process id that means nothing here.
            if (auto machine = readProperty(c, window, XCB_ATOM_WM_CLIENT_MACHINE, 64);
                machine && machine->format == 8) {
                while (!machine->bytes.empty() && machine->bytes.back() == '\0') machine->bytes.pop_back();
                if (machine->bytes != hostName) continue;
            }
            const auto pid = readProperty(c, window, netWmPid, 1);
            if (!pid || pid->type != XCB_ATOM_CARDINAL || pid->format != 32 || pid->bytes.size() != 4) continue;
            std::uint32_t id = 0;
            std::memcpy(&id, pid->bytes.data(), sizeof id);
            if (id != 0) return id;
        }
    }
    return std::nullopt;
}

}  // namespace lanqi
