// kvx-vcam: a virtual camera that stays plugged in until SIGINT or SIGTERM,
// steered by commands on its standard input and its control socket; or,
// with --send, a client that sends one command to a running camera.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/paths.h"
#include "vcam/control_client.h"
#include "vcam/control_server.h"
#include "vcam/virtual_camera.h"

namespace {

int Send(int argc, char** argv) {
    std::string command, dir, instance;
    bool haveCommand = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (i + 1 >= argc) {
            std::fprintf(stderr, "kvx-vcam: missing value for %s\n", arg.c_str());
            return 2;
        }
        std::string v = argv[++i];
        if (arg == "--send") {
            command = v;
            haveCommand = true;
        } else if (arg == "--device-dir") {
            dir = v;
        } else if (arg == "--instance") {
            instance = v;
        } else {
            std::fprintf(stderr, "kvx-vcam: %s does not go with --send\n", arg.c_str());
            return 2;
        }
    }
    if (!haveCommand) return 2;
    if (dir.empty()) dir = kvx::VirtualDeviceFolder();
    std::string error, answer;
    std::string path = kvx::vcam::ControlClient::Find(dir, instance, error);
    if (path.empty() || !kvx::vcam::ControlClient::Send(path, command, answer, error)) {
        std::fprintf(stderr, "kvx-vcam: %s\n", error.c_str());
        return 2;
    }
    std::printf("%s\n", answer.c_str());
    return answer.rfind("ok", 0) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--send") == 0) return Send(argc, argv);

    kvx::vcam::VirtualCameraOptions options;
    options.seed = 0;  // each camera its own pictures, from its instance id
    options.controlSocket = true;
    std::string message;
    if (!kvx::vcam::ParseCommandLine(argc, argv, options, message)) {
        bool help = message == kvx::vcam::HelpText();
        std::fputs(message.c_str(), help ? stdout : stderr);
        if (!help) std::fputs("\n(see --help)\n", stderr);
        return help ? 0 : 2;
    }
    // Block the stop signals before any thread exists, so that only the wait
    // below receives them and the camera unplugs cleanly. A camera started in
    // the background of a terminal must not be stopped for reading it.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);
    signal(SIGTTIN, SIG_IGN);
    signal(SIGTTOU, SIG_IGN);

    kvx::vcam::VirtualCamera camera(options);
    if (!camera.Start()) {
        std::fprintf(stderr, "kvx-vcam: could not plug in at %s\n", camera.SocketPath().c_str());
        return 1;
    }
    std::printf("kvx-vcam: plugged in as %s (%s)\n", camera.Instance().c_str(),
                camera.RegistrationFile().c_str());
    if (options.controlSocket)
        std::printf("kvx-vcam: control socket %s\n", camera.ControlSocketPath().c_str());
    std::fflush(stdout);
    // Commands typed or piped in answer on standard output.
    kvx::vcam::ControlServer input([&camera](const std::string& l) { return camera.Command(l); });
    input.ServeStream(STDIN_FILENO, STDOUT_FILENO);
    if (!input.Run()) std::fprintf(stderr, "kvx-vcam: standard input is not read\n");
    int received = 0;
    sigwait(&stopSignals, &received);
    input.Stop();
    camera.Stop();
    std::printf("kvx-vcam: unplugged\n");
    return 0;
}
