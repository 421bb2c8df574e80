#include "spawn.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kvx {

namespace {

// Only async-signal-safe calls between fork and exec: the caller may have
// other threads that hold locks.
[[noreturn]] void ExecGrandchild(char* const* args, int reportFd) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigaction(SIGPIPE, &dfl, nullptr);
    sigaction(SIGCHLD, &dfl, nullptr);

    // Nothing of ours is handed on but the three standard descriptors.
    struct rlimit limit {};
    int maxFd = 1024;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        limit.rlim_cur < 65536) {
        maxFd = static_cast<int>(limit.rlim_cur);
    } else if (limit.rlim_cur >= 65536) {
        maxFd = 65536;
    }
    for (int fd = 3; fd < maxFd; ++fd) {
        if (fd != reportFd) close(fd);
    }

    execv(args[0], args);
    int error = errno;
    ssize_t ignored = write(reportFd, &error, sizeof error);
    (void)ignored;
    _exit(127);
}

}  // namespace

bool SpawnDetached(const std::vector<std::string>& argv) {
    if (argv.empty() || argv[0].empty()) return false;
    std::vector<std::string> copies(argv);
    std::vector<char*> args;
    args.reserve(copies.size() + 1);
    for (auto& a : copies) {
        if (a.find('\0') != std::string::npos) return false;
        args.push_back(a.data());
    }
    args.push_back(nullptr);

    // The grandchild reports a failed exec through this pipe; a successful
    // exec closes it (close-on-exec), which the parent reads as end of file.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return false;

    pid_t child = fork();
    if (child < 0) {
        close(report[0]);
        close(report[1]);
        return false;
    }
    if (child == 0) {
        close(report[0]);
        setsid();
        pid_t grandchild = fork();
        if (grandchild < 0) {
            int error = errno;
            ssize_t ignored = write(report[1], &error, sizeof error);
            (void)ignored;
            _exit(127);
        }
        if (grandchild == 0) ExecGrandchild(args.data(), report[1]);
        _exit(0);
    }

    close(report[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t n;
    do {
        n = read(report[0], &error, sizeof error);
    } while (n < 0 && errno == EINTR);
    close(report[0]);
    return n == 0;
}

}  // namespace kvx
