#include "platform/files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace lanqi {

bool writeFileBlocks(const Text& path, const std::vector<Bytes>& blocks) {
    if (path.empty()) return false;
    const std::string name = utf8(path);
    if (name.empty()) return false;
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool written = true;
    for (const Bytes& block : blocks) {
        std::size_t done = 0;
        while (written && done < block.size()) {
            const ssize_t n = ::write(fd, block.data() + done, block.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0)
                written = false;
            else
                done += static_cast<std::size_t>(n);
        }
    }
    return ::close(fd) == 0 && written;
}

}  // namespace lanqi
