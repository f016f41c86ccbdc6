#pragma once

// Tests that let the protection shield end real processes run inside a PID namespace of their own
// (`unshare --pid --fork --mount-proc --kill-child test`), where the only processes are the test's.
//
// The test's first process (pid 1) stays a bare init: it forks the test proper and reaps whatever ends
// until the test is done. The test is therefore not the ancestor of everything in the namespace, and
// `startOutsider` can start programs that are not its descendants, as programs started by the desktop
// would be:
//
//   int main(int argc, char** argv) {
//       return test::runUnderNamespaceInit([&] { QCoreApplication app(argc, argv); ...; return RUN_ALL_TESTS(); });
//   }

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace lanqi::test {

// Runs `body` in a child and returns its exit status; only as pid 1 of a PID namespace, else refuses with 2
// before anything is started. Ending pid 1 ends everything left in the namespace.
inline int runUnderNamespaceInit(const std::function<int()>& body) {
    if (::getpid() != 1) {
        std::fprintf(stderr,
                     "This test ends processes: run it as the first process of a PID namespace of its own, "
                     "unshare --pid --fork --mount-proc --kill-child <test>\n");
        return 2;
    }
    const pid_t test = ::fork();
    if (test < 0) return 2;
    if (test == 0) std::exit(body());
    int status = 0;
    for (;;) {
        int s = 0;
        const pid_t ended = ::waitpid(-1, &s, 0);
        if (ended == test) {
            status = s;
            break;
        }
        if (ended < 0 && errno != EINTR) return 2;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

namespace detail {
inline std::vector<char*> argvOf(std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    return argv;
}
}  // namespace detail

// Starts the program at the absolute path arguments[0] as a child of the namespace's init, so that it is not
// a descendant of this process. Returns its id once its exec has happened (or it failed), -1 when it could not
// be started.
inline pid_t startOutsider(std::vector<std::string> arguments) {
    auto argv = detail::argvOf(arguments);
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) return -1;
    const pid_t middle = ::fork();
    if (middle == 0) {
        const pid_t program = ::fork();
        if (program == 0) {
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        (void)!::write(pipe[1], &program, sizeof program);
        ::_exit(0);  // the program is left to init
    }
    ::close(pipe[1]);
    pid_t program = -1;
    if (middle < 0 || ::read(pipe[0], &program, sizeof program) != sizeof program) program = -1;
    char eof;
    while (program > 0 && ::read(pipe[0], &eof, 1) > 0) {
    }  // end of file: the program's copy of the pipe closed with its exec
    ::close(pipe[0]);
    if (middle > 0) ::waitpid(middle, nullptr, 0);
    return program;
}

// Starts the program at arguments[0] as a child of this process.
inline pid_t startChild(std::vector<std::string> arguments) {
    auto argv = detail::argvOf(arguments);
    const pid_t child = ::fork();
    if (child == 0) {
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return child;
}

// True while the process exists and has not ended (a zombie waiting for its parent has ended).
inline bool processRuns(pid_t id) {
    // Plain read(): a process that goes away while its file is read gives an error, not an exception.
    const int fd = ::open(("/proc/" + std::to_string(id) + "/stat").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buffer[1024];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
    if (n <= 0) return false;
    const std::string stat(buffer, static_cast<std::size_t>(n));
    const auto close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size()) return false;
    const char state = stat[close + 2];
    return state != 'Z' && state != 'X';
}

}  // namespace lanqi::test
