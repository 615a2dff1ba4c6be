#pragma once
// The run function: switches, single instance, settings, start report items,
// the window and its message loop. Returns the process exit code.
#include <string>

int RunMiniSetup(int showCommand);
