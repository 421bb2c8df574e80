// Turns asynchronous termination signals into bytes on a pipe (the self-pipe
// pattern), so that an event loop can watch the read end and close the
// program the ordinary way, on its own thread, instead of dying inside a
// signal handler with the settings unwritten.
#pragma once

#include <csignal>
#include <initializer_list>
#include <utility>
#include <vector>

namespace kvx {

class SignalPipe {
public:
    // Installs a handler for each signal; the previous handlers come back on
    // destruction. Only one SignalPipe may exist at a time.
    explicit SignalPipe(std::initializer_list<int> signalNumbers);
    ~SignalPipe();
    SignalPipe(const SignalPipe&) = delete;
    SignalPipe& operator=(const SignalPipe&) = delete;

    // False when the pipe or a handler could not be set up.
    bool Ok() const { return ok_; }
    // Becomes readable when a signal has arrived.
    int ReadFd() const { return fds_[0]; }
    // The signals received since the last call, oldest first; never blocks.
    std::vector<int> Drain();

private:
    bool ok_ = false;
    int fds_[2] = {-1, -1};
    std::vector<std::pair<int, struct sigaction>> saved_;  // signal, previous action
};

}  // namespace kvx
