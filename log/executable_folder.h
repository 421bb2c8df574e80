// The folder of the running executable, with a trailing separator ("./"
// when it cannot be read). Header-only, so that the log, which both
// deliverables compile in on their own, and the platform layer above it
// share one definition without a library between them.
#pragma once

#include <unistd.h>

#include <climits>
#include <string>

namespace kvx {

inline std::string ExecutableFolder() {
    char buffer[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return "./";
    std::string path(buffer, static_cast<size_t>(n));
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

}  // namespace kvx
