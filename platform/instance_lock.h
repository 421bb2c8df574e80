// One running copy of the program per user session. The running copy holds
// an exclusive flock on a lock file in the runtime folder; the kernel drops
// it when the process ends, however it ends, so a lock file left behind by a
// crashed or killed copy never blocks the next start. The running copy also
// listens on a local socket beside it, through which a second start asks it
// to come to the front.
#pragma once

#include <string>

namespace kvx {

class InstanceLock {
public:
    enum class State {
        Acquired,     // this process is the running copy
        HeldByOther,  // another copy runs
        Unavailable,  // the lock could not be tried (no usable folder, I/O error)
    };

    // Tries the lock at once; never waits.
    explicit InstanceLock(const std::string& lockPath);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    State GetState() const { return state_; }
    // Why the lock is Unavailable; empty otherwise.
    const std::string& Error() const { return error_; }

    // "<runtime folder>/KVX2.exe": the running copy's local socket.
    static std::string SocketPath();
    // "<runtime folder>/KVX2.exe.lock".
    static std::string LockPath();
    // Creates the folder when missing (mode 0700) and checks that it is a
    // real folder of ours that nobody else may write into, so another user
    // cannot plant the lock or the socket. False with a reason otherwise.
    static bool EnsurePrivateFolder(const std::string& folder, std::string* error);

private:
    int fd_ = -1;
    State state_ = State::Unavailable;
    std::string error_;
};

}  // namespace kvx
