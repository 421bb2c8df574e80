// The sending end of the control socket, for kvx-vcam --send and for tests:
// one command line out, one answer line back.
#pragma once

#include <string>

namespace kvx::vcam {

class ControlClient {
public:
    // Sends line to the control socket at path and reads the answer line
    // (without its line break). False with a reason when the camera could
    // not be reached or did not answer within timeoutMs.
    static bool Send(const std::string& path, const std::string& line, std::string& answer,
                     std::string& error, int timeoutMs = 10000);
    // The control socket of instance in dir; with no instance, the only one
    // in dir. Empty with a reason when there is none (or several).
    static std::string Find(const std::string& dir, const std::string& instance,
                            std::string& error);
};

}  // namespace kvx::vcam
