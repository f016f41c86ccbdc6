#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"

namespace lanqi {

// Writes the blocks in order to a new file beside `path` (GBK) and then puts it in the place of `path` in
// one step, so a reader never sees half a file and a link planted at `path` is replaced, never followed.
// Empty blocks add nothing. False for an empty path or one that is not GBK, when something other than a
// file or a link is at `path` already, and when the file cannot be made, written whole or put in place
// (nothing is left behind then).
bool writeFileBlocks(const Text& path, const std::vector<Bytes>& blocks);
// The same for a UTF-8 path, which may name what GBK lacks (the settings file under the user's folder).
bool writeFileBlocksAtUtf8(const std::string& path, const std::vector<Bytes>& blocks);

// What reading a small file found.
enum class FileRead {
    Read,        // the whole file is in `content`
    Missing,     // nothing there (a link to nothing too)
    Folder,      // a folder is there
    NotAFile,    // a FIFO, a device or a socket: never read, never waited for
    TooLarge,    // more than maxBytes
    LinkLoop,    // symbolic links that lead back to themselves (or run too deep)
    Unreadable,  // anything else (no permission, a read that failed)
};

// The whole of the regular file at `path` (UTF-8), links followed, when it has at most `maxBytes`. The file is
// opened without waiting (a FIFO with no writer does not hold the caller up) and its type is checked on the
// open file; at most maxBytes + 1 bytes are ever read. `content` is cleared unless the outcome is Read.
FileRead readSmallFile(const std::string& path, std::size_t maxBytes, Bytes& content);

// The file that writing through `path` (UTF-8) should reach, as an editor writes through a link: `path` itself,
// or the end of the chain of symbolic links at `path` (a relative link read from its link's folder); the end
// need not exist yet. "" when the links loop or run deeper than 40. Windows: `path` itself.
std::string linkTarget(const std::string& path);

// A folder for the files the client writes that only this user can reach, ending in "/" (GBK):
// $XDG_RUNTIME_DIR/lanqi-search/ when the runtime folder is set, else lanqi-search-<uid>/ in $TMPDIR (or
// /tmp). It is made with mode 0700 when missing; an existing one must be a real folder (not a link) owned
// by this user, and is closed to others if it was open. "" when neither place gives such a folder.
Text privateFolder();

// The folder for the user's own settings, without a separator at its end (UTF-8): $XDG_CONFIG_HOME when it
// is set, else ~/.config on Linux and %APPDATA% on Windows.
std::string userConfigFolder();

// The folder the running program's file is in (UTF-8), "" when it cannot be found out.
std::string programFolder();

// A UTF-8 path as std::filesystem and the file streams take it, and back. (A path made from a narrow string
// is read in the ANSI code page on Windows, where a Chinese folder name would not survive.)
inline std::filesystem::path pathFromUtf8(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}
inline std::string utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace lanqi
