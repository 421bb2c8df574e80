// Starting another program with an argument vector. No shell ever sees the
// arguments, so a picture name from the camera can never become a command.
#pragma once

#include <string>
#include <vector>

namespace kvx {

// Starts argv[0] (a path, not looked up in $PATH) with argv as its arguments,
// the caller's environment and working directory, no descriptors beyond
// stdin, stdout and stderr, and does not wait for it to end. The started
// program is not our child, so it never lingers as a zombie. True when the
// program was executed; false when argv is empty, an argument holds a zero
// byte, or the program could not be started.
bool SpawnDetached(const std::vector<std::string>& argv);

}  // namespace kvx
