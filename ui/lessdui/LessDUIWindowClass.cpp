#include "ui/lessdui/LessDUIWindowClass.h"

namespace lessdui {

ATOM CWindowClass::Register(WNDPROC proc)
{
    if (atom_) return atom_;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    if (iconResource_) wc.hIcon = LoadIconW(wc.hInstance, iconResource_);
    wc.lpszClassName = name_;
    atom_ = RegisterClassExW(&wc);
    return atom_;
}

}  // namespace lessdui
