// A program of the installation run as a separate process with exactly the
// environment the test gives it, its output in files.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace kvx::test {

struct ProgramResult {
    int status = -1;  // exit status, or -1 when it did not start or ended by a signal
    std::string out;
    std::string err;
};

class ChildProcess {
public:
    // argv[0] is a path (no PATH search: the test names the program it means).
    ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                 const std::filesystem::path& outFile, const std::filesystem::path& errFile);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // True while the process has not ended.
    bool Running();
    void Signal(int signal);
    // Exit status, or -1 for a process ended by a signal or never started.
    int Wait();

private:
    static constexpr int kRunning = -2;
    pid_t pid_ = -1;
    int status_ = kRunning;
};

// Runs a program to its end.
ProgramResult RunProgram(const std::vector<std::string>& argv,
                         const std::vector<std::string>& environment,
                         const std::filesystem::path& workFolder);

std::string ReadFile(const std::filesystem::path& file);

}  // namespace kvx::test
