// gnet_memfloor THREADS: the working set a download's process has before the
// engine holds any data. It loads what gnetget loads, starts the engine,
// arms a timer and starts THREADS idle engine threads (the work thread plus
// one per channel), then prints "floorpeak=<bytes>". The benchmark subtracts
// this from gnetget's peak to show what the engine itself adds: under Wine
// every thread alone costs close to 1 MiB, and the system libraries many more.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "gnet/DownloadFile.h"
#include "gnet/TQTimer.h"
#include "gnet/Thread.h"

namespace {

class CIdleTimer : public gnet::ITQTimerCallBack {
public:
    void OnTimer(uint32_t) override {}
};

unsigned long long PeakWorkingSet() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters))) return 0;
    return counters.PeakWorkingSetSize;
}

}  // namespace

int main(int argc, char** argv) {
    int threadCount = argc > 1 ? atoi(argv[1]) : 0;
    if (threadCount < 0 || threadCount > 256) {
        fprintf(stderr, "usage: gnet_memfloor THREADS (0 to 256)\n");
        return 1;
    }
    gnet::InitDownloadEngine(L"gnet_memfloor", L"1.0.0.0", L"bench");
    CIdleTimer idle;
    gnet::CTQTimer timers;
    timers.SetCallBack(&idle);
    timers.SetTimer(1, 50, 0);
    std::vector<std::unique_ptr<gnet::CThread>> threads;
    for (int i = 0; i < threadCount; ++i) {
        threads.emplace_back(new gnet::CThread(L"floor_" + std::to_wstring(i)));
        if (!threads.back()->Start()) return 1;
    }
    Sleep(300);
    timers.KillTimer(1);
    for (auto& thread : threads) thread->Stop();
    threads.clear();
    printf("floorpeak=%llu\n", PeakWorkingSet());
    fflush(stdout);
    return 0;
}
