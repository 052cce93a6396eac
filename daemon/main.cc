// zarvod, the site daemon: collects every controller's events exactly once
// into its journal. See docs/daemon.md.
#include "cli/command_table.h"

int main(int argc, char** argv) { return zarvod::RunDaemon(zarvod::Args(argv + 1, argv + argc)); }
