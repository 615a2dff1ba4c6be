// The channel's write window onto the target mapping: where views fall, how
// the working-set budget is shared, and that the bytes land where they belong.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>

#include "gnet/MappingWindow.h"
#include "tests/gnet/TestSupport.h"

namespace {

const int64_t KiB = 1024;
const int64_t MiB = 1024 * 1024;

struct ViewCase {
    int64_t offset;
    int64_t size;
    int64_t limit;
    int64_t window;
    int64_t start;
    int64_t length;
};

TEST(MappingWindowTest, ViewsStartOnTheGranularityAndStopAtTheLimit) {
    const ViewCase cases[] = {
        {70000, 16 * KiB, 10 * MiB, 256 * KiB, 64 * KiB, 256 * KiB},      // small view: 64 KiB boundary
        {100, 100, 1000, 256 * KiB, 0, 1000},                            // never past what is still wanted
        {0, 300000, MiB, 256 * KiB, 0, 300000},                          // a piece larger than the window
        {3 * MiB + 5, 16 * KiB, 100 * MiB, 2 * MiB, 2 * MiB, 2 * MiB},   // large view: large-page boundary
        {4 * MiB - 8 * KiB, 16 * KiB, 100 * MiB, 2 * MiB, 2 * MiB, 2 * MiB + 8 * KiB},  // piece across the end
        {5 * MiB, 100, 5 * MiB + 100, 2 * MiB, 4 * MiB, MiB + 100},  // the end of the file
    };
    for (const ViewCase& c : cases) {
        int64_t start = -1;
        int64_t length = -1;
        gnet::CMappingWindow::ViewFor(c.offset, static_cast<size_t>(c.size), c.limit, c.window, start, length);
        EXPECT_EQ(c.start, start) << "offset " << c.offset;
        EXPECT_EQ(c.length, length) << "offset " << c.offset;
        EXPECT_LE(start, c.offset);
        EXPECT_GE(start + length, c.offset + c.size);
    }
}

TEST(MappingWindowTest, WritersShareTheBudget) {
    const struct {
        long writers;
        int64_t window;
    } cases[] = {{0, 2 * MiB}, {1, 2 * MiB}, {2, MiB}, {3, 640 * KiB}, {10, 256 * KiB}, {100, 256 * KiB}};
    for (const auto& c : cases) EXPECT_EQ(c.window, gnet::CMappingWindow::WindowFor(c.writers)) << c.writers;
}

class MappedTarget {
public:
    MappedTarget(const std::wstring& path, int64_t size) : path_(path), mapping_(nullptr) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return;
        mapping_ = CreateFileMappingW(file, nullptr, PAGE_READWRITE, 0, static_cast<DWORD>(size), nullptr);
        CloseHandle(file);
    }
    ~MappedTarget() { Close(); }
    HANDLE Mapping() const { return mapping_; }
    void Close() {
        if (mapping_) CloseHandle(mapping_);
        mapping_ = nullptr;
    }

private:
    std::wstring path_;
    HANDLE mapping_;
};

std::string PatternBytes(size_t size) {
    std::string bytes(size, '\0');
    uint32_t state = 12345;
    for (char& b : bytes) {
        state = state * 1103515245u + 12345u;
        b = static_cast<char>(state >> 24);
    }
    return bytes;
}

// Writes [from, to) of the pattern in pieces of `piece` bytes.
bool WriteRange(gnet::CMappingWindow& window, const std::string& pattern, int64_t from, int64_t to, size_t piece) {
    for (int64_t at = from; at < to;) {
        size_t n = static_cast<size_t>(to - at < static_cast<int64_t>(piece) ? to - at : piece);
        if (!window.Write(at, pattern.data() + at, n, to)) return false;
        at += static_cast<int64_t>(n);
    }
    return true;
}

TEST(MappingWindowTest, BytesLandAtTheirOffsetsAcrossManyViews) {
    gnettest::ScratchFolder folder;
    const std::wstring path = folder.File(L"target.bin");
    const int64_t size = 5 * MiB + 123;
    const std::string pattern = PatternBytes(static_cast<size_t>(size));
    {
        MappedTarget target(path, size);
        ASSERT_NE(nullptr, target.Mapping());
        // Two channels at once (so two sizes of views), pieces that never
        // line up with a view boundary.
        gnet::CMappingWindow first(target.Mapping());
        gnet::CMappingWindow second(target.Mapping());
        const int64_t half = 2 * MiB + 777;
        for (int64_t at = 0; at < half; at += 200000) {
            int64_t to = at + 200000 < half ? at + 200000 : half;
            ASSERT_TRUE(WriteRange(first, pattern, at, to, 13001));
            int64_t at2 = half + at;
            int64_t to2 = half + to;
            ASSERT_TRUE(WriteRange(second, pattern, at2, to2 < size ? to2 : size, 16384));
        }
        ASSERT_TRUE(WriteRange(second, pattern, 2 * half, size, 16384));
    }
    EXPECT_TRUE(gnettest::ReadBytes(path) == pattern);
}

TEST(MappingWindowTest, ReleaseLeavesTheBudgetAndLetsTheTargetGo) {
    gnettest::ScratchFolder folder;
    const std::wstring path = folder.File(L"target.bin");
    const std::string pattern = PatternBytes(3 * MiB);
    MappedTarget target(path, 3 * MiB);
    ASSERT_NE(nullptr, target.Mapping());
    const long before = gnet::CMappingWindow::Writers();
    {
        gnet::CMappingWindow first(target.Mapping());
        gnet::CMappingWindow second(target.Mapping());
        EXPECT_EQ(before, gnet::CMappingWindow::Writers());  // counted from the first write on
        ASSERT_TRUE(WriteRange(first, pattern, 0, MiB, 16384));
        ASSERT_TRUE(WriteRange(second, pattern, MiB, 2 * MiB, 16384));
        EXPECT_EQ(before + 2, gnet::CMappingWindow::Writers());
        first.Release();
        first.Release();
        EXPECT_EQ(before + 1, gnet::CMappingWindow::Writers());
    }
    // A leaked count would shrink every later channel's views for good.
    EXPECT_EQ(before, gnet::CMappingWindow::Writers());
    target.Close();
    // The engine deletes a target whose write failed right after the run ends.
    EXPECT_TRUE(DeleteFileW(path.c_str())) << GetLastError();
}

TEST(MappingWindowTest, NoMappingRefusesTheWrite) {
    gnet::CMappingWindow window(nullptr);
    const char data[16] = {1, 2, 3};
    EXPECT_FALSE(window.Write(0, data, sizeof(data), MiB));
}

}  // namespace
