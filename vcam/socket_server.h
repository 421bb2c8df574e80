// The camera's end of the link: a Unix stream socket that speaks PTP USB
// containers. It accepts one host at a time and hands each operation to its
// handler; a second host meanwhile is told the camera is busy, so that it
// neither hangs nor disturbs the link being served.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "vcam/wake_pipe.h"

namespace kvx::vcam {

// The camera's answer to one operation.
struct OperationReply {
    uint16_t code = 0x2001;
    std::vector<uint32_t> params;
    std::vector<uint8_t> payload;
    // How many payload bytes go out before the camera disappears (the
    // vanish fault), or whether it disappears right after this reply.
    std::optional<size_t> vanishAfterPayload;
    bool vanishAfterReply = false;
    // Nothing goes back at all: a camera that stopped answering.
    bool silent = false;
};

class SocketServer {
public:
    class Handler {
    public:
        virtual ~Handler() = default;
        // A host connected or went away: its session is over either way.
        virtual void OnHostChange() = 0;
        // One operation; params is empty when the command's parameters were malformed.
        virtual OperationReply OnOperation(uint16_t code,
                                           const std::optional<std::vector<uint32_t>>& params,
                                           const std::vector<uint8_t>& data) = 0;
        // The link is quiet for a moment: delayed work may be due.
        virtual void OnIdle() = 0;
        // The camera vanished in the middle of a reply; the socket is gone.
        virtual void OnVanished() = 0;
    };

    explicit SocketServer(Handler& handler);
    ~SocketServer();
    SocketServer(const SocketServer&) = delete;
    SocketServer& operator=(const SocketServer&) = delete;

    // Binds and listens at path (a stale socket file there is replaced).
    bool Listen(const std::string& path);
    // Serves hosts on a thread of its own until Stop() or a vanish.
    void Run();
    // Wakes and joins the thread, closes every connection and removes the socket.
    void Stop();

private:
    struct Busy {
        int fd = -1;
        std::vector<uint8_t> pending;
    };
    struct Container;

    void Serve();
    bool ServeConnection(int fd);
    bool WaitFd(int fd, short events);
    void AcceptBusy();
    void ServeBusy(int fd);
    void CloseBusy();
    bool ReadExact(int fd, uint8_t* out, size_t n);
    bool WriteAll(int fd, const uint8_t* p, size_t n);
    bool ReadContainer(int fd, Container& c);
    void CloseListening();

    Handler& handler_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    int listenFd_ = -1;
    WakePipe wake_;
    std::string path_;
    std::vector<Busy> busy_;  // server thread only
};

}  // namespace kvx::vcam
