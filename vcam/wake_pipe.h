// A pipe whose one byte wakes a thread out of its poll, so that a serving
// thread stops promptly: the read end goes into the thread's poll set, Wake()
// is called from the stopping thread. Owns both ends.
#pragma once

namespace kvx::vcam {

class WakePipe {
public:
    WakePipe() = default;
    ~WakePipe();
    WakePipe(const WakePipe&) = delete;
    WakePipe& operator=(const WakePipe&) = delete;

    // False when the pipe could not be made.
    bool Open();
    void Wake();
    void Close();
    int ReadFd() const { return fds_[0]; }

private:
    int fds_[2] = {-1, -1};
};

}  // namespace kvx::vcam
