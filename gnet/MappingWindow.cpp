#include "gnet/MappingWindow.h"

#include "gnet/GuardedCopy.h"

namespace gnet {
namespace {

// Channels of every download in the process that hold or are about to hold a view.
volatile LONG g_writers = 0;
volatile LONG g_readOnlyViews = 0;

DWORD ViewAccess() { return g_readOnlyViews ? FILE_MAP_READ : FILE_MAP_WRITE; }

int64_t RoundDown(int64_t value, int64_t step) { return value / step * step; }

// An address for a view of `length` bytes whose distance from a large-page
// boundary equals the file offset's. The range is reserved and released at
// once; if another thread takes it meanwhile, mapping there simply fails.
void* LargeAlignedAddress(int64_t fileOffset, int64_t length) {
    const int64_t align = CMappingWindow::kLargeAlignment;
    void* probe = VirtualAlloc(nullptr, static_cast<SIZE_T>(length + align), MEM_RESERVE, PAGE_NOACCESS);
    if (!probe) return nullptr;
    uintptr_t base = (reinterpret_cast<uintptr_t>(probe) + align - 1) / align * align;
    VirtualFree(probe, 0, MEM_RELEASE);
    return reinterpret_cast<void*>(base + static_cast<uintptr_t>(fileOffset % align));
}

}  // namespace

CMappingWindow::CMappingWindow(HANDLE mapping)
    : mapping_(mapping), counted_(false), view_(nullptr), viewStart_(0), viewLength_(0) {}

CMappingWindow::~CMappingWindow() { Release(); }

void CMappingWindow::Unmap() {
    if (view_) UnmapViewOfFile(view_);
    view_ = nullptr;
    viewStart_ = 0;
    viewLength_ = 0;
}

void CMappingWindow::Release() {
    Unmap();
    if (counted_) InterlockedDecrement(&g_writers);
    counted_ = false;
}

long CMappingWindow::Writers() { return g_writers; }

void CMappingWindow::SetReadOnlyForTest(bool readOnly) { InterlockedExchange(&g_readOnlyViews, readOnly ? 1 : 0); }

int64_t CMappingWindow::WindowFor(long writers) {
    int64_t window = kBudget / (writers > 0 ? writers : 1);
    if (window >= kLargeAlignment) return RoundDown(window, kLargeAlignment);
    window = RoundDown(window, kGranularity);
    return window < kMinWindow ? kMinWindow : window;
}

void CMappingWindow::ViewFor(int64_t offset, size_t size, int64_t limit, int64_t window, int64_t& viewStart,
                             int64_t& viewLength) {
    viewStart = RoundDown(offset, window >= kLargeAlignment ? kLargeAlignment : kGranularity);
    int64_t end = viewStart + window;
    if (end > limit) end = limit;
    int64_t needed = offset + static_cast<int64_t>(size);
    if (end < needed) end = needed;
    viewLength = end - viewStart;
}

bool CMappingWindow::Covers(int64_t offset, size_t size) const {
    return view_ && offset >= viewStart_ && offset + static_cast<int64_t>(size) <= viewStart_ + viewLength_;
}

void* CMappingWindow::MapAt(int64_t start, int64_t length, bool largeAligned) {
    uint64_t start64 = static_cast<uint64_t>(start);
    DWORD high = static_cast<DWORD>(start64 >> 32);
    DWORD low = static_cast<DWORD>(start64);
    void* view = nullptr;
    if (largeAligned) {
        void* address = LargeAlignedAddress(start, length);
        if (address) view = MapViewOfFileEx(mapping_, ViewAccess(), high, low, static_cast<SIZE_T>(length), address);
    }
    if (!view) view = MapViewOfFile(mapping_, ViewAccess(), high, low, static_cast<SIZE_T>(length));
    return view;
}

bool CMappingWindow::MapFor(int64_t offset, size_t size, int64_t limit) {
    Unmap();
    if (!mapping_ || offset < 0) return false;
    if (!counted_) {
        InterlockedIncrement(&g_writers);
        counted_ = true;
    }
    int64_t window = WindowFor(g_writers);
    int64_t start = 0;
    int64_t length = 0;
    ViewFor(offset, size, limit, window, start, length);
    void* view = MapAt(start, length, window >= kLargeAlignment);
    if (!view) return false;
    view_ = static_cast<char*>(view);
    viewStart_ = start;
    viewLength_ = length;
    return true;
}

bool CMappingWindow::Write(int64_t offset, const void* data, size_t size, int64_t limit) {
    if (!Covers(offset, size) && !MapFor(offset, size, limit)) return false;
    // A page the disk cannot back faults here; that is a failed write.
    return GuardedCopy(view_ + (offset - viewStart_), data, size);
}

}  // namespace gnet
