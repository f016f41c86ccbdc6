#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>

namespace lanqi {
namespace {

bool writeAll(int fd, const std::vector<Bytes>& blocks) {
    for (const Bytes& block : blocks) {
        std::size_t done = 0;
        while (done < block.size()) {
            const ssize_t n = ::write(fd, block.data() + done, block.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
    }
    return true;
}

// `folder` as a private folder of this user's: made 0700 when missing; an existing one must be a folder
// (lstat: a link is not) owned by this user, and loses any access for others.
bool ownPrivateFolder(const std::string& folder) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return false;
    return (st.st_mode & 077) == 0 || ::chmod(folder.c_str(), 0700) == 0;
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

}  // namespace

bool writeFileBlocks(const Text& path, const std::vector<Bytes>& blocks) {
    if (path.empty()) return false;
    return writeFileBlocksAtUtf8(utf8(path), blocks);
}

bool writeFileBlocksAtUtf8(const std::string& path, const std::vector<Bytes>& blocks) {
    if (path.empty()) return false;
    const std::string& name = path;
    if (name.empty() || name.back() == '/') return false;
    struct stat st {};
    if (::lstat(name.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) return false;

    const std::size_t slash = name.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : name.substr(0, slash + 1);
    std::string temporary = folder + (slash == std::string::npos ? "/" : "") + "." +
                            name.substr(slash == std::string::npos ? 0 : slash + 1) + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);  // a new file, mode 0600, never through a link
    if (fd < 0) return false;
    const bool written = writeAll(fd, blocks);
    if (::close(fd) != 0 || !written || ::rename(temporary.c_str(), name.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

FileRead readSmallFile(const std::string& path, std::size_t maxBytes, Bytes& content) {
    content.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        switch (errno) {
            case ENOENT:
            case ENOTDIR:
                return FileRead::Missing;
            case ELOOP:
                return FileRead::LinkLoop;
            case EISDIR:
                return FileRead::Folder;
            case ENXIO:  // a socket or a FIFO opened for writing only
                return FileRead::NotAFile;
            default:
                return FileRead::Unreadable;
        }
    }
    struct stat st {};
    FileRead outcome = FileRead::Read;
    if (::fstat(fd, &st) != 0) {
        outcome = FileRead::Unreadable;
    } else if (S_ISDIR(st.st_mode)) {
        outcome = FileRead::Folder;
    } else if (!S_ISREG(st.st_mode)) {
        outcome = FileRead::NotAFile;
    } else if (static_cast<unsigned long long>(st.st_size) > maxBytes) {
        outcome = FileRead::TooLarge;
    } else {
        // The file may grow while it is read: never more than maxBytes + 1 bytes are taken in.
        // Room for the size it has now and one byte more, grown (up to maxBytes + 1) only if it grows.
        content.resize(static_cast<std::size_t>(st.st_size) + 1);
        std::size_t done = 0;
        for (;;) {
            if (done == content.size()) {
                if (done > maxBytes) break;
                content.resize(std::min(maxBytes + 1, std::max<std::size_t>(done * 2, 4096)));
            }
            const ssize_t n = ::read(fd, content.data() + done, content.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                outcome = FileRead::Unreadable;
                break;
            }
            if (n == 0) break;
            done += static_cast<std::size_t>(n);
        }
        if (outcome == FileRead::Read && done > maxBytes) outcome = FileRead::TooLarge;
        content.resize(done);
    }
    ::close(fd);
    if (outcome != FileRead::Read) content.clear();
    return outcome;
}

std::string linkTarget(const std::string& path) {
    std::string current = path;
    for (int hop = 0; hop <= 40; ++hop) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        char target[4096];
        const ssize_t n = ::readlink(current.c_str(), target, sizeof target);
        if (n <= 0 || static_cast<std::size_t>(n) >= sizeof target) return {};
        const std::string next(target, static_cast<std::size_t>(n));
        const std::size_t slash = current.rfind('/');
        current = next.front() == '/' || slash == std::string::npos ? next : current.substr(0, slash + 1) + next;
    }
    return {};
}

Text privateFolder() {
    const std::string runtime = environment("XDG_RUNTIME_DIR");
    if (!runtime.empty()) {
        const std::string folder = runtime + "/lanqi-search";
        if (ownPrivateFolder(folder)) return gbk(folder + "/");
    }
    std::string temporary = environment("TMPDIR");
    if (temporary.empty()) temporary = "/tmp";
    const std::string folder = temporary + "/lanqi-search-" + std::to_string(::geteuid());
    return ownPrivateFolder(folder) ? gbk(folder + "/") : Text();
}

std::string userConfigFolder() {
    const std::string config = environment("XDG_CONFIG_HOME");
    return config.empty() ? environment("HOME") + "/.config" : config;
}

std::string programFolder() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return {};
    const std::string program(path, static_cast<size_t>(n));
    const size_t slash = program.rfind('/');
    return slash == std::string::npos ? std::string() : program.substr(0, slash);
}

}  // namespace lanqi
