// kvx-vcam: a virtual camera that stays plugged in until SIGINT or SIGTERM.
#include <signal.h>

#include <cstdio>
#include <string>

#include "vcam/virtual_camera.h"

int main(int argc, char** argv) {
    kvx::vcam::VirtualCameraOptions options;
    std::string message;
    if (!kvx::vcam::ParseCommandLine(argc, argv, options, message)) {
        bool help = message == kvx::vcam::HelpText();
        std::fputs(message.c_str(), help ? stdout : stderr);
        if (!help) std::fputs("\n(see --help)\n", stderr);
        return help ? 0 : 2;
    }
    // Block the stop signals before any thread exists, so that only the wait
    // below receives them and the camera unplugs cleanly.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    kvx::vcam::VirtualCamera camera(options);
    if (!camera.Start()) {
        std::fprintf(stderr, "kvx-vcam: could not plug in at %s\n", camera.SocketPath().c_str());
        return 1;
    }
    std::printf("kvx-vcam: plugged in as %s (%s)\n", camera.Instance().c_str(),
                camera.RegistrationFile().c_str());
    std::fflush(stdout);
    int received = 0;
    sigwait(&stopSignals, &received);
    camera.Stop();
    std::printf("kvx-vcam: unplugged\n");
    return 0;
}
