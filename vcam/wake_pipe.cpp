#include "vcam/wake_pipe.h"

#include <fcntl.h>
#include <unistd.h>

namespace kvx::vcam {

WakePipe::~WakePipe() {
    Close();
}

bool WakePipe::Open() {
    Close();
    return ::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) == 0;
}

void WakePipe::Wake() {
    if (fds_[1] < 0) return;
    char c = 1;
    [[maybe_unused]] ssize_t n = ::write(fds_[1], &c, 1);
}

void WakePipe::Close() {
    for (int& fd : fds_) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

}  // namespace kvx::vcam
