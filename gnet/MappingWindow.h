#pragma once
// A channel's write window onto the target file mapping. Received data is
// copied straight into a view of the mapping; the view is kept while the
// writes move through it and replaced once they leave it, so a run maps one
// view per window instead of one per piece libcurl hands over (each mapping
// and unmapping is a round trip to the system, and libcurl hands over at most
// 16 KiB at a time).
//
// The views of all channels writing at the same moment share a budget of
// working set: one channel alone gets a large view, ten channels small ones.
// Views of 2 MiB and more are placed at an address that is 2 MiB-aligned in
// step with their file offset: the system can then fill whole large pages of
// the file cache at once instead of faulting every 4 KiB page on its own.
#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace gnet {

class CMappingWindow {
public:
    static const int64_t kGranularity = 65536;             // allocation granularity
    static const int64_t kLargeAlignment = 2 * 1024 * 1024;  // a large page
    static const int64_t kBudget = 2 * 1024 * 1024;          // all writing channels together
    static const int64_t kMinWindow = 256 * 1024;

    explicit CMappingWindow(HANDLE mapping);
    ~CMappingWindow();
    CMappingWindow(const CMappingWindow&) = delete;
    CMappingWindow& operator=(const CMappingWindow&) = delete;

    // Copies size bytes to offset. limit is the first byte the view may not
    // cover (the end of what the channel still wants; never past the file).
    bool Write(int64_t offset, const void* data, size_t size, int64_t limit);
    // Unmaps the current view and leaves the budget, so nothing holds the
    // target once a run ends.
    void Release();

    // Windows of the process that are writing now (between their first write
    // and their release).
    static long Writers();
    // View length for each of `writers` channels writing at once.
    static int64_t WindowFor(long writers);
    // The view that covers [offset, offset + size): it starts on the
    // granularity (on a large page for large windows), reaches up to window
    // bytes from there but never to limit or beyond.
    // Tests: views are mapped read-only, so every copy faults.
    static void SetReadOnlyForTest(bool readOnly);
    static void ViewFor(int64_t offset, size_t size, int64_t limit, int64_t window, int64_t& viewStart,
                        int64_t& viewLength);

private:
    bool Covers(int64_t offset, size_t size) const;
    bool MapFor(int64_t offset, size_t size, int64_t limit);
    void* MapAt(int64_t start, int64_t length, bool largeAligned);
    void Unmap();

    HANDLE mapping_;
    bool counted_;
    char* view_;
    int64_t viewStart_;
    int64_t viewLength_;
};

}  // namespace gnet
