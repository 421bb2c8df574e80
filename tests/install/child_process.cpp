#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <fstream>
#include <sstream>

namespace kvx::test {

namespace {

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (auto& s : strings) out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

int StatusOf(int waitStatus) {
    return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& environment,
                           const std::filesystem::path& outFile,
                           const std::filesystem::path& errFile) {
    std::vector<std::string> args = argv;
    std::vector<std::string> env = environment;
    auto argp = Pointers(args);
    auto envp = Pointers(env);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    if (argp[0] == nullptr ||
        posix_spawn(&pid_, argp[0], &actions, nullptr, argp.data(), envp.data()) != 0) {
        pid_ = -1;
        status_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

bool ChildProcess::Running() {
    if (pid_ <= 0) return false;
    int st = 0;
    if (::waitpid(pid_, &st, WNOHANG) == pid_) {
        pid_ = -1;
        status_ = StatusOf(st);
        return false;
    }
    return true;
}

void ChildProcess::Signal(int signal) {
    if (pid_ > 0) ::kill(pid_, signal);
}

int ChildProcess::Wait() {
    if (pid_ > 0) {
        int st = 0;
        while (::waitpid(pid_, &st, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        status_ = StatusOf(st);
    }
    return status_ == kRunning ? -1 : status_;
}

ProgramResult RunProgram(const std::vector<std::string>& argv,
                         const std::vector<std::string>& environment,
                         const std::filesystem::path& workFolder) {
    const auto out = workFolder / "run-out.txt";
    const auto err = workFolder / "run-err.txt";
    ProgramResult r;
    {
        ChildProcess child(argv, environment, out, err);
        r.status = child.Wait();
    }
    r.out = ReadFile(out);
    r.err = ReadFile(err);
    return r;
}

std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace kvx::test
