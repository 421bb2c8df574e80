// kvx-tether's commands: argument parsing, help texts, and the run of each
// command on a CTetherSession.
#pragma once

#include <string>

namespace kvx::cli {

// Runs the command line; returns the process exit status.
int RunTether(int argc, char** argv);

std::string MainHelp();
// Help of one command; empty for an unknown one.
std::string CommandHelp(const std::string& command);

}  // namespace kvx::cli
