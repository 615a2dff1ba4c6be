#pragma once
// The start-up steps between the loaded settings and the window, kept apart
// from the process-wide state so each decision can be checked on its own: the
// manifest override, the installer's arguments, the start report items and the
// silent exit for an installed product.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "base/AppSettings.h"

// Report item ids recorded at start.
constexpr uint32_t kItemNxChannel = 0x04001B5C;
constexpr uint32_t kItemSilent = 0x04001B5A;
constexpr uint32_t kItemStartMarker = 0x0200000B;
constexpr uint32_t kItemInstallId = 0x04001B70;
constexpr uint32_t kItemLaunchOrigin = 0x04001B63;
constexpr uint32_t kItemServiceRunning = 0x05002332;

// Where start items go; the run function hands them to the report functions.
class IStartItemSink {
public:
    virtual ~IStartItemSink() = default;
    virtual void SetInt(uint32_t id, int value) = 0;
    virtual void SetText(uint32_t id, const std::wstring& text) = 0;
    virtual void Mark(uint32_t id) = 0;
};

// A non-empty "/newverurl=" replaces the manifest address; a visible run tells
// the installer so with "/POP " after the passed-through arguments.
void ApplyStartOptions(const CommandLineSwitches& switches, AppSettings& settings);

// 1 when the third '|' field of the channel name contains "NX" (any case).
int IsNxChannel(const std::wstring& channelName);

// The start items in their order. An empty launch-origin record is replaced by
// the channel's fallback record.
void RecordStartItems(const AppSettings& settings, const std::wstring& installId, const std::wstring& launchOrigin,
                      IStartItemSink& sink);

// A silent start without "/Update" or "/NewUpdate" while the product's service
// runs ends with 3: marks the counter, sets the exit code and returns true.
// serviceRunning is asked only when the other conditions hold.
bool EndSilentStartOfInstalledProduct(AppSettings& settings, const std::vector<std::wstring>& args,
                                      const std::function<bool()>& serviceRunning, IStartItemSink& sink);
