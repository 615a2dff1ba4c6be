#include "identity/HardwareId.h"

#include <windows.h>

#include <atomic>
#include <cstring>

#include "identity/IdentityComposer.h"
#include "identity/IdentityStore.h"

namespace guid {

const char kFallbackHardwareId[] = "30000000000000000000000000000001";

namespace {

std::atomic<const char*> g_cachedId{nullptr};
volatile LONG g_computing = 0;

constexpr int kWaitSteps = 10;
constexpr DWORD kWaitStepMs = 55;

std::string ComputeOrFallback()
{
    try {
        std::string id = ComputeHardwareId(DefaultIdentityStorePath(), CollectSourceValues());
        return id.size() == IdentityStore::kValueLength ? id : std::string(kFallbackHardwareId);
    } catch (...) {
        return kFallbackHardwareId;
    }
}

// Publishes a copy of `id` unless another thread published first; either way
// every caller gets the one published text, so the pointer never changes.
const char* Publish(const std::string& id)
{
    char* copy = new (std::nothrow) char[id.size() + 1];
    if (!copy) return kFallbackHardwareId;
    std::memcpy(copy, id.c_str(), id.size() + 1);
    const char* expected = nullptr;
    if (g_cachedId.compare_exchange_strong(expected, copy)) return copy;
    delete[] copy;
    return expected;
}

}  // namespace
}  // namespace guid

const char* GetHardwareId()
{
    using namespace guid;
    if (const char* cached = g_cachedId.load()) return cached;
    if (InterlockedExchange(&g_computing, 1) != 0) {
        // Another thread is computing: give it a little time before computing too.
        for (int step = 0; step < kWaitSteps; ++step) {
            Sleep(kWaitStepMs);
            if (const char* cached = g_cachedId.load()) return cached;
        }
    }
    return Publish(ComputeOrFallback());
}
