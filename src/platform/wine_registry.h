#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace lanqi {

// The folder holding the user's Wine registry: $WINEPREFIX when set and not empty, else $HOME/.wine; "" when
// neither variable is set.
std::string winePrefixDirectory();

// Read-only access to the registry of one Wine prefix, through the files Wine keeps it in:
//   current user (3)       user.reg
//   local machine (4)      system.reg
//   classes root (1)       user.reg "Software\Classes\..." where that value exists, else system.reg's
//   current config (2)     system.reg "System\CurrentControlSet\Hardware Profiles\Current\..."
//   users (5)              "<user id>\..." from user.reg when <user id> is the one it was written for,
//                          ".DEFAULT\..." from userdef.reg
// Any other root number reads as the current user. Paths are GBK: the key, "\", the value name (empty for
// the key's default value). Key and value names match without regard to ASCII letter case; keys that Wine
// marks as links are not followed.
//
// Every read opens the files it needs again and reads each of them once from start to end, so changes made by
// Wine in between are seen, and keeps at most one line and the value it looks for in memory. A file that is
// missing, cannot be read, does not begin with Wine's header, has a line it cannot parse, has a line longer than
// kMaxRegistryLineBytes or ends in the middle of a line (a truncated file) reads as if it had no keys.
class WineRegistry {
  public:
    explicit WineRegistry(std::string prefixDirectory) : m_prefix(std::move(prefixDirectory)) {}

    // The value when it is a string (REG_SZ) or an expandable string (REG_EXPAND_SZ, environment references
    // expanded), up to its first zero character, in GBK; "" when it has a character GBK lacks. nullopt when the
    // key or value is missing or the value has another type.
    std::optional<Text> readText(int root, const Text& path) const;

    // True when the value exists, whatever its type.
    bool valueExists(int root, const Text& path) const;

  private:
    std::string m_prefix;
};

inline constexpr std::size_t kMaxRegistryLineBytes = 1024 * 1024;
// A registry file is read only when it is a regular file of at most this size; anything else reads as
// having no keys.
inline constexpr unsigned long long kMaxRegistryFileBytes = 64ull * 1024 * 1024;

// Expands "%NAME%" references the way Windows does: NAME is looked up in this process's environment (exact
// spelling first, then ignoring ASCII letter case); a reference to an unknown name, and a "%" with no closing
// one, stay as written. UTF-8 in, UTF-8 out.
std::string expandEnvironmentReferences(std::string_view text);

}  // namespace lanqi
