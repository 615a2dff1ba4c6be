// The scoped kernel handle: it closes what it holds when reset, replaced or
// gone, and takes neither null nor INVALID_HANDLE_VALUE for a handle.
#include <gtest/gtest.h>
#include <windows.h>

#include "base/ScopedHandle.h"

namespace {

bool IsOpen(HANDLE handle)
{
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != FALSE;
}

HANDLE NewEvent() { return CreateEventW(nullptr, TRUE, FALSE, nullptr); }

TEST(ScopedHandle, ClosesWhenResetReplacedOrGone)
{
    HANDLE first = NewEvent();
    HANDLE second = NewEvent();
    HANDLE third = NewEvent();
    {
        CScopedHandle held(first);
        EXPECT_TRUE(held.Valid());
        held.Reset(second);
        EXPECT_FALSE(IsOpen(first)) << "the replaced handle is closed";
        EXPECT_TRUE(IsOpen(second));
        EXPECT_EQ(second, held.Get());
        *held.Receive() = third;
        EXPECT_FALSE(IsOpen(second)) << "a handle received in its place closes the old one";
    }
    EXPECT_FALSE(IsOpen(third)) << "the scope's end closes the last one";
}

TEST(ScopedHandle, NullAndInvalidAreNoHandle)
{
    CScopedHandle none;
    EXPECT_FALSE(none.Valid());
    CScopedHandle invalid(INVALID_HANDLE_VALUE);
    EXPECT_FALSE(invalid.Valid());
    invalid.Reset();  // nothing to close
    EXPECT_EQ(nullptr, invalid.Get());
}

}  // namespace
