// Opens a finished picture in the review application the user chose: the
// RAW developer application found at start-up or the program named in the
// preferences. Started with the argument vector [application, picture],
// never through a shell, and never waited for.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/picture_namer.h"

namespace kvx::engine {

class CReviewLauncher {
public:
    using SpawnFunction = std::function<bool(const std::vector<std::string>&)>;

    // spawn starts a program from an argument vector (kvx::SpawnDetached
    // unless a test hands in its own).
    explicit CReviewLauncher(SpawnFunction spawn = {});

    // The application for "ReviewType": 1 the RAW developer application,
    // 2 "ReviewSoft", otherwise none (empty).
    static std::string ApplicationFor(const NamingOptions& options);

    // Starts the application with the picture when both files exist. True
    // when a program was started; failures are never reported further.
    bool Launch(const NamingOptions& options, const std::string& picturePath) const;

private:
    SpawnFunction spawn_;
};

}  // namespace kvx::engine
