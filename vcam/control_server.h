// Steering a running camera: one text command per line, one answer line per
// command. Serves a Unix stream socket (the control socket beside the
// camera's registration) and, for kvx-vcam, its standard input and output.
// Blank lines and lines starting with '#' are skipped without an answer.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "vcam/wake_pipe.h"

namespace kvx::vcam {

class ControlServer {
public:
    using Executor = std::function<std::string(const std::string& line)>;

    explicit ControlServer(Executor executor);
    ~ControlServer();
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Listens at path; a stale socket file left there by a camera that did
    // not stop cleanly is replaced, one that a running camera answers on is
    // not (false).
    bool Listen(const std::string& path);
    // Also reads commands from inFd and writes answers to outFd (not owned).
    void ServeStream(int inFd, int outFd);
    // Starts the thread; false when the wake pipe could not be made.
    bool Run();
    // Wakes and joins the thread, closes every client and removes the socket.
    void Stop();

    static constexpr size_t kMaxLine = 4096;
    static constexpr size_t kMaxClients = 16;

private:
    struct Client {
        int fd = -1;
        std::string pending;
    };
    void Serve();
    // Answers every whole line in pending; false when the peer must go.
    bool Answer(std::string& pending, int outFd, bool socket);
    void Close();

    Executor executor_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    int listenFd_ = -1;
    WakePipe wake_;
    int inFd_ = -1;
    int outFd_ = -1;
    std::string streamPending_;
    std::string path_;
    std::vector<Client> clients_;  // server thread only
};

}  // namespace kvx::vcam
