// A PTP camera for tests that answers with exactly the bytes a test sets: a
// thread serving a Unix stream socket, registered in a virtual device folder.
// It can also misbehave: vanish mid-reply, stay silent, claim long data.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "camlink/device/virtual_registration.h"

namespace kvx::test {

struct PeerCommand {
    uint16_t op = 0;
    uint32_t transactionId = 0;
    std::vector<uint32_t> params;
    bool hadData = false;
    std::vector<uint8_t> data;
};

struct PeerReply {
    enum class Action {
        Normal,
        VanishBeforeReply,  // close the connection instead of answering
        VanishMidData,      // send the data container header and half the payload, then close
        Silent,             // never answer (the connection stays open)
    };
    std::optional<std::vector<uint8_t>> data;  // payload of a data container, if any
    uint16_t code = 0x2001;
    std::vector<uint32_t> params;
    Action action = Action::Normal;
};

class ScriptedPeer {
public:
    using Handler = std::function<PeerReply(const PeerCommand&)>;

    // Registers "<instance>.device" in deviceDir with a socket in socketDir.
    ScriptedPeer(const std::string& deviceDir, const std::string& socketDir,
                 kvx::device::VirtualRegistration registration);
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    void On(uint16_t op, PeerReply reply);
    void On(uint16_t op, Handler handler);

    // Every command received, session commands included.
    std::vector<PeerCommand> Commands() const;
    std::vector<PeerCommand> CommandsFor(uint16_t op) const;
    int Connections() const { return connections_.load(); }
    const kvx::device::VirtualRegistration& Registration() const { return registration_; }

    // Ops whose host side sends a data container after the command.
    static bool HasWritePhase(uint16_t op);

private:
    void Serve();
    bool ServeConnection(int fd);
    PeerReply ReplyFor(const PeerCommand& c);

    kvx::device::VirtualRegistration registration_;
    std::string deviceDir_;
    int listenFd_ = -1;
    int wakeFd_[2] = {-1, -1};
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    mutable std::mutex lock_;
    std::map<uint16_t, Handler> handlers_;
    std::vector<PeerCommand> commands_;
    std::thread thread_;
};

// Standard registration for a camera of a product ("PID_5E30", ...).
kvx::device::VirtualRegistration CameraRegistration(const std::string& instance,
                                                    const std::string& product);

}  // namespace kvx::test
