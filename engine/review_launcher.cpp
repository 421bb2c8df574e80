#include "engine/review_launcher.h"

#include <sys/stat.h>

#include "log/write_log.h"
#include "platform/spawn.h"

namespace kvx::engine {

namespace {

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

CReviewLauncher::CReviewLauncher(SpawnFunction spawn)
    : spawn_(spawn ? std::move(spawn) : SpawnFunction(&kvx::SpawnDetached)) {}

std::string CReviewLauncher::ApplicationFor(const NamingOptions& options) {
    switch (options.reviewType) {
        case 1:
            return options.rawDeveloperPath;
        case 2:
            return options.reviewSoft;
        default:
            return {};
    }
}

bool CReviewLauncher::Launch(const NamingOptions& options, const std::string& picturePath) const {
    const std::string application = ApplicationFor(options);
    if (!IsRegularFile(application) || !IsRegularFile(picturePath)) return false;
    bool started = spawn_({application, picturePath});
    WriteLog(4, "--- review %s: %s %s", started ? "started" : "could not start",
             application.c_str(), picturePath.c_str());
    return started;
}

}  // namespace kvx::engine
