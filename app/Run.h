#pragma once
// The run function: switches, single instance, settings, start report items,
// the window and its message loop. Returns the process exit code.
#include <string>

int RunMiniSetup(int showCommand);

// 1 when the third '|' field of the channel name contains "NX" (any case).
int IsNxChannel(const std::wstring& channelName);
