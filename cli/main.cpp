// kvx-tether: the tethering command line.
#include "cli/tether_app.h"

int main(int argc, char** argv) {
    return kvx::cli::RunTether(argc, argv);
}
