#pragma once
// A window class of this module, registered the first time a window of it is
// created. One object a class; keep it at namespace scope (it is constant-
// initialised, so it is ready before any constructor runs). Windows of it
// carry the object that created them (see WindowObject).
#include <windows.h>

namespace lessdui {

class CWindowClass {
public:
    // `iconResource` names an icon in this module's resources; null for none.
    constexpr explicit CWindowClass(const wchar_t* name, const wchar_t* iconResource = nullptr)
        : name_(name), iconResource_(iconResource)
    {
    }
    CWindowClass(const CWindowClass&) = delete;
    CWindowClass& operator=(const CWindowClass&) = delete;

    // The class atom, 0 when the system refuses the class. Registers with
    // `proc` on the first call (later calls return the same atom) and tries
    // again on the next call after a refusal.
    ATOM Register(WNDPROC proc);
    const wchar_t* Name() const { return name_; }

private:
    const wchar_t* name_;
    const wchar_t* iconResource_;
    ATOM atom_ = 0;
};

// The object behind `hwnd`: at WM_NCCREATE the creation parameter, which is
// stored with the window for every later message; null for the messages that
// come before it.
template <class T>
T* WindowObject(HWND hwnd, UINT message, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        void* object = reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
        return static_cast<T*>(object);
    }
    return reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

}  // namespace lessdui
