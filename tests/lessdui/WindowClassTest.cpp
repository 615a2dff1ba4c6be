// Window classes of the module: registered once with the given procedure,
// cursor and icon; a refusal is not remembered, so a later call can succeed.
// A window hands every message from WM_NCCREATE on to the object that created it.
#include <gtest/gtest.h>

#include "ui/lessdui/LessDUIWindowClass.h"

using namespace lessdui;

namespace {

constexpr UINT kPing = WM_APP + 7;
int g_pings = 0;

LRESULT CALLBACK PingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kPing) return ++g_pings;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK OtherProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool ClassInfo(const wchar_t* name, WNDCLASSEXW* info)
{
    *info = {};
    info->cbSize = sizeof(*info);
    return GetClassInfoExW(GetModuleHandleW(nullptr), name, info) != FALSE;
}

void Unregister(const wchar_t* name) { UnregisterClassW(name, GetModuleHandleW(nullptr)); }

struct Owner {
    int messages = 0;
    bool sawCreate = false;
};
int g_messagesWithoutOwner = 0;

LRESULT CALLBACK OwnedProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Owner* owner = WindowObject<Owner>(hwnd, message, lParam);
    if (!owner) {
        ++g_messagesWithoutOwner;
    } else {
        ++owner->messages;
        owner->sawCreate = owner->sawCreate || message == WM_CREATE;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

TEST(WindowClass, RegistersOnceAndWindowsOfItReachTheProcedure)
{
    CWindowClass windowClass(L"LessDuiTestPingClass");
    const ATOM first = windowClass.Register(&PingProc);
    ASSERT_NE(0, first);
    EXPECT_EQ(first, windowClass.Register(&PingProc));  // the second call does not register again

    WNDCLASSEXW info;
    ASSERT_TRUE(ClassInfo(L"LessDuiTestPingClass", &info));
    EXPECT_EQ(&PingProc, info.lpfnWndProc);
    EXPECT_EQ(LoadCursorW(nullptr, IDC_ARROW), info.hCursor);
    EXPECT_EQ(nullptr, info.hIcon);

    HWND hwnd = CreateWindowExW(0, windowClass.Name(), L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, hwnd);
    g_pings = 0;
    EXPECT_EQ(1, SendMessageW(hwnd, kPing, 0, 0));
    DestroyWindow(hwnd);
    Unregister(L"LessDuiTestPingClass");
}

TEST(WindowClass, CarriesTheNamedIconOfTheModule)
{
    CWindowClass windowClass(L"LessDuiTestIconClass", L"IDR_MAINFRAME");
    ASSERT_NE(0, windowClass.Register(&OtherProc));
    WNDCLASSEXW info;
    ASSERT_TRUE(ClassInfo(L"LessDuiTestIconClass", &info));
    EXPECT_NE(nullptr, info.hIcon);
    Unregister(L"LessDuiTestIconClass");
}

TEST(WindowClass, RefusalIsNotRememberedSoALaterCallRegisters)
{
    // Someone else holds the name: the system refuses, and Register says so.
    WNDCLASSW taken = {};
    taken.lpfnWndProc = &OtherProc;
    taken.hInstance = GetModuleHandleW(nullptr);
    taken.lpszClassName = L"LessDuiTestTakenClass";
    ASSERT_NE(0, RegisterClassW(&taken));
    CWindowClass windowClass(L"LessDuiTestTakenClass");
    EXPECT_EQ(0, windowClass.Register(&PingProc));

    // Once the name is free again, the next call registers our procedure.
    Unregister(L"LessDuiTestTakenClass");
    EXPECT_NE(0, windowClass.Register(&PingProc));
    WNDCLASSEXW info;
    ASSERT_TRUE(ClassInfo(L"LessDuiTestTakenClass", &info));
    EXPECT_EQ(&PingProc, info.lpfnWndProc);
    Unregister(L"LessDuiTestTakenClass");
}

TEST(WindowClass, MessagesFromCreationOnReachTheCreatingObject)
{
    CWindowClass windowClass(L"LessDuiTestOwnedClass");
    ASSERT_NE(0, windowClass.Register(&OwnedProc));
    Owner owner;
    HWND hwnd = CreateWindowExW(0, windowClass.Name(), L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleW(nullptr), &owner);
    ASSERT_NE(nullptr, hwnd);
    EXPECT_TRUE(owner.sawCreate);
    const int afterCreate = owner.messages;
    SendMessageW(hwnd, WM_NULL, 0, 0);
    EXPECT_EQ(afterCreate + 1, owner.messages);
    DestroyWindow(hwnd);

    // Without a creation parameter nothing is attached, and nothing breaks.
    g_messagesWithoutOwner = 0;
    hwnd = CreateWindowExW(0, windowClass.Name(), L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, hwnd);
    EXPECT_GT(g_messagesWithoutOwner, 0);
    DestroyWindow(hwnd);
    Unregister(L"LessDuiTestOwnedClass");
}
